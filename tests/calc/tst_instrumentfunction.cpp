#include "calc/instrumentfunction.h"
#include "core/spectrum.h"
#include "core/xaxis.h"
#include "faddeevareference.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

template<typename Values>
bool allFinite(const Values &values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

template<typename Values>
double sum(const Values &values, std::size_t from = 0, std::size_t to = std::size_t(-1))
{
    double total = 0.0;
    const std::size_t end = std::min(to, std::size_t(values.size()));
    for (std::size_t i = from; i < end; ++i)
        total += values[i];
    return total;
}

// A kernel's shape in closed form at offset u for resolution r, up to its
// constant factor (the kernel is normalised to unit sum).
double closedForm(int type, double u, double r)
{
    const double x = u / r;
    switch (type) {
    case InstrumentFunction::Rectangular: return std::fabs(x) <= 0.5 + 1e-9 ? 1.0 : 0.0;   // slit of full width R
    case InstrumentFunction::Triangular: return std::max(0.0, 1.0 - std::fabs(x));          // half base R
    case InstrumentFunction::Gaussian: return std::pow(2.0, -4.0 * x * x);                   // full width at half maximum R
    case InstrumentFunction::Dispersion: return 1.0 / (1.0 + 4.0 * x * x);                   // full width at half maximum R
    case InstrumentFunction::Diffraction: return x == 0.0 ? 1.0 : std::pow(std::sin(M_PI * x) / (M_PI * x), 2);
    case InstrumentFunction::Michelson: return x == 0.0 ? 1.0 : std::sin(2.0 * M_PI * x) / (2.0 * M_PI * x);
    default: return 0.0;
    }
}

} // namespace

class TestInstrumentFunction : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void deltaThroughEveryKernel_data();
    void deltaThroughEveryKernel();
    void kernelsMatchClosedForms_data();
    void kernelsMatchClosedForms();
    void knownLinesThroughTheGaussian_data();
    void knownLinesThroughTheGaussian();
    void edgesAreZero();
    void refusedResolution_data();
    void refusedResolution();
    void kernelLongerThanSpectrum();
    void noneCopiesTheSource();
    void nothingCalculatedYet();
    void kernelOffsets();
    void cosineIsTheRaisedCosine_data();
    void cosineIsTheRaisedCosine();

private:
    XAxis m_grid{XAxis::Wavenumber, 2000.0, 2010.0, 1001};   // step 0.01
    InstrumentFunction m_function;
};

void TestInstrumentFunction::init()
{
    m_grid.buildGrid();
    m_function.setXAxis(&m_grid);
    m_function.setResolution(0.1);
    m_function.setWing(0.5);
}

void TestInstrumentFunction::deltaThroughEveryKernel_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("wing");
    for (int type = 1; type < InstrumentFunction::TypeCount; ++type) {
        // A wing of a whole number of steps, and one that ends between two grid
        // points (the kernel reaches the last whole step within it).
        QTest::newRow(qPrintable(InstrumentFunction::typeLabel(type))) << type << 0.5;
        QTest::newRow(qPrintable(InstrumentFunction::typeLabel(type) + QStringLiteral(", wing 0.305"))) << type << 0.305;
    }
}

