#include "core/params.h"
#include "core/pathconditions.h"
#include "fakeiiotree.h"
#include "sensorhubundertest.h"
#include "sensors/sensehat.h"
#include "sensors/sensors.h"

#include <QFile>
#include <QPressureSensor>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using Quantity = SensorSettings::Quantity;

} // namespace

// The Sense HAT in a fake Industrial I/O tree: its channels, its place before
// the built-in sensors, and a driver that hangs. The hub's timer is stopped;
// the test ticks it.
class TestSenseHat : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void senseHatChannels();
    void senseHatComesFirst();
    void hangingSenseHatCountsAsAbsent();
    void hangingSenseHatWhileOff();

private:
    std::unique_ptr<SensorHubUnderTest> m_t;
};

void TestSenseHat::init()
{
    m_t = std::make_unique<SensorHubUnderTest>();
}

void TestSenseHat::cleanup()
{
    m_t.reset();
}

void TestSenseHat::senseHatChannels()
{
    // The LPS25H: (raw + offset) x scale = 4150272 x 0.000024414 kPa =
    // 101.3247406 kPa = 1013.247406 hPa; its temperature (1200 + 20400) x
    // 2.083333333 milli-degrees = 45.0 degrees, which the HTS221's
    // (12383 - 14560) x -9.876543210 = 21501.23 milli-degrees beats. The
    // HTS221's humidity (-1103 - 8412) x -4.203883495 milli-percent.
    FakeIioTree tree;
    QVERIFY(tree.isValid());
    tree.addPressureChip(0, 4150272, 1200);
    tree.addHumidityChip(1, -1103, 12383);
    // An accelerometer with a die temperature is no thermometer of the air.
    tree.set(2, QStringLiteral("name"), QStringLiteral("lsm9ds1_accel"));
    tree.set(2, QStringLiteral("in_temp_raw"), QStringLiteral("99"));
    // The channels are read off the main thread: the readings arrive a
    // moment after the board is found.
    SenseHat board(nullptr, tree.path());
    board.setPeriod(100);
    QVERIFY(board.available());
    QTRY_VERIFY(board.pressure() && board.temperature() && board.humidity());
    QCOMPARE(*board.pressure(), 4150272 * 0.000024414 * 10.0);
    QCOMPARE(*board.temperature(), (12383 - 14560) * -9.876543210 / 1000.0);
    QCOMPARE(*board.humidity(), (-1103 - 8412) * -4.203883495 / 1000.0);

    // Without the hygrometer the barometer's temperature serves.
    FakeIioTree barometerOnly;
    barometerOnly.addPressureChip(3, 4150272, 1200);
    SenseHat pressureBoard(nullptr, barometerOnly.path());
    QVERIFY(!pressureBoard.hasHygrometer());
    QTRY_VERIFY(pressureBoard.temperature());
    QCOMPARE(*pressureBoard.temperature(), (1200 + 20400) * 2.083333333 / 1000.0);

    // Chips are recognised by their channels, whatever their name; a driver
    // that gives processed values (kPa, milli-degrees, milli-percent) and
    // numbered channels serves as well; the lowest-numbered device counts.
    FakeIioTree other;
    other.set(10, QStringLiteral("in_pressure_input"), QStringLiteral("99.0"));
    other.set(4, QStringLiteral("name"), QStringLiteral("bme280"));
    other.set(4, QStringLiteral("in_pressure0_input"), QStringLiteral("98.7654"));
    other.set(4, QStringLiteral("in_pressure0_raw"), QStringLiteral("1"));
    other.set(4, QStringLiteral("in_humidityrelative_input"), QStringLiteral("45678"));
    other.set(4, QStringLiteral("in_temp_input"), QStringLiteral("-1250"));
    SenseHat bme(nullptr, other.path());
    bme.setPeriod(100);
    QTRY_VERIFY(bme.pressure() && bme.humidity() && bme.temperature());
    QCOMPARE(*bme.pressure(), 987.654);
    QCOMPARE(*bme.humidity(), 45.678);
    QCOMPARE(*bme.temperature(), -1.25);
    // A channel that cannot be read gives no reading, not 0.
    other.set(4, QStringLiteral("in_humidityrelative_input"), QStringLiteral("busy"));
    QTRY_VERIFY(!bme.humidity());
    QVERIFY(other.remove(4, QStringLiteral("in_temp_input")));
    QTRY_VERIFY(!bme.temperature());
    QVERIFY(bme.answers(Quantity::Temperature));

    SenseHat none(nullptr, m_t->emptyIio());
    QVERIFY(!none.available());
    QVERIFY(!none.pressure());
    QVERIFY(!none.answers(Quantity::Pressure));
}

