#include "calc/lineshapes.h"
#include "calc/profilekernels.h"
#include "faddeevareference.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

using namespace LineShape;

namespace {

const double sqrtLn2Exact = std::sqrt(std::log(2.0));

double relativeError(double value, double reference)
{
    return std::fabs(value - reference) / std::fabs(reference);
}

// Worst relative error of a Voigt profile against the reference over offsets
// 0 .. 60 Voigt widths, on the points where the profile is at least `floor`
// of its peak (further out the line is below anything a spectrum shows).
double worstVoigtError(double (*profile)(double, double, double), double gammaD, double gammaL,
                       double floor, double *worstOffset = nullptr)
{
    const double width = std::max(gammaD, gammaL);
    const double peak = FaddeevaReference::voigtProfile(0.0, gammaD, gammaL);
    double worst = 0.0;
    for (int i = 0; i <= 6000; ++i) {
        const double delta = width * 0.01 * i;
        const double reference = FaddeevaReference::voigtProfile(delta, gammaD, gammaL);
        if (reference < floor * peak)
            continue;
        const double error = relativeError(profile(delta, gammaD, gammaL), reference);
        if (error > worst) {
            worst = error;
            if (worstOffset)
                *worstOffset = delta / width;
        }
    }
    return worst;
}

} // namespace

class TestLineShapes : public QObject
{
    Q_OBJECT

private slots:
    void referenceIsAccurate();
    void voigtMatchesReference_data();
    void voigtMatchesReference();
    void halfWidths_data();
    void halfWidths();
    void wingExtent_data();
    void wingExtent();
    void zeroWidthsStayFinite();
    void fastKernelsMatchReference_data();
    void fastKernelsMatchReference();
};

// The reference itself: exact at y = 0 (a Gaussian), Lorentzian far out, and
// the same with 32 and 64 terms.
void TestLineShapes::referenceIsAccurate()
{
    for (double x = 0.0; x <= 4.0; x += 0.125) {
        const double exact = std::exp(-x * x);
        QVERIFY2(relativeError(FaddeevaReference::voigtK(x, 0.0), exact) < 1e-11,
                 qPrintable(QString::number(x)));
    }
    for (double y : {1e-3, 0.1, 1.0, 10.0}) {
        for (double x = 0.0; x <= 8.0; x += 0.5) {
            const double k32 = FaddeevaReference::voigtK(x, y, 32);
            const double k64 = FaddeevaReference::voigtK(x, y, 64);
            QVERIFY2(std::fabs(k32 - k64) < 1e-12 * FaddeevaReference::voigtK(0.0, y),
                     qPrintable(QString("%1 %2 %3").arg(x).arg(y).arg(k32 - k64)));
        }
    }
    // Far from the centre K(x, y) -> y / (sqrt(pi) (x^2 + y^2)) (1 + O(1/x^2)).
    const double y = 50.0;
    const double x = 2000.0;
    QVERIFY(relativeError(FaddeevaReference::voigtK(x, y), y / (std::sqrt(M_PI) * (x * x + y * y))) < 1e-6);
}

void TestLineShapes::voigtMatchesReference_data()
{
    QTest::addColumn<double>("gammaD");
    QTest::addColumn<double>("gammaL");

    QTest::newRow("Doppler-dominated, y = 0") << 0.004 << 0.0;
    QTest::newRow("Doppler-dominated, y = 0.001") << 0.004 << 0.004 * 0.001 / sqrtLn2Exact;
    QTest::newRow("Doppler-dominated, y = 0.05") << 0.004 << 0.004 * 0.05 / sqrtLn2Exact;
    QTest::newRow("Voigt, y = 0.5") << 0.004 << 0.004 * 0.5 / sqrtLn2Exact;
    QTest::newRow("Voigt, y = 1") << 0.004 << 0.004 / sqrtLn2Exact;
    QTest::newRow("Voigt, y = 3") << 0.004 << 0.004 * 3.0 / sqrtLn2Exact;
    QTest::newRow("Lorentz-dominated, y = 15") << 0.004 << 0.004 * 15.0 / sqrtLn2Exact;
    QTest::newRow("Lorentz-dominated, y = 100") << 0.004 << 0.004 * 100.0 / sqrtLn2Exact;
    QTest::newRow("Lorentz-dominated, y = 1000") << 0.0001 << 0.0001 * 1000.0 / sqrtLn2Exact;
}

