#include "calc/instrumentfunction.h"

#include "core/settingrules.h"
#include "core/spectrum.h"
#include "core/xaxis.h"

#include <cmath>

static_assert(InstrumentFunction::TypeCount
                  == SettingRules::optionCount(SettingRules::Option::InstrumentFunction),
              "every instrument function type is an option of the settings");

namespace {

constexpr double pi = 3.14159265358979;

// Below this |z| the sin(z)/z kernels take their limit at z = 0.
constexpr double smallArgument = 1e-8;

} // namespace

InstrumentFunction::InstrumentFunction(QObject *parent)
    : QObject(parent)
{
}

QString InstrumentFunction::typeLabel(int type)
{
    const int code = type >= 0 && type < TypeCount ? type : None;
    return QString::fromUtf8(OptionLists::instrumentFunctions[code].label);
}

QString InstrumentFunction::resolutionTooFineText()
{
    return QStringLiteral("The line-by-line calculation spectral\nresolution has to be smaller than the\n"
                          "instrument resolution.\n\nInstrument function calculation\nwill not be performed.");
}

std::vector<double> InstrumentFunction::kernel(double gridStep, QString *problem) const
{
    const auto refuse = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return std::vector<double>();
    };
    const double r = m_resolution;
    const double w = m_wing;
    if (!(gridStep > 0.0) || !std::isfinite(gridStep))
        return refuse(QString());
    if (!(r > gridStep) || !std::isfinite(r))
        return refuse(resolutionTooFineText());
    // The kernel is sampled at u = k step for k = -h ... h, h the whole steps in
    // W: symmetric about 0, so that the convolution centres it on each point and
    // no line moves. A wing that ends on a grid point within rounding reaches it.
    const double stepsInWing = w / gridStep;
    if (!std::isfinite(w) || !(2.0 * stepsInWing + 1.0 <= double(SettingRules::maxPoints)))
        return refuse(QStringLiteral("The instrument function wing is wider\nthan any spectral range.\n\n"
                                     "Instrument function calculation\nwill not be performed."));
    const std::size_t h = stepsInWing > 0.0 ? std::size_t(std::floor(stepsInWing + 1e-9)) : 0;

    std::vector<double> values(2 * h + 1, 0.0);
    const double a = r * 0.5;
    // Offsets are products of a rounded step: a support edge that falls on a
    // grid point counts as inside, whichever way the rounding went.
    const double edgeTolerance = 1e-9 * gridStep;
    const double ln2 = std::log(2.0);
    for (std::size_t k = 0; k <= h; ++k) {
        const double u = double(k) * gridStep;
        double value = 0.0;
        switch (m_type) {
        case Rectangular:
            value = u <= a + edgeTolerance ? 1.0 / r : 0.0;
            break;
        case Triangular:
            value = u <= r + edgeTolerance ? std::max(0.0, 1.0 - u / r) * (1.0 / r) : 0.0;
            break;
        case Gaussian:
            value = std::sqrt(ln2) / (a * std::sqrt(pi)) * std::exp(-(u / a) * ln2 * (u / a));
            break;
        case Dispersion:
            value = (a / pi) / (a * a + u * u);
            break;
        case Diffraction: {
            // sin^2(z) / z^2 / R, which is 1 / R at z = 0.
            const double z = u * (pi / r);
            value = z < smallArgument ? 1.0 / r : std::sin(z) * std::sin(z) / (z * z) / r;
            break;
        }
        case Michelson: {
            // sin(z) (2 / R) / z, which is 2 / R at z = 0.
            const double z = u * (2.0 * pi / r);
            value = z < smallArgument ? 2.0 / r : std::sin(z) * (2.0 / r) / z;
            break;
        }
        case Cosine:
            // The raised cosine: 1 / R at the centre, half that at R / 2, 0 from R
            // on; its full width at half maximum is R, as for the other shapes.
            value = u <= r + edgeTolerance ? (1.0 + std::cos(pi * u / r)) / (2.0 * r) : 0.0;
            break;
        default:
            value = 0.0;
            break;
        }
        values[h + k] = value;
        values[h - k] = value;
    }
    double sum = 0.0;
    for (double value : values)
        sum += value;
    if (!std::isfinite(sum) || sum == 0.0)
        return refuse(QStringLiteral("The instrument function is empty for its\nresolution and wing settings.\n\n"
                                     "Instrument function calculation\nwill not be performed."));
    for (double &value : values)
        value /= sum;
    return values;
}

void InstrumentFunction::convolve(const Spectrum &source, Spectrum &target)
{
    if (!m_xAxis)
        return;
    // "None" (and an unknown type) passes the spectrum through unchanged.
    if (m_type == None || m_type >= TypeCount) {
        target = source;
        return;
    }
    if (m_xAxis->numPoints() <= 2)
        return;
    // Nothing calculated yet (totals shown before the first calculation): there
    // is nothing to smooth, and no setting to complain about.
    if (source.values.empty()) {
        target.values.clear();
        target.windowStart = 0;
        target.windowEnd = -1;
        return;
    }
    // The grid's own step rather than the difference of two rounded grid values,
    // so that a resolution of exactly one step is recognised as such.
    const double step = m_xAxis->step();

    const std::size_t n = source.values.size();
    QString problem;
    const std::vector<double> kernelValues = kernel(step, &problem);
    const std::size_t k = kernelValues.size();
    // A refused kernel, or one as long as the spectrum, leaves no point that the
    // convolution can fill: the target is all zeros rather than an older curve.
    if (kernelValues.empty() || k >= n) {
        target.values.assign(n, 0.0);
        target.windowStart = 0;
        target.windowEnd = -1;
        if (kernelValues.empty() && !problem.isEmpty())
            emit openOkDialog(problem);
        else if (!kernelValues.empty())
            emit openOkDialog(QStringLiteral("The instrument function wing is wider\nthan the calculated spectral range.\n\n"
                                             "Instrument function calculation\nwill not be performed."));
        return;
    }

    // The kernel has an odd length with its centre at h: out[j] weighs
    // in[j - h] ... in[j + h], and a spike at m stays centred at m.
    const std::size_t h = k / 2;
    target.values.assign(n, 0.0);
    target.windowStart = int(h);
    target.windowEnd = int(n - h) - 1;
    const double *in = source.values.data();
    const double *kernelData = kernelValues.data();
    double *out = target.values.data();
    for (std::size_t j = h; j + h < n; ++j) {
        const double *window = in + (j - h);
        double sum = 0.0;
        for (std::size_t i = 0; i < k; ++i)
            sum += kernelData[i] * window[i];
        out[j] = sum;
    }
}
