#include "core/curvepalette.h"

#include <QColor>
#include <QtTest>

#include <array>
#include <cmath>

namespace {

using Rgb = std::array<double, 3>;

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// CIE L*a*b* (D65) of linear sRGB.
Rgb lab(const Rgb &linear)
{
    const double x = (0.4124 * linear[0] + 0.3576 * linear[1] + 0.1805 * linear[2]) / 0.95047;
    const double y = 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2];
    const double z = (0.0193 * linear[0] + 0.1192 * linear[1] + 0.9505 * linear[2]) / 1.08883;
    const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

// Machado, Oliveira and Fernandes (2009), full severity, on linear sRGB.
constexpr double deuteranopia[3][3] = {{0.367322, 0.860646, -0.227968},
                                       {0.280085, 0.672501, 0.047413},
                                       {-0.011820, 0.042940, 0.968881}};
constexpr double protanopia[3][3] = {{0.152286, 1.052583, -0.204868},
                                     {0.114503, 0.786281, 0.099216},
                                     {-0.003882, -0.048116, 1.051998}};

Rgb linearOf(const QString &name)
{
    const QColor color(name);
    return {toLinear(color.redF()), toLinear(color.greenF()), toLinear(color.blueF())};
}

Rgb seenWith(const double (*matrix)[3], const Rgb &linear)
{
    Rgb seen{};
    for (int r = 0; r < 3; ++r)
        seen[std::size_t(r)] = std::max(0.0, std::min(1.0, matrix[r][0] * linear[0] + matrix[r][1] * linear[1]
                                                                 + matrix[r][2] * linear[2]));
    return seen;
}

double distance(const Rgb &a, const Rgb &b)
{
    const Rgb la = lab(a);
    const Rgb lb = lab(b);
    return std::sqrt((la[0] - lb[0]) * (la[0] - lb[0]) + (la[1] - lb[1]) * (la[1] - lb[1])
                     + (la[2] - lb[2]) * (la[2] - lb[2]));
}

} // namespace

class TestCurvePalette : public QObject
{
    Q_OBJECT

private slots:
    void tenColoursStayApart();
    void userColoursAreKept();
};

// Any two of the first ten colours differ by a CIE76 distance of at least 12
// (clearly told apart side by side) for normal vision and as seen with
// deuteranopia and protanopia; none is the totals' black or red, and each
// stands out on the white plot (L* below 75).
void TestCurvePalette::tenColoursStayApart()
{
    QSet<QString> names;
    for (int k = 0; k < CurvePalette::size; ++k) {
        const QString name = CurvePalette::color(k);
        QVERIFY(QColor::isValidColor(name));
        names.insert(name.toLower());
        QVERIFY(lab(linearOf(name))[0] < 75.0);
        QVERIFY(distance(linearOf(name), linearOf(QStringLiteral("black"))) > 25.0);
        QVERIFY(distance(linearOf(name), linearOf(QStringLiteral("red"))) > 25.0);
    }
    QCOMPARE(names.size(), CurvePalette::size);
    double closest = 1e9;
    QString pair;
    for (int i = 0; i < CurvePalette::size; ++i) {
        for (int j = i + 1; j < CurvePalette::size; ++j) {
            const Rgb a = linearOf(CurvePalette::color(i));
            const Rgb b = linearOf(CurvePalette::color(j));
            for (const double(*matrix)[3] : {static_cast<const double(*)[3]>(nullptr), deuteranopia, protanopia}) {
                const double d = matrix ? distance(seenWith(matrix, a), seenWith(matrix, b)) : distance(a, b);
                if (d < closest) {
                    closest = d;
                    pair = CurvePalette::color(i) + QLatin1Char(' ') + CurvePalette::color(j);
                }
            }
        }
    }
    QVERIFY2(closest >= 12.0, qPrintable(pair + QStringLiteral(": ") + QString::number(closest)));
    // After ten the palette starts again.
    QCOMPARE(CurvePalette::color(CurvePalette::size), CurvePalette::color(0));
}

void TestCurvePalette::userColoursAreKept()
{
    // H2O, PH3 and NO+ (molecules 1, 28 and 36) all ship in shades of blue;
    // shown together they take the palette's first three colours.
    QCOMPARE(CurvePalette::builtinColor(0), QStringLiteral("#3399ff"));
    const QString h2o = CurvePalette::curveColor(0, CurvePalette::builtinColor(0), 0);
    const QString ph3 = CurvePalette::curveColor(27, CurvePalette::builtinColor(27), 1);
    const QString noPlus = CurvePalette::curveColor(35, CurvePalette::builtinColor(35), 2);
    QCOMPARE(h2o, QStringLiteral("#0072b2"));
    QCOMPARE(ph3, QStringLiteral("#e69f00"));
    QCOMPARE(noPlus, QStringLiteral("#009e73"));
    // A colour the user picked stays, whatever its place; the same colour in
    // capitals is still the shipped one.
    QCOMPARE(CurvePalette::curveColor(0, QStringLiteral("#123456"), 4), QStringLiteral("#123456"));
    QCOMPARE(CurvePalette::curveColor(0, QStringLiteral("#3399FF"), 4), CurvePalette::color(4));
    QCOMPARE(CurvePalette::builtinColor(99), QString());
    QCOMPARE(CurvePalette::curveColor(99, QString(), 1), CurvePalette::color(1));
}

QTEST_GUILESS_MAIN(TestCurvePalette)
#include "tst_curvepalette.moc"