// A single non-zero point comes out as a curve symmetric about that point, with
// its peak there and the point's value as its sum: a kernel that is sampled off
// centre or placed a step aside moves every line.
void TestInstrumentFunction::deltaThroughEveryKernel()
{
    QFETCH(int, type);
    QFETCH(double, wing);
    m_function.setType(quint8(type));
    m_function.setWing(wing);
    const std::vector<double> kernel = m_function.kernel(0.01);
    QVERIFY(!kernel.empty());
    QVERIFY(allFinite(kernel));
    QVERIFY(std::fabs(sum(kernel) - 1.0) < 1e-12);

    const std::size_t m = 437;
    Spectrum source;
    source.values.assign(1001, 0.0);
    source.values[m] = 3.0;
    Spectrum target;
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 0);
    QCOMPARE(target.values.size(), std::size_t(1001));
    QVERIFY(allFinite(target.values));
    QVERIFY(std::fabs(sum(target.values) - 3.0) < 1e-12);

    // Both wings reach the whole steps within the wing: 50, or 30 of the 30.5.
    const std::size_t reach = wing < 0.4 ? 30 : 50;
    QCOMPARE(kernel.size(), 2 * reach + 1);
    const double peak = target.values[m];
    QCOMPARE(peak, *std::max_element(target.values.begin(), target.values.end()));   // (the boxcar's top is flat)
    for (std::size_t d = 1; d <= reach + 1; ++d)
        QVERIFY2(std::fabs(target.values[m + d] - target.values[m - d]) <= 1e-15 * peak,
                 qPrintable(QStringLiteral("%1 steps: %2 and %3").arg(d).arg(target.values[m - d]).arg(target.values[m + d])));
    QCOMPARE(target.values[m + reach + 1], 0.0);
    QCOMPARE(target.values[m - reach - 1], 0.0);
}

void TestInstrumentFunction::kernelsMatchClosedForms_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("resolution");
    QTest::addColumn<int>("at");       // an offset in grid steps of 0.01
    QTest::addColumn<double>("ratio");  // the kernel there over its peak
    QTest::addColumn<int>("at2");
    QTest::addColumn<double>("ratio2");
    using F = InstrumentFunction;
    // Worked by hand from the shapes: |u| <= R/2 inside the slit; the triangle
    // halves at R/2 and ends at R; Gaussian and Lorentzian halve at R/2, and at
    // R the Gaussian is 2^-4 and the Lorentzian 1/(1 + 4); sinc^2 is (2/pi)^2 at
    // R/2 and 0 at R; the Michelson sinc is 0 at R/2 and 2/pi at R/4. The cosine
    // kernel is checked without normalisation in cosineIsTheRaisedCosine.
    QTest::newRow("boxcar R 0.1") << int(F::Rectangular) << 0.1 << 5 << 1.0 << 6 << 0.0;
    QTest::newRow("boxcar R 0.2") << int(F::Rectangular) << 0.2 << -10 << 1.0 << -11 << 0.0;
    QTest::newRow("triangle R 0.1") << int(F::Triangular) << 0.1 << 5 << 0.5 << 10 << 0.0;
    QTest::newRow("triangle R 0.2") << int(F::Triangular) << 0.2 << -10 << 0.5 << 20 << 0.0;
    QTest::newRow("Gaussian R 0.1") << int(F::Gaussian) << 0.1 << 5 << 0.5 << -10 << 1.0 / 16.0;
    QTest::newRow("Gaussian R 0.2") << int(F::Gaussian) << 0.2 << -10 << 0.5 << 20 << 1.0 / 16.0;
    QTest::newRow("Lorentz R 0.1") << int(F::Dispersion) << 0.1 << 5 << 0.5 << 10 << 0.2;
    QTest::newRow("Lorentz R 0.2") << int(F::Dispersion) << 0.2 << 10 << 0.5 << -20 << 0.2;
    QTest::newRow("diffraction R 0.1") << int(F::Diffraction) << 0.1 << 5 << 4.0 / (M_PI * M_PI) << -10 << 0.0;
    QTest::newRow("diffraction R 0.2") << int(F::Diffraction) << 0.2 << -10 << 4.0 / (M_PI * M_PI) << 20 << 0.0;
    QTest::newRow("Michelson R 0.1") << int(F::Michelson) << 0.1 << 5 << 0.0 << 10 << 0.0;
    QTest::newRow("Michelson R 0.2") << int(F::Michelson) << 0.2 << -10 << 0.0 << 5 << 2.0 / M_PI;
}