void TestSenseHat::senseHatComesFirst()
{
    m_t->registerBuiltIn(QPressureSensor::type);
    FakeIioTree tree;
    tree.addPressureChip(0, 4150272, 1200);
    m_t->makeHub(tree.path());
    m_t->hub()->stopSampling();
    m_t->hub()->senseHat()->startReading();
    m_t->hub()->setNumSamplesToAverage(1);
    m_t->hub()->setPressureSensorEnabled(true);
    m_t->backend(QPressureSensor::type)->deliver(50000.0);
    QTRY_VERIFY(m_t->hub()->senseHat()->pressure());
    m_t->tick(2);
    // 1013.247406 hPa from the board, in Pa, in atm; the built-in 50000 Pa is not used.
    QCOMPARE(m_t->path()->totalPressure, 4150272 * 0.000024414 * 10.0 * 100.0 * 9.8692e-6);
    QCOMPARE(m_t->hub()->presenceText(Quantity::Pressure), QString());
    // The board has no hygrometer and the device none either.
    QCOMPARE(m_t->hub()->presenceText(Quantity::Humidity), QStringLiteral(" No humidity sensors\n (manual value used)"));
}

// A board's sensor whose driver hangs (a FIFO that nothing writes stands in
// for it) never freezes the program: the readings are taken off the main
// thread, the sensor counts as absent once a read has not answered within
// the sampling period, the screen says so, and the path keeps its last
// average. When the driver answers again, the readings are taken again.
void TestSenseHat::hangingSenseHatCountsAsAbsent()
{
    FakeIioTree tree;
    tree.addPressureChip(0, 4150272, 1200);
    m_t->makeHub(tree.path());
    m_t->hub()->stopSampling();
    m_t->hub()->setSamplingPeriod(200);
    m_t->hub()->senseHat()->startReading();
    m_t->hub()->setNumSamplesToAverage(1);
    QTRY_VERIFY(m_t->hub()->senseHat()->pressure());
    m_t->hub()->setPressureSensorEnabled(true);
    QVERIFY(m_t->hub()->pressureSensorEnabled());
    m_t->tick(2);
    // 4150272 x 0.000024414 kPa = 101324.7406 Pa.
    const double lastAverage = 101324.740608 * 9.8692e-6;
    QVERIFY(std::abs(m_t->path()->totalPressure - lastAverage) < 1e-12);

    QSignalSpy presence(m_t->hub(), &Sensors::presenceChanged);
    const QString raw = tree.filePath(0, QStringLiteral("in_pressure_raw"));
    QVERIFY(tree.makeFifo(0, QStringLiteral("in_pressure_raw")));
    QTRY_COMPARE(m_t->hub()->presenceText(Quantity::Pressure),
                 QStringLiteral(" The Sense HAT's barometer does not answer\n (last value kept)"));
    QVERIFY(presence.count() >= 1);
    QVERIFY(!m_t->hub()->pressureSensorPresent());
    QVERIFY(!m_t->hub()->senseHat()->pressure());
    // The hub goes on ticking: nothing waits for the driver.
    QSignalSpy updated(m_t->hub(), &Sensors::totalPressureUpdated);
    m_t->tick(6);
    QCOMPARE(updated.count(), 0);
    QVERIFY(std::abs(m_t->path()->totalPressure - lastAverage) < 1e-12);
    // The board's temperature, on its own channel, still answers.
    QVERIFY(m_t->hub()->temperatureSensorPresent());
    QCOMPARE(m_t->hub()->presenceText(Quantity::Temperature), QString());

    // The driver answers (the FIFO is written to, and a file takes its place
    // for the reads after): 4096000 counts are 100000.0 Pa.
    const QString held = raw + QStringLiteral(".held");
    QVERIFY(QFile::rename(raw, held));
    QVERIFY(tree.set(0, QStringLiteral("in_pressure_raw"), QStringLiteral("4096000")));
    {
        QFile fifo(held);
        QVERIFY(fifo.open(QIODevice::WriteOnly));
        fifo.write("4096000\n");
    }
    QTRY_COMPARE(m_t->hub()->presenceText(Quantity::Pressure), QString());
    QVERIFY(m_t->hub()->pressureSensorPresent());
    QTRY_VERIFY(m_t->hub()->senseHat()->pressure());
    m_t->tick(2);
    QVERIFY(std::abs(m_t->path()->totalPressure - 4096000 * 0.000024414 * 1000.0 * 9.8692e-6) < 1e-12);
}

void TestSenseHat::hangingSenseHatWhileOff()
{
    // Not switched to the sensor, a hanging barometer leaves the typed value
    // in use, and the screen says so.
    FakeIioTree tree;
    tree.addPressureChip(0, 4150272, 1200);
    QVERIFY(tree.makeFifo(0, QStringLiteral("in_pressure_raw")));
    m_t->makeHub(tree.path());
    m_t->hub()->setSamplingPeriod(200);
    QTRY_COMPARE(m_t->hub()->presenceText(Quantity::Pressure),
                 QStringLiteral(" The Sense HAT's barometer does not answer\n (manual value used)"));
    m_t->hub()->setPressureSensorEnabled(true);
    QVERIFY(!m_t->hub()->pressureSensorEnabled());
    QCOMPARE(m_t->path()->totalPressure, 0.8);
    // No more reads, and the one under way is let go before the tree goes.
    m_t->hub()->stopSampling();
    QFile fifo(tree.filePath(0, QStringLiteral("in_pressure_raw")));
    QVERIFY(fifo.open(QIODevice::WriteOnly));
}

QTEST_GUILESS_MAIN(TestSenseHat)
#include "tst_sensehat.moc"
