#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "calc/instrumentfunction.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "download/linesourcechain.h"
#include "download/userlinefile.h"
#include "offlinesettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

// A symmetric instrument function must not move a line: the smoothed total of an
// isolated real line peaks at the grid point where the plain total does, for
// every kernel. Before the kernels were centred each smoothed curve sat one grid
// step above the plain one.
class TestSmoothedLinePosition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void peakStaysAtTheLine_data();
    void peakStaysAtTheLine();

private:
    QTemporaryDir m_folder;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<SpectraResultsQml> m_results;
};

namespace {

// The CO line at 2169.197950 cm-1 (intensity 4.4e-19) of tests/data/calc/edge-lines.par:
// the lines of the file within 1 cm-1 of it are a thousand times weaker or less,
// the next strong one is 3.56 cm-1 away. On the grid 2165 + k 0.02 it lies
// 0.002 cm-1 (plus its pressure shift, about -0.003 at 1 atm) below point 210.
constexpr double lineCentre = 2169.197950;
constexpr double gridStart = 2165.0;
constexpr double gridEnd = 2175.0;
constexpr int gridPoints = 501;
constexpr double gridStep = (gridEnd - gridStart) / (gridPoints - 1);
constexpr int co = 4;   // molecule index: HITRAN number - 1

// The index of the largest value within 0.5 cm-1 of the line.
int peakNearTheLine(const Spectrum &spectrum)
{
    const int from = int(std::floor((lineCentre - 0.5 - gridStart) / gridStep));
    const int to = int(std::ceil((lineCentre + 0.5 - gridStart) / gridStep));
    if (int(spectrum.values.size()) <= to)
        return -1;
    int peak = from;
    for (int i = from; i <= to; ++i) {
        if (spectrum.values[std::size_t(i)] > spectrum.values[std::size_t(peak)])
            peak = i;
    }
    return peak;
}

} // namespace

void TestSmoothedLinePosition::initTestCase()
{
    QVERIFY(m_folder.isValid());
    const QString lineFile = m_folder.filePath(QStringLiteral("edge-lines.par"));
    QVERIFY(QFile::copy(QStringLiteral(KOLVEX_TEST_DATA "/calc/edge-lines.par"), lineFile));
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_folder.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 60000);
    QCOMPARE(m_core->lineSources()->userLineFile()->path(), lineFile);
    m_core->downloader()->setUsage(HitranOnlineDownloader::CompleteUsage);
    m_results = std::make_unique<SpectraResultsQml>(nullptr, m_core.get());
    m_core->setOkDialogText(QString());
    m_results->setShowTotal(true);
    // Totals shown before the first calculation: nothing to smooth, no message.
    QCOMPARE(m_core->okDialogText(), QString());

    m_core->xAxis()->setUnits(XAxis::Wavenumber);
    m_core->xAxis()->setMinWavenumber(gridStart);
    m_core->xAxis()->setMaxWavenumber(gridEnd);
    m_core->xAxis()->setNumPoints(gridPoints);
    Params *params = m_core->params();
    params->pathConditions().totalPressure = 1.0;
    params->pathConditions().temperature = 296.0;
    params->pathConditions().pathLength = 1.0;
    std::fill(params->pathConditions().concentrations.begin(), params->pathConditions().concentrations.end(), 0.0);
    params->pathConditions().concentrations[co] = 100.0;
    params->setLineShapeProfile(2);
    params->setLineShiftUsage(1);
    m_core->yAxis()->displayedValue = YAxisSettings::AbsorptionQuantities;
    m_core->yAxis()->yUnits = YAxisSettings::OpticalDepth;
    m_core->instrumentFunction()->setResolution(0.5);
    m_core->instrumentFunction()->setWing(2.0);
    m_core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->calculationIsRunning(), 120000);
    QCOMPARE(m_core->okDialogText(), QString());
}

void TestSmoothedLinePosition::peakStaysAtTheLine_data()
{
    QTest::addColumn<int>("type");
    for (int type = 1; type < InstrumentFunction::TypeCount; ++type)
        QTest::newRow(qPrintable(InstrumentFunction::typeLabel(type))) << type;
}

void TestSmoothedLinePosition::peakStaysAtTheLine()
{
    QFETCH(int, type);
    InstrumentFunction *instrument = m_core->instrumentFunction();
    instrument->setType(quint8(type));
    m_results->updatePlot();
    const SpectraSet &spectra = *m_core->spectra();

    const int plain = peakNearTheLine(spectra.opticalDepthTotal);
    QCOMPARE(plain, int(std::lround((lineCentre - gridStart) / gridStep)));
    QVERIFY(spectra.opticalDepthTotal.values[std::size_t(plain)] > 0.0);
    const Spectrum &smoothed = spectra.instrOpticalDepthTotal;
    QVERIFY(smoothed.windowStart <= plain - 25 && smoothed.windowEnd >= plain + 25);
    QCOMPARE(peakNearTheLine(smoothed), plain);
    // Smoothing spreads the line: its peak is lower.
    QVERIFY(smoothed.values[std::size_t(plain)] < spectra.opticalDepthTotal.values[std::size_t(plain)]);
}

QTEST_GUILESS_MAIN(TestSmoothedLinePosition)
#include "tst_smoothedlineposition.moc"
