#include "app/kolvexcore.h"
#include "app/livecalculation.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "sensorhubundertest.h"
#include "sensors/sensors.h"
#include "standinlinesource.h"

#include <QPressureSensor>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Live mode driven from the core: which changes start a calculation, how
// changes that come while one runs are coalesced, and that the last change
// always ends in a calculation with its values. The stand-in line source
// holds a calculation at a chosen batch, so that a change arrives while it
// runs however fast the machine is; nothing here depends on timing.
class TestLiveCalculation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void abandonsOnlyWhatIsFarFromDone_data();
    void abandonsOnlyWhatIsFarFromDone();
    void offStartsNothing();
    void burstInOnePassIsOneCalculation();
    void burstDuringARunEndsWithTheLastValues();
    void changeDuringARunAbandonsIt();
    void nearlyDoneRunFinishesFirst();
    void unchangedOrRefusedInputStartsNothing();
    void calcDuringALiveRunTakesItsPlace();
    void sensorAveragesRecalculate();
    void switchIsKeptAcrossRestarts();

private:
    void makeCore(const KolvexCore::Settings &settings);
    void setTemperature(double kelvin);
    void waitUntilSettled();

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<StandInLineSource> m_source;
    LiveCalculation *m_live = nullptr;
    // The temperature of the results each time the spectra were renewed, and
    // whether each calculation that ended had been abandoned.
    QList<double> m_delivered;
    QList<bool> m_abandoned;
};

void TestLiveCalculation::makeCore(const KolvexCore::Settings &settings)
{
    m_core = std::make_unique<KolvexCore>(settings);
    QTRY_VERIFY(m_core->tipsLoaded());
    // Ten lines in batches of three: a calculation held after n batches has
    // 3n of 10 records done.
    m_source = std::make_unique<StandInLineSource>(
        StandInLineSource::readFile(QStringLiteral(KOLVEX_TEST_DATA "/calc/lines.par")), 3);
    m_core->setLineSource(m_source.get());
    m_core->xAxis()->setMinWavenumber(2000.0);
    m_core->xAxis()->setMaxWavenumber(2300.0);
    m_core->xAxis()->setNumPoints(3001);
    m_core->params()->pathConditions().temperature = 200.0;
    m_live = m_core->liveCalculation();
    m_delivered.clear();
    m_abandoned.clear();
    connect(m_core.get(), &KolvexCore::updateSpectra, this,
            [this] { m_delivered << m_core->results()->temperature(); });
    connect(m_core.get(), &KolvexCore::calculationEnded, this,
            [this] { m_abandoned << m_core->lbl()->abandoned(); });
}

void TestLiveCalculation::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    makeCore(offlineSettings(m_folder->path()));
}

void TestLiveCalculation::cleanup()
{
    m_core.reset();
    m_source.reset();
    m_folder.reset();
}

// What a slider, a field or a peer does: the value, then its announcement.
void TestLiveCalculation::setTemperature(double kelvin)
{
    m_core->params()->pathConditions().temperature = kelvin;
    m_core->announce(Setting::Temperature);
}

void TestLiveCalculation::waitUntilSettled()
{
    QTRY_VERIFY_WITH_TIMEOUT(!m_live->updating() && !m_live->pending() && !m_core->calculationIsRunning(), 30000);
}

void TestLiveCalculation::abandonsOnlyWhatIsFarFromDone_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<bool>("replacesAbandoned");
    QTest::addColumn<bool>("abandons");
    QTest::newRow("just started") << 0.0 << false << true;
    QTest::newRow("most still to do") << 0.74 << false << true;
    QTest::newRow("three quarters done") << 0.75 << false << false;
    QTest::newRow("nearly done") << 0.9 << false << false;
    // Changes faster than the calculations: every second one is shown.
    QTest::newRow("took an abandoned one's place") << 0.0 << true << false;
}

void TestLiveCalculation::abandonsOnlyWhatIsFarFromDone()
{
    QFETCH(double, fraction);
    QFETCH(bool, replacesAbandoned);
    QFETCH(bool, abandons);
    QCOMPARE(LiveCalculation::abandons(fraction, replacesAbandoned), abandons);
}

void TestLiveCalculation::offStartsNothing()
{
    QVERIFY(!m_live->liveCalculation());   // off by default
    setTemperature(250.0);
    m_core->announce(Setting::PathLength);
    emit m_core->valuesUpdated();
    QTest::qWait(50);
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), 0);
    QVERIFY(m_delivered.isEmpty());
}

