#include "ui/axisticks.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// How far a quotient may miss a whole number and still count as one: steps
// such as 0.1 are not exact in binary.
constexpr double wholeTolerance = 1e-9;

// Labels of 100000 and more, and labels of small values that would need
// more than three decimals, are given in a shared power of ten.
constexpr double largestPlain = 1e5;
constexpr double smallPlain = 1e-2;
constexpr int mostDecimals = 3;

// m × 10^p, divided rather than multiplied for negative p, so that 0.1, 0.2,
// 0.3 come out as the nearest doubles to those decimals.
double scaled(double m, int p)
{
    // 10^-p overflows beyond 1e308; such steps are multiplied instead.
    return p >= 0 || p < -300 ? m * std::pow(10.0, p) : m / std::pow(10.0, -p);
}

struct Step
{
    int multiple = 1;   // 1, 2 or 5
    int power = 0;
    double value() const { return scaled(multiple, power); }
};

// Beyond this many steps from zero, k × step is no longer exact in a double
// (nor k in a long long): such a step cannot tick the range.
constexpr double mostSteps = 1e15;

bool countable(double low, double high, double step)
{
    return step > 0.0 && std::fabs(low / step) < mostSteps && std::fabs(high / step) < mostSteps;
}

// Indices k of the multiples k × step that lie in [low, high] (none for a
// step that cannot count them).
std::pair<long long, long long> multiplesWithin(double low, double high, double step)
{
    if (!countable(low, high, step))
        return {1, 0};
    return {(long long)std::ceil(low / step - wholeTolerance), (long long)std::floor(high / step + wholeTolerance)};
}

QLocale labelLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

AxisTicks AxisTicks::forRange(double from, double to, int maxMajor)
{
    AxisTicks ticks;
    const double low = std::min(from, to);
    const double high = std::max(from, to);
    const QLocale locale = labelLocale();
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || !std::isfinite(high - low)) {
        ticks.m_major.push_back(from);
        ticks.m_labels << (std::isfinite(from) ? locale.toString(from, 'g', 6) : QString());
        return ticks;
    }
    const int most = std::max(fewestMajor, std::min(mostMajor, maxMajor));
    // Candidate steps from a hundredth of the span up to ten times it, smallest
    // first: the smallest that gives four to `most` ticks; failing that (a
    // span of 3.1 steps of 5 is 7.75 steps of 2), the one that gives the most
    // ticks within `most`.
    const int spanPower = int(std::floor(std::log10(high - low)));
    Step chosen;
    long long chosenCount = -1;
    Step fallback;
    long long fallbackCount = -1;
    for (int p = spanPower - 2; p <= spanPower + 1 && chosenCount < 0; ++p) {
        for (int m : {1, 2, 5}) {
            const Step step{m, p};
            if (!countable(low, high, step.value()))
                continue;
            const auto k = multiplesWithin(low, high, step.value());
            const long long count = k.second - k.first + 1;
            if (count >= fewestMajor && count <= most) {
                chosen = step;
                chosenCount = count;
                break;
            }
            if (count <= most && count > fallbackCount) {
                fallback = step;
                fallbackCount = count;
            }
        }
    }
    if (chosenCount < 0 && fallbackCount < 2) {
        // A range too narrow for its values to be counted in steps (1e20 to
        // 1e20 + 1e5): its two ends, as they are.
        ticks.m_step = high - low;
        ticks.m_major = {low, high};
        ticks.m_labels << locale.toString(low, 'g', 17) << locale.toString(high, 'g', 17);
        return ticks;
    }
    if (chosenCount < 0)
        chosen = fallback;
    const double step = chosen.value();
    ticks.m_step = step;
    const auto k = multiplesWithin(low, high, step);
    for (long long i = k.first; i <= k.second; ++i)
        ticks.m_major.push_back(scaled(double(i * chosen.multiple), chosen.power));

    // Minor ticks: fifths of a step of 1 or 5, quarters of a step of 2; also
    // beyond the first and the last major tick, up to the ends of the range.
    const int minorDivisions = chosen.multiple == 2 ? 4 : 5;
    ticks.m_minorStep = step / minorDivisions;
    const int minorPower = chosen.multiple == 2 ? chosen.power - 1 : chosen.power - (chosen.multiple == 1 ? 1 : 0);
    const int minorMultiple = chosen.multiple == 2 ? 5 : (chosen.multiple == 1 ? 2 : 1);
    const auto mk = multiplesWithin(low, high, scaled(minorMultiple, minorPower));
    for (long long i = mk.first; i <= mk.second; ++i) {
        if (i % minorDivisions != 0)
            ticks.m_minor.push_back(scaled(double(i * minorMultiple), minorPower));
    }

    double largest = 0.0;
    for (double value : ticks.m_major)
        largest = std::max(largest, std::fabs(value));
    if (largest >= largestPlain || (largest < smallPlain && -chosen.power > mostDecimals)) {
        // Labels are whole multiples of the step's power of ten.
        ticks.m_exponent = chosen.power;
        for (long long i = k.first; i <= k.second; ++i)
            ticks.m_labels << locale.toString(i * chosen.multiple);
    } else {
        ticks.m_decimals = std::max(0, -chosen.power);
        for (double value : ticks.m_major)
            ticks.m_labels << locale.toString(value == 0.0 ? 0.0 : value, 'f', ticks.m_decimals);
    }
    return ticks;
}

int AxisTicks::majorCountFor(double pixels, double labelPixels)
{
    if (!(labelPixels > 0.0) || !std::isfinite(pixels))
        return fewestMajor;
    const double fitting = std::floor(pixels / labelPixels) + 1.0;
    return int(std::max<double>(fewestMajor, std::min<double>(mostMajor, fitting)));
}

QString AxisTicks::powerOfTen(int exponent)
{
    static const QChar superscripts[] = {QChar(0x2070), QChar(0x00B9), QChar(0x00B2), QChar(0x00B3), QChar(0x2074),
                                         QChar(0x2075), QChar(0x2076), QChar(0x2077), QChar(0x2078), QChar(0x2079)};
    QString text = QStringLiteral("10");
    if (exponent < 0)
        text += QChar(0x207B);
    for (const QChar digit : QString::number(std::abs(exponent)))
        text += superscripts[digit.digitValue()];
    return text;
}

QString AxisTicks::title(const QString &plainTitle) const
{
    if (m_exponent == 0)
        return plainTitle;
    const int unitAt = plainTitle.indexOf(QLatin1String(", "));
    if (unitAt < 0)
        return plainTitle + QStringLiteral(", ×") + powerOfTen(m_exponent);
    return plainTitle.left(unitAt + 2) + powerOfTen(m_exponent) + QLatin1Char(' ') + plainTitle.mid(unitAt + 2);
}