// Each kernel point by point against its closed form, at two resolutions, and
// at two offsets against numbers worked out by hand: a kernel of the wrong
// width, with zeros in the wrong place or of the wrong shape fails.
void TestInstrumentFunction::kernelsMatchClosedForms()
{
    QFETCH(int, type);
    QFETCH(double, resolution);
    QFETCH(int, at);
    QFETCH(double, ratio);
    QFETCH(int, at2);
    QFETCH(double, ratio2);
    m_function.setType(quint8(type));
    m_function.setResolution(resolution);
    // Step 0.01 and wing 0.5: offsets u = (k - 50) 0.01 for k = 0 ... 100.
    const std::vector<double> kernel = m_function.kernel(0.01);
    QCOMPARE(kernel.size(), std::size_t(101));
    std::vector<double> expected;
    for (int k = 0; k < 101; ++k)
        expected.push_back(closedForm(type, (k - 50) * 0.01, resolution));
    const double expectedSum = sum(expected);
    const double peak = *std::max_element(kernel.begin(), kernel.end());
    for (std::size_t k = 0; k < kernel.size(); ++k)
        QVERIFY2(std::fabs(kernel[k] - expected[k] / expectedSum) < 1e-9 * peak,
                 qPrintable(QStringLiteral("offset %1: %2 instead of %3").arg(int(k) - 50).arg(kernel[k]).arg(expected[k] / expectedSum)));

    const double top = kernel[50];
    QVERIFY(std::fabs(kernel[std::size_t(50 + at)] / top - ratio) < 1e-9);
    QVERIFY(std::fabs(kernel[std::size_t(50 + at2)] / top - ratio2) < 1e-9);
}

void TestInstrumentFunction::knownLinesThroughTheGaussian_data()
{
    QTest::addColumn<bool>("lorentzLine");
    QTest::newRow("Gaussian line") << false;
    QTest::newRow("Lorentz line") << true;
}

// A line of unit area at 2005 cm-1 through the Gaussian kernel of R = 0.08
// (half-width 0.04): a Gaussian line of half-width 0.03 becomes the Gaussian of
// half-width sqrt(0.03^2 + 0.04^2) = 0.05, a Lorentz line of half-width 0.05 the
// Voigt profile of the two half-widths, centred where the line is.
void TestInstrumentFunction::knownLinesThroughTheGaussian()
{
    QFETCH(bool, lorentzLine);
    const double ln2 = std::log(2.0);
    const auto gaussian = [ln2](double delta, double halfWidth) {
        return std::sqrt(ln2 / M_PI) / halfWidth * std::exp(-ln2 * delta * delta / (halfWidth * halfWidth));
    };
    Spectrum source;
    for (int i = 0; i < 1001; ++i) {
        const double delta = (i - 500) * 0.01;
        source.values.push_back(lorentzLine ? 0.05 / M_PI / (0.05 * 0.05 + delta * delta) : gaussian(delta, 0.03));
    }
    m_function.setType(InstrumentFunction::Gaussian);
    m_function.setResolution(0.08);
    Spectrum target;
    m_function.convolve(source, target);
    QCOMPARE(target.windowStart, 50);
    QCOMPARE(target.windowEnd, 950);
    for (int j = 50; j <= 950; ++j) {
        const double delta = (j - 500) * 0.01;
        const double expected = lorentzLine ? FaddeevaReference::voigtProfile(delta, 0.04, 0.05) : gaussian(delta, 0.05);
        QVERIFY2(std::fabs(target.values[std::size_t(j)] - expected) < 1e-8,   // the peaks are 4 to 10
                 qPrintable(QStringLiteral("point %1: %2 instead of %3").arg(j).arg(target.values[std::size_t(j)]).arg(expected)));
    }
}