void TestLiveCalculation::burstInOnePassIsOneCalculation()
{
    // Switched on, the spectrum follows the values as they are.
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), 1);
    QCOMPARE(m_delivered, QList<double>{200.0});

    // Fifty changes before the event loop runs again: one calculation, with
    // the last of them.
    for (int i = 1; i <= 50; ++i)
        setTemperature(200.0 + i);
    QVERIFY(m_live->updating());
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), 2);
    QCOMPARE(m_delivered, (QList<double>{200.0, 250.0}));
    QCOMPARE(m_core->params()->pathConditions().temperature, 250.0);
}

void TestLiveCalculation::burstDuringARunEndsWithTheLastValues()
{
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    m_delivered.clear();
    m_source->setStallAfter(1);
    setTemperature(201.0);
    QTRY_COMPARE(m_source->requestCount(), 2);   // the first batch is in, the second waits
    QVERIFY(m_core->liveCalculationRunning());
    // Forty-nine more, each in a pass of its own, while calculations run.
    for (int i = 2; i <= 50; ++i) {
        setTemperature(200.0 + i);
        QCoreApplication::processEvents();
    }
    m_source->release();
    waitUntilSettled();
    // The first was abandoned for a newer one, which was let finish (it took
    // an abandoned one's place); the last values are calculated last.
    QVERIFY(!m_delivered.isEmpty());
    QCOMPARE(m_delivered.last(), 250.0);
    QVERIFY(!m_delivered.contains(201.0));
    QVERIFY(m_delivered.size() <= 2);
    QVERIFY(m_source->prepareCount() <= 4);   // the first, the abandoned one, its successor, the last
    QCOMPARE(m_abandoned.first(), false);      // the calculation of the switch
    QCOMPARE(m_abandoned.at(1), true);         // 201 K
    QCOMPARE(m_core->results()->temperature(), 250.0);
}

void TestLiveCalculation::changeDuringARunAbandonsIt()
{
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    m_delivered.clear();
    m_abandoned.clear();
    const SpectrumValues shown = m_core->spectra()->molecules.at(4).crossSection.values;   // CO
    QVERIFY(!shown.empty());
    m_source->setStallAfter(1);
    setTemperature(210.0);
    QTRY_COMPARE(m_source->requestCount(), 2);
    setTemperature(220.0);
    // Far from done (its first batch waits for the one ahead): the run at
    // 210 K is abandoned, and the one at 220 K takes its place (and is held
    // at its first batch in turn).
    QTRY_COMPARE(m_abandoned, QList<bool>{true});
    QTRY_VERIFY(m_core->liveCalculationRunning());
    QCOMPARE(m_core->runInputs(), m_core->currentInputs());
    // Nothing of the abandoned run reached the results: not its conditions,
    // not its (empty) spectra.
    QVERIFY(m_delivered.isEmpty());
    QCOMPARE(m_core->results()->temperature(), 200.0);
    QVERIFY(m_core->spectra()->molecules.at(4).crossSection.values == shown);
    QVERIFY(m_live->updating());
    m_source->release();
    waitUntilSettled();
    QCOMPARE(m_delivered, QList<double>{220.0});
    QCOMPARE(m_abandoned, (QList<bool>{true, false}));
}

void TestLiveCalculation::nearlyDoneRunFinishesFirst()
{
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    m_delivered.clear();
    m_abandoned.clear();
    // The engine reads a batch ahead while it adds one: held where it asks
    // for the end of the lines, with the fourth batch (one record) in hand,
    // it has added the first three, 9 of 10 records.
    m_source->setStallAfter(4);
    setTemperature(210.0);
    QTRY_COMPARE(m_source->requestCount(), 5);
    QTRY_COMPARE(m_core->lbl()->fractionDone(), 0.9);
    setTemperature(220.0);
    QTRY_VERIFY(m_live->pending());
    QCoreApplication::processEvents();
    QVERIFY(m_abandoned.isEmpty());
    m_source->release();
    waitUntilSettled();
    // The nearly finished one is shown, then the one of the newer value.
    QCOMPARE(m_delivered, (QList<double>{210.0, 220.0}));
    QCOMPARE(m_abandoned, (QList<bool>{false, false}));
}

