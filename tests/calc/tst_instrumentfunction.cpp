#include "calc/instrumentfunction.h"
#include "calc/spectrum.h"
#include "data/xaxis.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

bool allFinite(const std::vector<double> &values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

double sum(const std::vector<double> &values, std::size_t from = 0, std::size_t to = std::size_t(-1))
{
    double total = 0.0;
    for (std::size_t i = from; i < std::min(to, values.size()); ++i)
        total += values[i];
    return total;
}

} // namespace

class TestInstrumentFunction : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void deltaThroughEveryKernel_data();
    void deltaThroughEveryKernel();
    void boxcarAveragesFivePoints();
    void edgesAreZero();
    void refusedResolution_data();
    void refusedResolution();
    void kernelLongerThanSpectrum();
    void noneCopiesTheSource();
    void kernelOffsets();

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
        QTest::newRow(qPrintable(InstrumentFunction::typeLabel(type))) << type << 0.5;
        // A wing of a whole number of steps puts an offset at exactly 0: the
        // Cosine kernel divides by it, the sin(z)/z kernels take their limit.
        QTest::newRow(qPrintable(InstrumentFunction::typeLabel(type) + QStringLiteral(", offset 0"))) << type << 0.3;
    }
}

// A single non-zero point comes out as the kernel: a finite, symmetric shape
// (the sin kernels peak at the centre) whose sum is the point's value.
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

    Spectrum source;
    source.values.assign(1001, 0.0);
    source.values[500] = 3.0;
    Spectrum target;
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 0);
    QCOMPARE(target.values.size(), std::size_t(1001));
    QVERIFY(allFinite(target.values));
    QVERIFY(std::fabs(sum(target.values) - 3.0) < 1e-12);

    // target[j] = kernel[500 - j + h] * 3: the kernel reversed around the point.
    const std::size_t h = kernel.size() / 2;
    for (std::size_t k = 0; k < kernel.size(); ++k)
        QVERIFY(std::fabs(target.values[500 + h - k] - 3.0 * kernel[k]) < 1e-15);

    // Offsets run from -W, so the kernel's zero offset is at index W / step.
    const std::size_t centre = std::size_t(std::lround(wing / 0.01));
    if (type != InstrumentFunction::Cosine) {
        for (std::size_t d = 1; d <= centre; ++d)
            QVERIFY(std::fabs(kernel[centre - d] - kernel[centre + d]) < 1e-12);
        QCOMPARE(kernel[centre], *std::max_element(kernel.begin(), kernel.end()));
    }
}

// R = 4 steps: |u| <= 2 steps takes five points with equal weights.
void TestInstrumentFunction::boxcarAveragesFivePoints()
{
    m_function.setType(InstrumentFunction::Rectangular);
    m_function.setResolution(0.04);
    m_function.setWing(0.1);
    const std::vector<double> kernel = m_function.kernel(0.01);
    int nonZero = 0;
    for (double value : kernel) {
        if (value != 0.0) {
            ++nonZero;
            QVERIFY(std::fabs(value - 0.2) < 1e-12);
        }
    }
    QCOMPARE(nonZero, 5);

    Spectrum source;
    for (int i = 0; i < 1001; ++i)
        source.values.push_back(double(i % 7));
    Spectrum target;
    m_function.convolve(source, target);
    const std::size_t h = kernel.size() / 2;
    // The five weights sit at offsets -2..2 steps, i.e. kernel indices 8..12.
    for (std::size_t j = 100; j < 900; ++j) {
        const double expected = (sum(source.values, j - h + 8, j - h + 13)) / 5.0;
        QVERIFY(std::fabs(target.values[j] - expected) < 1e-12);
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

    // W = 0.5 and step 0.125: offsets -0.5 ... 0.75 (the first beyond W + step),
    // 11 of them, so 5 points at each end cannot be computed.
    XAxis coarse(XAxis::Wavenumber, 0.0, 12.5, 101);
    coarse.buildGrid();
    m_function.setXAxis(&coarse);
    m_function.setResolution(0.3);
    source.values.assign(101, 1.0);
    m_function.convolve(source, target);
    QCOMPARE(target.windowStart, 5);
    QCOMPARE(target.windowEnd, 95);
    QCOMPARE(target.values[4], 0.0);
    QVERIFY(std::fabs(target.values[5] - 1.0) < 1e-12);
    QVERIFY(std::fabs(target.values[95] - 1.0) < 1e-12);
    QCOMPARE(target.values[96], 0.0);
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
    QCOMPARE(target.values, std::vector<double>(1001, 0.0));
    QVERIFY(target.windowEnd < target.windowStart);
}

void TestInstrumentFunction::kernelLongerThanSpectrum()
{
    m_function.setType(InstrumentFunction::Triangular);
    m_function.setWing(6.0);   // 1202 offsets for 1001 points
    Spectrum source;
    source.values.assign(1001, 1.0);
    Spectrum target;
    QSignalSpy dialogs(&m_function, &InstrumentFunction::openOkDialog);
    m_function.convolve(source, target);
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(target.values, std::vector<double>(1001, 0.0));
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

// The offsets run from -W in grid steps up to the first beyond W + step.
void TestInstrumentFunction::kernelOffsets()
{
    m_function.setType(InstrumentFunction::Dispersion);
    m_function.setWing(0.5);
    QCOMPARE(m_function.kernel(0.01).size(), std::size_t(103));   // -0.50 ... 0.52
    m_function.setWing(0.505);
    QCOMPARE(m_function.kernel(0.01).size(), std::size_t(104));   // -0.505 ... 0.525
}

QTEST_GUILESS_MAIN(TestInstrumentFunction)
#include "tst_instrumentfunction.moc"