void TestInstrumentFunction::edgesAreZero()
{
    m_function.setType(InstrumentFunction::Gaussian);
    Spectrum source;
    source.values.assign(1001, 1.0);
    Spectrum target;
    target.values.assign(1001, 9.0);
    m_function.convolve(source, target);
    const std::size_t h = m_function.kernel(0.01).size() / 2;
    QVERIFY(h > 10);
    for (std::size_t j = 0; j < h; ++j) {
        QCOMPARE(target.values[j], 0.0);
        QCOMPARE(target.values[1000 - j], 0.0);
    }
    QVERIFY(std::fabs(target.values[h] - 1.0) < 1e-12);
    QVERIFY(std::fabs(target.values[500] - 1.0) < 1e-12);
    // The target names the points it computed, so that the zeros are not taken for data.
    QCOMPARE(target.windowStart, int(h));
    QCOMPARE(target.windowEnd, int(1000 - h));

    // W = 0.5 and step 0.125: offsets -0.5 ... 0.5, 4 steps on each side, so 4
    // points at each end cannot be computed.
    XAxis coarse(XAxis::Wavenumber, 0.0, 12.5, 101);
    coarse.buildGrid();
    m_function.setXAxis(&coarse);
    m_function.setResolution(0.3);
    source.values.assign(101, 1.0);
    m_function.convolve(source, target);
    QCOMPARE(target.windowStart, 4);
    QCOMPARE(target.windowEnd, 96);
    QCOMPARE(target.values[3], 0.0);
    QVERIFY(std::fabs(target.values[4] - 1.0) < 1e-12);
    QVERIFY(std::fabs(target.values[96] - 1.0) < 1e-12);
    QCOMPARE(target.values[97], 0.0);
}

void TestInstrumentFunction::refusedResolution_data()
{
    QTest::addColumn<double>("resolution");
    QTest::newRow("equal to the grid step") << 0.01;
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -1.0;
    QTest::newRow("not a number") << std::nan("");
}

// A resolution not above the grid step is refused with the dialog, and the
// target holds zeros, not an earlier curve.
void TestInstrumentFunction::refusedResolution()
{
    QFETCH(double, resolution);
    m_function.setType(InstrumentFunction::Gaussian);
    m_function.setResolution(resolution);
    Spectrum source;
    source.values.assign(1001, 1.0);
    Spectrum target;
    target.values.assign(1001, 5.0);
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.at(0).at(0).toString(),
             QStringLiteral("The line-by-line calculation spectral\nresolution has to be smaller than the\n"
                            "instrument resolution.\n\nInstrument function calculation\nwill not be performed."));
    QCOMPARE(target.values, SpectrumValues(1001, 0.0));
    QVERIFY(target.windowEnd < target.windowStart);
}

void TestInstrumentFunction::kernelLongerThanSpectrum()
{
    m_function.setType(InstrumentFunction::Triangular);
    m_function.setWing(6.0);   // 1201 offsets for 1001 points
    Spectrum source;
    source.values.assign(1001, 1.0);
    Spectrum target;
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(target.values, SpectrumValues(1001, 0.0));
    QVERIFY(target.windowEnd < target.windowStart);

    // A wing too wide for any grid is refused before anything is allocated.
    m_function.setWing(1e300);
    QVERIFY(m_function.kernel(0.01).empty());
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 2);
    QVERIFY(allFinite(target.values));
}

void TestInstrumentFunction::noneCopiesTheSource()
{
    m_function.setType(InstrumentFunction::None);
    m_function.setResolution(0.0);   // no kernel, so nothing to refuse
    Spectrum source;
    source.values = {1.0, 2.0, 3.0};
    source.auxValues = {4.0};
    source.maximum = 3.0;
    source.windowEnd = 7;
    Spectrum target;
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 0);
    QCOMPARE(target.values, source.values);
    QCOMPARE(target.auxValues, source.auxValues);
    QCOMPARE(target.maximum, 3.0);
    QCOMPARE(target.windowEnd, 7);
}

// Before the first calculation the totals are empty: nothing to smooth, and no
// message about the wing (which the empty spectrum is always "shorter" than).
void TestInstrumentFunction::nothingCalculatedYet()
{
    m_function.setType(InstrumentFunction::Gaussian);
    Spectrum source;
    Spectrum target;
    target.values.assign(1001, 5.0);
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 0);
    QVERIFY(target.values.empty());
    QVERIFY(target.windowEnd < target.windowStart);
}