void TestLiveCalculation::unchangedOrRefusedInputStartsNothing()
{
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    const int prepared = m_source->prepareCount();
    // A field committed with its own value, a display setting, a refused
    // peer command: the inputs stay as they were calculated.
    setTemperature(200.0);
    m_core->announce(Setting::YScale);
    m_core->remoteControl()->processCommandString(QStringLiteral("#TEMP;5"));
    m_core->remoteControl()->processCommandString(QStringLiteral("#YPARAM;1"));
    QCoreApplication::processEvents();
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), prepared);
    QCOMPARE(m_core->params()->pathConditions().temperature, 200.0);
    // Each input that is part of the calculation does start one.
    m_core->remoteControl()->processCommandString(QStringLiteral("#MSEL;2;0"));
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), prepared + 1);
    m_core->remoteControl()->processCommandString(QStringLiteral("#NUMWNPTS;2001"));
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), prepared + 2);
    QCOMPARE(m_core->results()->xAxis().grid().size(), std::size_t(2001));
}

void TestLiveCalculation::calcDuringALiveRunTakesItsPlace()
{
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    m_delivered.clear();
    m_abandoned.clear();
    m_source->setStallAfter(1);
    setTemperature(210.0);
    QTRY_COMPARE(m_source->requestCount(), 2);
    // Calc while live mode's calculation runs: that one gives way, and the
    // one asked for runs, with the values of now.
    m_core->params()->pathConditions().temperature = 230.0;
    m_core->calculate();
    QTRY_COMPARE(m_abandoned, QList<bool>{true});
    QTRY_VERIFY(m_core->calculationIsRunning());
    QVERIFY(!m_core->liveCalculationRunning());
    m_source->release();
    waitUntilSettled();
    QCOMPARE(m_delivered, QList<double>{230.0});
}

void TestLiveCalculation::sensorAveragesRecalculate()
{
    // A core whose device has a barometer the test drives.
    cleanup();
    SensorHubUnderTest sensors;
    sensors.registerBuiltIn(QPressureSensor::type);
    m_folder = std::make_unique<QTemporaryDir>();
    makeCore(offlineSettings(m_folder->path()));
    Sensors *hub = m_core->sensors();
    // The test ticks the hub itself: two samples, then the mean is published.
    hub->setSamplingPeriod(24 * 3600 * 1000);
    hub->setNumSamplesToAverage(2);
    hub->setPressureSensorEnabled(true);
    QVERIFY(hub->pressureSensorEnabled());
    FakeSensorBackend *barometer = sensors.backend(QPressureSensor::type);
    QVERIFY(barometer);
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    const int prepared = m_source->prepareCount();
    QList<double> pressures;
    // Three windows of readings (Pa), each published as its mean in atm.
    for (double pascals : {101325.0, 90000.0, 80000.0}) {
        barometer->deliver(pascals - 100.0);
        hub->getUpdatedReadings();
        barometer->deliver(pascals + 100.0);
        hub->getUpdatedReadings();
        hub->getUpdatedReadings();   // publishes
        pressures << pascals * Sensors::atmPerPa;
        waitUntilSettled();
        QCOMPARE(m_core->results()->totalPressure(), pascals * Sensors::atmPerPa);
    }
    QCOMPARE(m_source->prepareCount(), prepared + 3);
    // The same mean again changes nothing, and calculates nothing.
    barometer->deliver(80000.0);
    hub->getUpdatedReadings();
    hub->getUpdatedReadings();
    hub->getUpdatedReadings();
    waitUntilSettled();
    QCOMPARE(m_source->prepareCount(), prepared + 3);
    cleanup();
}

void TestLiveCalculation::switchIsKeptAcrossRestarts()
{
    KolvexCore::Settings settings = offlineSettings(m_folder->path());
    settings.useProgramSettings = true;
    settings.programSettingsFile = m_folder->filePath(QStringLiteral("program.ini"));
    m_core.reset();
    makeCore(settings);
    QVERIFY(!m_live->liveCalculation());
    m_live->setLiveCalculation(true);
    waitUntilSettled();
    m_core.reset();
    makeCore(settings);
    QVERIFY(m_live->liveCalculation());
    m_live->setLiveCalculation(false);
    m_core.reset();
    makeCore(settings);
    QVERIFY(!m_live->liveCalculation());
}

QTEST_GUILESS_MAIN(TestLiveCalculation)
#include "tst_livecalculation.moc"