// Both rational approximations against the reference over the line core and
// wings (down to 1e-6 of the peak). The measured worst errors are printed.
void TestLineShapes::voigtMatchesReference()
{
    QFETCH(double, gammaD);
    QFETCH(double, gammaL);
    double standardAt = 0.0;
    double highAt = 0.0;
    const double standard = worstVoigtError(voigtStandard, gammaD, gammaL, 1e-6, &standardAt);
    const double high = worstVoigtError(voigtHigh, gammaD, gammaL, 1e-6, &highAt);
    qInfo("worst relative error: standard %.3g (at %.2f widths), higher %.3g (at %.2f widths)",
          standard, standardAt, high, highAt);
    QVERIFY2(standard < 3e-8, qPrintable(QString::number(standard)));
    QVERIFY2(high < 2e-9, qPrintable(QString::number(high)));

    // In the core of the line (down to 1 % of the peak) both are far better.
    QVERIFY(worstVoigtError(voigtStandard, gammaD, gammaL, 1e-2) < 1e-8);
    QVERIFY(worstVoigtError(voigtHigh, gammaD, gammaL, 1e-2) < 1e-9);
}

void TestLineShapes::halfWidths_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("expected");
    // gammaAir 0.07, gammaSelf 0.3, n 0.75, T 250 K, p 0.8 atm, mole fraction 0.2
    const double t = std::pow(296.0 / 250.0, 0.75) * 0.8;
    QTest::newRow("air") << 0 << t * 0.8 * 0.07;
    QTest::newRow("self") << 1 << t * 0.2 * 0.3;
    QTest::newRow("air and self") << 2 << t * (0.8 * 0.07 + 0.2 * 0.3);
    QTest::newRow("out of range acts as air and self") << 7 << t * (0.8 * 0.07 + 0.2 * 0.3);
}

void TestLineShapes::halfWidths()
{
    QFETCH(int, type);
    QFETCH(double, expected);
    // (The Doppler width is checked from the gas constants in the engine's test.)
    QVERIFY(relativeError(lorentzHalfWidth(type, 296.0 / 250.0, 0.8, 0.75, 0.07, 0.3, 0.2), expected) < 1e-14);
}

void TestLineShapes::wingExtent_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<double>("gammaD");
    QTest::addColumn<double>("gammaL");
    QTest::addColumn<double>("expected");
    QTest::newRow("Doppler, half-widths win") << int(Doppler) << 0.05 << 0.9 << 2.5;
    QTest::newRow("Lorentz, half-widths win") << int(Lorentz) << 0.9 << 0.05 << 2.5;
    QTest::newRow("Voigt, Lorentz wider") << int(VoigtStandard) << 0.004 << 0.08 << 4.0;
    QTest::newRow("Voigt, Doppler wider") << int(VoigtHigh) << 0.08 << 0.004 << 4.0;
    QTest::newRow("absolute wins") << int(VoigtStandard) << 0.004 << 0.01 << 1.0;
}

void TestLineShapes::wingExtent()
{
    QFETCH(int, profile);
    QFETCH(double, gammaD);
    QFETCH(double, gammaL);
    QFETCH(double, expected);
    QCOMPARE(LineShape::wingExtent(Profile(profile), gammaD, gammaL, 50, 1.0), expected);
}

// A line at wavenumber 0 has no Doppler width: the Voigt profile is then its
// Lorentz limit, never 0/0.
void TestLineShapes::zeroWidthsStayFinite()
{
    for (double delta : {0.0, 1e-3, 5.0}) {
        QCOMPARE(voigtStandard(delta, 0.0, 0.05), lorentz(delta, 0.05));
        QCOMPARE(voigtHigh(delta, 0.0, 0.05), lorentz(delta, 0.05));
        QVERIFY(std::isfinite(voigtStandard(delta, 1e-13, 0.0)));
        QVERIFY(std::isfinite(voigtStandard(delta, 0.003, 0.0)));
    }

    // The same through the fast loops, over a grid that spans the whole range.
    std::vector<double> grid(2001);
    for (std::size_t i = 0; i < grid.size(); ++i)
        grid[i] = 25.0 * double(i);
    for (int profile : {int(Lorentz), int(VoigtStandard), int(VoigtHigh)}) {
        std::vector<double> values(grid.size(), 0.0);
        double *spectra[] = {values.data()};
        const LineJob jobs[] = {{0.0, 1e-20, 0.0, 0.07, 0, 2000, 0},
                                {2e-6, 1e-20, 1e-13, 0.07, 0, 2000, 0},
                                {25000.0, 1e-20, 1e-19, 1e-3, 0, 2000, 0}};
        ProfileKernels::addLines(Profile(profile), jobs, 3, grid.data(), spectra, 0, int(grid.size()));
        for (double value : values)
            QVERIFY(std::isfinite(value));
        QVERIFY(values[0] > 0.0);
    }
}