// The offsets run over the whole grid steps within the wing on each side of 0.
void TestInstrumentFunction::kernelOffsets()
{
    // (Wings of 0.5 and 0.305 are checked in deltaThroughEveryKernel.)
    m_function.setType(InstrumentFunction::Dispersion);
    m_function.setWing(0.3);   // 30 steps, though 0.3 / 0.01 rounds below 30
    QCOMPARE(m_function.kernel(0.01).size(), std::size_t(61));

    // A wing within one step leaves the centre alone: the spectrum passes unchanged.
    m_function.setWing(0.005);
    QCOMPARE(m_function.kernel(0.01), std::vector<double>({1.0}));
    Spectrum source;
    for (int i = 0; i < 1001; ++i)
        source.values.push_back(std::sin(i * 0.1));
    Spectrum target;
    m_function.convolve(source, target);
    QCOMPARE(target.values, source.values);
    QCOMPARE(target.windowStart, 0);
    QCOMPARE(target.windowEnd, 1000);
}

void TestInstrumentFunction::cosineIsTheRaisedCosine_data()
{
    QTest::addColumn<double>("resolution");
    QTest::addColumn<double>("wing");
    QTest::newRow("R 0.1") << 0.1 << 0.5;
    QTest::newRow("R 0.1, wing 2") << 0.1 << 2.0;
    QTest::newRow("R 0.3") << 0.3 << 0.5;
    QTest::newRow("R 0.3, wing 2") << 0.3 << 2.0;
}

// The cosine kernel is (1 + cos(pi u / R)) / (2R) for |u| <= R and 0 beyond,
// whatever the wing: zeros at |u| = R, half its top at |u| = R/2, and unit area.
// On a grid whose step divides R the sampled area is exactly 1 (the cosines of a
// whole period sum to 0, the end point adds cos(pi) = -1 to the 2M + 1 ones), so
// the normalised kernel keeps its top value 1/R times the step.
void TestInstrumentFunction::cosineIsTheRaisedCosine()
{
    QFETCH(double, resolution);
    QFETCH(double, wing);
    const double step = 0.01;
    m_function.setType(InstrumentFunction::Cosine);
    m_function.setResolution(resolution);
    m_function.setWing(wing);
    const std::vector<double> kernel = m_function.kernel(step);
    const int h = int(kernel.size() / 2);
    QCOMPARE(h, int(std::lround(wing / step)));
    const int edge = int(std::lround(resolution / step));   // |u| = R
    QVERIFY(std::fabs(kernel[std::size_t(h)] - step / resolution) < 1e-12);
    for (int k = -h; k <= h; ++k) {
        const double u = k * step;
        const double expected = std::abs(k) <= edge ? (1.0 + std::cos(M_PI * u / resolution)) / (2.0 * resolution) * step : 0.0;
        QVERIFY2(std::fabs(kernel[std::size_t(h + k)] - expected) < 1e-12,
                 qPrintable(QStringLiteral("u %1: %2 instead of %3").arg(u).arg(kernel[std::size_t(h + k)]).arg(expected)));
    }
    QVERIFY(std::fabs(kernel[std::size_t(h + edge)]) < 1e-15);
    QVERIFY(std::fabs(kernel[std::size_t(h - edge)]) < 1e-15);
    QVERIFY(std::fabs(kernel[std::size_t(h + edge / 2)] - kernel[std::size_t(h)] / 2.0) < 1e-12);
    QVERIFY(std::fabs(kernel[std::size_t(h - edge / 2)] - kernel[std::size_t(h)] / 2.0) < 1e-12);
    QVERIFY(std::fabs(sum(kernel) - 1.0) < 1e-12);
}

QTEST_GUILESS_MAIN(TestInstrumentFunction)
#include "tst_instrumentfunction.moc"
