#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "offlinesettings.h"
#include "standinlinesource.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// calculate -> line source -> engine -> postCalculation, driven from the core.
class TestCalculationFlow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void calculationRunsEndToEnd();
    void cancelFromTheCore();

private:
    QTemporaryDir *m_folder = nullptr;
    KolvexCore *m_core = nullptr;
    StandInLineSource *m_source = nullptr;
};

void TestCalculationFlow::init()
{
    m_folder = new QTemporaryDir;
    QVERIFY(m_folder->isValid());
    m_core = new KolvexCore(offlineSettings(m_folder->path()));
    QTRY_VERIFY(m_core->tipsLoaded());
    m_source = new StandInLineSource(StandInLineSource::readFile(QStringLiteral(KOLVEX_TEST_DATA "/calc/lines.par")), 3);
    m_core->setLineSource(m_source);
    m_core->xAxis()->setMinWavenumber(2000.0);
    m_core->xAxis()->setMaxWavenumber(2300.0);
    m_core->xAxis()->setNumPoints(3001);
    PathConditions &conditions = m_core->params()->pathConditions();
    conditions.temperature = 288.2;
    conditions.totalPressure = 1.0;
    conditions.concentrations[4] = 0.15;
    conditions.concentrations[1] = 330.0;
}

void TestCalculationFlow::cleanup()
{
    delete m_core;
    delete m_source;
    delete m_folder;
}

void TestCalculationFlow::calculationRunsEndToEnd()
{
    QSignalSpy updates(m_core, &KolvexCore::updateSpectra);
    QSignalSpy notes(m_core, &KolvexCore::notify);
    m_core->calculate();
    QVERIFY(m_core->calculationIsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->calculationIsRunning(), 20000);
    QCOMPARE(m_source->requestCount(), 5);        // four batches of 3 and the empty answer
    // The spectra are shown once, when they are complete.
    QCOMPARE(updates.count(), 1);
    // The banner's last report before it goes counts every record.
    QVERIFY(notes.count() >= 2);
    QVERIFY(notes.at(notes.count() - 2).at(0).toString().startsWith(QStringLiteral("Found 10 HITRAN records.")));
    QCOMPARE(notes.at(notes.count() - 2).at(1).toDouble(), 1.0);
    QCOMPARE(notes.last().at(2).toBool(), false);

    const SpectraSet *spectra = m_core->spectra();
    QCOMPARE(spectra->molecules.size(), std::size_t(m_core->params()->moleculeCount()));
    QCOMPARE(spectra->molecules.at(4).crossSection.values.size(), std::size_t(3001));
    QVERIFY(spectra->molecules.at(4).crossSection.maximum > 1e-20);
    QVERIFY(spectra->molecules.at(4).opticalDepthMaximum > 0.01);
    QVERIFY(spectra->molecules.at(1).opticalDepthMaximum > 0.1);

    // The results hold the conditions of this calculation.
    const CalculationResults *saver = m_core->results();
    QCOMPARE(saver->temperature(), 288.2);
    QCOMPARE(saver->totalPressure(), 1.0);
    QCOMPARE(saver->concentration(1), 330.0);
    QCOMPARE(saver->moleculeNames().at(4), QStringLiteral("CO"));
    QCOMPARE(saver->xAxis().grid().size(), std::size_t(3001));
    QCOMPARE(saver->spectra(), spectra);

    // A second calculation starts again from zero.
    const SpectrumValues first = spectra->molecules.at(4).crossSection.values;
    m_core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->calculationIsRunning(), 20000);
    QCOMPARE(spectra->molecules.at(4).crossSection.values, first);
}

// The core's cancel ends the engine while it waits for the next batch; the
// results are marked with the wavenumber reached, and the next calculation
// starts with the flag cleared.
void TestCalculationFlow::cancelFromTheCore()
{
    m_source->setStallAfter(1);
    m_core->calculate();
    QTRY_COMPARE(m_source->requestCount(), 2);
    QVERIFY(m_core->calculationIsRunning());
    m_core->cancelCalculation();
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->calculationIsRunning(), 20000);
    QCOMPARE(m_core->lbl()->recordCounter(), 3);
    QVERIFY(m_core->spectra()->molecules.at(4).crossSection.maximum > 1e-20);   // the first batch holds CO lines
    const std::vector<LineRecord> lines = StandInLineSource::readFile(QStringLiteral(KOLVEX_TEST_DATA "/calc/lines.par"));
    QCOMPARE(m_core->results()->cancelledAt(), lines.at(2).wavenumber);

    m_source->setStallAfter(-1);
    m_core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->calculationIsRunning(), 20000);
    QCOMPARE(m_core->lbl()->recordCounter(), 10);
}

QTEST_GUILESS_MAIN(TestCalculationFlow)
#include "tst_calculationflow.moc"