void TestLineShapes::fastKernelsMatchReference_data()
{
    QTest::addColumn<int>("profile");
    QTest::newRow("Doppler") << int(Doppler);
    QTest::newRow("Lorentz") << int(Lorentz);
    QTest::newRow("Voigt standard") << int(VoigtStandard);
    QTest::newRow("Voigt higher") << int(VoigtHigh);
}

// The fast per-point loops give the plain loops' sums, on random lines of all
// shapes, and only inside the grid part they are given.
void TestLineShapes::fastKernelsMatchReference()
{
    QFETCH(int, profile);
    const int points = 4000;
    std::vector<double> grid(points);
    for (int i = 0; i < points; ++i)
        grid[std::size_t(i)] = 2000.0 + 0.05 * i;
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> position(1990.0, 2210.0);
    std::uniform_real_distribution<double> logWidth(-4.0, 0.0);
    std::uniform_int_distribution<int> molecule(0, 1);
    std::vector<LineJob> jobs(300);
    for (LineJob &job : jobs) {
        job.center = position(random);
        job.amplitude = 1e-20;
        job.gammaD = std::pow(10.0, logWidth(random));
        job.gammaL = std::pow(10.0, logWidth(random));
        job.start = std::max(0, int((job.center - 5.0 - 2000.0) / 0.05));
        job.end = std::min(points - 1, int((job.center + 5.0 - 2000.0) / 0.05));
        job.molecule = molecule(random);
    }
    std::vector<double> reference[2] = {std::vector<double>(points, 0.0), std::vector<double>(points, 0.0)};
    std::vector<double> fast[2] = {std::vector<double>(points, 0.0), std::vector<double>(points, 0.0)};
    double *referenceSpectra[] = {reference[0].data(), reference[1].data()};
    double *fastSpectra[] = {fast[0].data(), fast[1].data()};
    ProfileKernels::addLinesReference(Profile(profile), jobs.data(), jobs.size(), grid.data(),
                                      referenceSpectra, 0, points);
    // The fast loop in two parts of the grid, as two threads run it.
    ProfileKernels::addLines(Profile(profile), jobs.data(), jobs.size(), grid.data(), fastSpectra, 0, 1234);
    ProfileKernels::addLines(Profile(profile), jobs.data(), jobs.size(), grid.data(), fastSpectra, 1234, points);
    const auto worstDifference = [&](const std::vector<double> (&values)[2]) {
        double worst = 0.0;
        for (int m = 0; m < 2; ++m) {
            for (int i = 0; i < points; ++i) {
                const double r = reference[m][std::size_t(i)];
                const double f = values[m][std::size_t(i)];
                if (!std::isfinite(f) || (r == 0.0 && f != 0.0))
                    return 1.0;
                if (r != 0.0)
                    worst = std::max(worst, relativeError(f, r));
            }
        }
        return worst;
    };
    const double worst = worstDifference(fast);
    qInfo("fast loops (%s): worst relative difference %.3g", ProfileKernels::instructionSet(), worst);
    QVERIFY(worst < 1e-11);

    // Every instruction set this processor has gives the same sums.
    for (auto set : {ProfileKernels::Baseline, ProfileKernels::Avx2, ProfileKernels::Avx512}) {
        std::vector<double> other[2] = {std::vector<double>(points, 0.0), std::vector<double>(points, 0.0)};
        double *otherSpectra[] = {other[0].data(), other[1].data()};
        if (!ProfileKernels::addLinesUsing(set, Profile(profile), jobs.data(), jobs.size(), grid.data(),
                                           otherSpectra, 0, points))
            continue;
        QVERIFY2(worstDifference(other) < 1e-11, qPrintable(QString::number(int(set))));
    }
}

QTEST_GUILESS_MAIN(TestLineShapes)
#include "tst_lineshapes.moc"
