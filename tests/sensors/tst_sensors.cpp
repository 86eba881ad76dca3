#include "core/params.h"
#include "core/pathconditions.h"
#include "sensorhubundertest.h"
#include "sensors/gattservice.h"
#include "sensors/sensors.h"
#include "sensors/sensortag.h"

#include <QAmbientTemperatureSensor>
#include <QHumiditySensor>
#include <QPressureSensor>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using Quantity = SensorSettings::Quantity;

// The SensorTag's barometer service, just enough to be configured.
class TagBarometer : public GattService
{
public:
    QBluetoothUuid serviceUuid() const override { return uuid("AA40"); }
    QList<QBluetoothUuid> characteristicUuids() const override { return {uuid("AA41"), uuid("AA42"), uuid("AA44")}; }
    bool writeNotificationConfig(const QBluetoothUuid &, const QByteArray &) override { return true; }
    void writeCharacteristic(const QBluetoothUuid &, const QByteArray &) override {}
    static QBluetoothUuid uuid(const char *fragment)
    {
        return QBluetoothUuid(QStringLiteral("{F000%1-0451-4000-B000-000000000000}").arg(QLatin1String(fragment)));
    }
};

// The barometer notification for a pressure in Pa (and 20.00 degrees).
QByteArray barometerBytes(int pascal)
{
    QByteArray bytes = QByteArray::fromHex("d00700");
    bytes.append(char(pascal & 0xff)).append(char((pascal >> 8) & 0xff)).append(char((pascal >> 16) & 0xff));
    return bytes;
}

} // namespace

// The sensor hub against sensors the test drives: built-in sensors through a
// QtSensors backend of the test's own, and a SensorTag below its Bluetooth
// layer; the Sense HAT's part is tested in tst_sensehat. The hub's timer is
// stopped; the test ticks it.
class TestSensors : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void averageOfAWindowReplacesTheTypedValue();
    void typedValueComesBackExactly();
    void onlyMeasuredAndPossibleReadingsCount();
    void windowSizeChangedMidway();
    void humidityBecomesWaterVapour();
    void nothingToFollowChangesNothing();
    void readingsPassTheTypedRules();
    void lostSensorTagKeepsTheLastAverage();
    void latestReadingAndItsAge();

private:
    // A hub over the given built-in sensors, its timer stopped, averaging
    // `samples` readings per window.
    void startHub(std::initializer_list<const char *> builtIn, int samples);

    std::unique_ptr<SensorHubUnderTest> m_t;
};

void TestSensors::startHub(std::initializer_list<const char *> builtIn, int samples)
{
    for (const char *type : builtIn)
        m_t->registerBuiltIn(type);
    m_t->makeHub();
    m_t->hub()->stopSampling();
    m_t->hub()->setNumSamplesToAverage(samples);
}

void TestSensors::init()
{
    m_t = std::make_unique<SensorHubUnderTest>();
}

void TestSensors::cleanup()
{
    m_t.reset();
}

void TestSensors::averageOfAWindowReplacesTheTypedValue()
{
    startHub({QPressureSensor::type}, 5);
    QVERIFY(m_t->hub()->pressureSensorPresent());
    // No quantity follows the sensors: the window does not move.
    m_t->tick(7);
    QCOMPARE(m_t->hub()->sampleCounter(), 0);
    m_t->hub()->setPressureSensorEnabled(true);
    QVERIFY(m_t->hub()->pressureSensorEnabled());
    // The sensor runs only while its quantity follows it.
    QVERIFY(m_t->backend(QPressureSensor::type) && m_t->backend(QPressureSensor::type)->running);
    m_t->backend(QPressureSensor::type)->deliver(101325.0);

    QSignalSpy updated(m_t->hub(), &Sensors::totalPressureUpdated);
    // Five ticks take samples; the sixth publishes their mean.
    m_t->tick(5);
    QCOMPARE(m_t->path()->totalPressure, 0.8);
    QCOMPARE(updated.count(), 0);
    m_t->tick(1);
    QCOMPARE(m_t->path()->totalPressure, 101325.0 * 9.8692e-6);
    QCOMPARE(m_t->hub()->averagePressure(), 101325.0 * 9.8692e-6);
    QCOMPARE(updated.count(), 1);

    // The next average follows six ticks later: (3 x 100000 + 2 x 102000) / 5 Pa.
    m_t->backend(QPressureSensor::type)->deliver(100000.0);
    m_t->tick(3);
    m_t->backend(QPressureSensor::type)->deliver(102000.0);
    m_t->tick(2);
    QCOMPARE(updated.count(), 1);
    m_t->tick(1);
    QCOMPARE(updated.count(), 2);
    QCOMPARE(m_t->path()->totalPressure, 100800.0 * 9.8692e-6);
}

void TestSensors::typedValueComesBackExactly()
{
    startHub({QAmbientTemperatureSensor::type, QPressureSensor::type}, 2);
    m_t->path()->temperature = 287.123456789012;
    m_t->hub()->setTemperatureSensorEnabled(true);
    QCOMPARE(m_t->hub()->manualValue(Quantity::Temperature), 287.123456789012);
    for (int window = 0; window < 20; ++window) {
        m_t->backend(QAmbientTemperatureSensor::type)->deliver(10.0 + window);
        m_t->tick(3);
    }
    // 29 degrees Celsius, the last window's reading.
    QCOMPARE(m_t->path()->temperature, 29.0 + 273.15);
    QSignalSpy updated(m_t->hub(), &Sensors::temperatureUpdated);
    m_t->hub()->setTemperatureSensorEnabled(false);
    QCOMPARE(m_t->path()->temperature, 287.123456789012);
    QCOMPARE(updated.count(), 1);
    QVERIFY(!m_t->backend(QAmbientTemperatureSensor::type)->running);
    // Switched off, the readings no longer reach the path.
    m_t->backend(QAmbientTemperatureSensor::type)->deliver(40.0);
    m_t->tick(6);
    QCOMPARE(m_t->path()->temperature, 287.123456789012);
}

void TestSensors::onlyMeasuredAndPossibleReadingsCount()
{
    startHub({QPressureSensor::type, QHumiditySensor::type}, 3);
    m_t->hub()->setPressureSensorEnabled(true);
    QSignalSpy updated(m_t->hub(), &Sensors::totalPressureUpdated);
    // A barometer that has not measured yet is no 0 Pa.
    m_t->tick(8);
    QCOMPARE(m_t->path()->totalPressure, 0.8);
    QCOMPARE(updated.count(), 0);

    // Impossible readings are dropped; the window's mean is that of the rest.
    // Eight ticks are two whole windows of three samples and a publishing tick.
    QCOMPARE(m_t->hub()->sampleCounter(), 0);
    m_t->backend(QPressureSensor::type)->deliver(-5.0);
    m_t->tick(1);
    m_t->backend(QPressureSensor::type)->deliver(std::nan(""));
    m_t->tick(1);
    m_t->backend(QPressureSensor::type)->deliver(90000.0);
    m_t->tick(1);
    QCOMPARE(updated.count(), 0);
    m_t->tick(1);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_t->path()->totalPressure, 90000.0 * 9.8692e-6);

    // A hygrometer may read a little over 100 %; far beyond, it is wrong.
    m_t->path()->temperature = 293.15;
    m_t->hub()->setHumiditySensorEnabled(true);
    m_t->backend(QHumiditySensor::type)->deliver(135.0);
    m_t->tick(4);
    QCOMPARE(m_t->path()->concentrations[0], 7000.0);
}

void TestSensors::windowSizeChangedMidway()
{
    startHub({QPressureSensor::type}, 5);
    m_t->hub()->setPressureSensorEnabled(true);
    m_t->backend(QPressureSensor::type)->deliver(100000.0);
    m_t->tick(2);
    m_t->backend(QPressureSensor::type)->deliver(103000.0);
    m_t->tick(1);
    // Three samples taken; a window of two ends at the next tick, with the
    // mean of the three ((2 x 100000 + 103000) / 3 = 101000 Pa), not their sum
    // over two.
    m_t->hub()->setNumSamplesToAverage(2);
    QSignalSpy updated(m_t->hub(), &Sensors::totalPressureUpdated);
    m_t->tick(1);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_t->path()->totalPressure, 101000.0 * 9.8692e-6);
    QCOMPARE(m_t->hub()->sampleCounter(), 0);
}

void TestSensors::humidityBecomesWaterVapour()
{
    startHub({QHumiditySensor::type}, 1);
    // 20 degrees Celsius and 101325 Pa: saturation pressure 2.33834 kPa, so
    // RH 50 % is 0.5 x 2338.34 / 101325 x 1e6 = 11538.8 ppmv of H2O.
    m_t->path()->temperature = 293.15;
    m_t->path()->totalPressure = 101325.0 / 101325.33539;
    QSignalSpy updated(m_t->hub(), &Sensors::humidityUpdated);
    m_t->hub()->setHumiditySensorEnabled(true);
    QCOMPARE(m_t->hub()->manualValue(Quantity::Humidity), 7000.0);
    m_t->backend(QHumiditySensor::type)->deliver(50.0);
    m_t->tick(2);
    QVERIFY(std::abs(m_t->path()->concentrations[0] - 11538.8) < 0.1);
    QCOMPARE(updated.count(), 2);   // switched on, then the average
    // 103 % lies within the sensors' tolerance and counts as saturated air.
    m_t->backend(QHumiditySensor::type)->deliver(103.0);
    m_t->tick(2);
    QVERIFY(std::abs(m_t->path()->concentrations[0] - 2 * 11538.8) < 0.2);
    m_t->hub()->setHumiditySensorEnabled(false);
    QCOMPARE(m_t->path()->concentrations[0], 7000.0);
}

void TestSensors::nothingToFollowChangesNothing()
{
    // No hygrometer, no Sense HAT, no SensorTag.
    m_t->makeHub();
    m_t->hub()->stopSampling();
    QSignalSpy updated(m_t->hub(), &Sensors::humidityUpdated);
    m_t->hub()->setHumiditySensorEnabled(true);
    QVERIFY(!m_t->hub()->humiditySensorEnabled());
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_t->path()->concentrations[0], 7000.0);
    QCOMPARE(m_t->hub()->presenceText(Quantity::Humidity), QStringLiteral(" No humidity sensors\n (manual value used)"));
    QCOMPARE(m_t->hub()->presenceText(Quantity::Pressure), QStringLiteral(" No barometer detected\n (manual value used)"));
    QCOMPARE(m_t->hub()->presenceText(Quantity::Temperature), QStringLiteral(" No thermometer found\n (manual value used)"));
    // The SensorTag is preferred only while it is connected.
    m_t->hub()->setUseSensorTag(true);
    QVERIFY(!m_t->hub()->useSensorTag());
}

// Every value a sensor publishes passes the rule a typed value passes; a
// refused reading is dropped like an impossible one, the screen says why, and
// the path keeps its last value.
void TestSensors::readingsPassTheTypedRules()
{
    m_t->registerBuiltIn(QPressureSensor::type);
    m_t->registerBuiltIn(QHumiditySensor::type);
    m_t->registerBuiltIn(QAmbientTemperatureSensor::type);
    // Partition sums of 200 K to 400 K only, for H2O's first isotopologue.
    Isotopologue &h2o = m_t->params()->molecule(0).isotopologues[0];
    h2o.tipsLoaded = true;
    h2o.partitionSumsFirstTemperature = 200.0;
    h2o.partitionSums = PartitionSumTable(std::vector<double>(201, 100.0));
    startHub({}, 1);
    QSignalSpy presence(m_t->hub(), &Sensors::presenceChanged);

    // 150 degrees Celsius is 423.15 K, outside the tables.
    m_t->hub()->setTemperatureSensorEnabled(true);
    m_t->backend(QAmbientTemperatureSensor::type)->deliver(150.0);
    m_t->tick(2);
    QCOMPARE(m_t->path()->temperature, 250.0);
    QVERIFY2(m_t->hub()->presenceText(Quantity::Temperature)
                 .startsWith(QStringLiteral(" Reading refused: The temperature 423.15 K is outside the partition-sum "
                                            "tables.\nTemperatures from 200 K to 400 K can be calculated.")),
             qPrintable(m_t->hub()->presenceText(Quantity::Temperature)));
    QVERIFY(m_t->hub()->presenceText(Quantity::Temperature).endsWith(QStringLiteral("\n (last value kept)")));
    QVERIFY(presence.count() >= 1);
    // 25 degrees is taken, and the screen is clear again.
    m_t->backend(QAmbientTemperatureSensor::type)->deliver(25.0);
    m_t->tick(2);
    QCOMPARE(m_t->path()->temperature, 298.15);
    QCOMPARE(m_t->hub()->presenceText(Quantity::Temperature), QString());

    // 1 kPa of total pressure, 50 % at 25 degrees: the Buck saturation
    // pressure 0.61121 x exp((18.678 - 25 / 234.5) x 25 / 282.14) = 3.168531 kPa
    // makes 0.5 x 3168.531 / 1000 x 1e6 = 1 584 266 ppmv of H2O, more than
    // the whole mixture.
    m_t->hub()->setPressureSensorEnabled(true);
    m_t->backend(QPressureSensor::type)->deliver(1000.0);
    m_t->tick(2);
    QCOMPARE(m_t->path()->totalPressure, 1000.0 * 9.8692e-6);
    m_t->hub()->setHumiditySensorEnabled(true);
    m_t->backend(QHumiditySensor::type)->deliver(50.0);
    m_t->tick(2);
    QCOMPARE(m_t->path()->concentrations[0], 7000.0);
    QCOMPARE(m_t->hub()->refusal(Quantity::Humidity),
             QStringLiteral("A concentration cannot exceed 1000000 ppmv (100 %), the whole mixture."));
    QCOMPARE(m_t->hub()->presenceText(Quantity::Humidity),
             QStringLiteral(" Reading refused: A concentration cannot exceed 1000000 ppmv (100 %), the whole "
                            "mixture.\n (last value kept)"));
    // A barometer reading 1e-200 kPa gives a positive pressure, which typed
    // would be taken too; the humidity it turns into (1.58e206 ppmv) is
    // refused.
    m_t->backend(QPressureSensor::type)->deliver(1e-197);
    m_t->tick(2);
    QCOMPARE(m_t->path()->totalPressure, 1e-197 * 9.8692e-6);
    m_t->tick(2);
    QCOMPARE(m_t->path()->concentrations[0], 7000.0);
    QVERIFY(!m_t->hub()->refusal(Quantity::Humidity).isEmpty());
    // At 100 kPa the same air holds 0.5 x 3168.531 / 100000 x 1e6 =
    // 15 842.66 ppmv, which is taken.
    m_t->backend(QPressureSensor::type)->deliver(100000.0);
    m_t->tick(2);
    m_t->tick(2);
    QVERIFY(std::abs(m_t->path()->concentrations[0] - 15842.657) < 0.01);
    QCOMPARE(m_t->hub()->presenceText(Quantity::Humidity), QString());

    // Switched off, the typed value returns and the refusal is forgotten.
    m_t->backend(QHumiditySensor::type)->deliver(50.0);
    m_t->backend(QPressureSensor::type)->deliver(1000.0);
    m_t->tick(2);
    m_t->tick(2);
    QVERIFY(!m_t->hub()->refusal(Quantity::Humidity).isEmpty());
    m_t->hub()->setHumiditySensorEnabled(false);
    QCOMPARE(m_t->path()->concentrations[0], 7000.0);
    QVERIFY(m_t->hub()->refusal(Quantity::Humidity).isEmpty());
}

void TestSensors::lostSensorTagKeepsTheLastAverage()
{
    // Only the SensorTag measures pressure here.
    startHub({}, 2);
    SensorTag *tag = m_t->hub()->sensorTag();
    QSignalSpy useChanged(m_t->hub(), &Sensors::useSensorTagStateChanged);
    tag->servicesDiscovered();
    tag->configureService(std::make_unique<TagBarometer>());
    QCOMPARE(m_t->hub()->presenceText(Quantity::Pressure), Sensors::sensorTagNotEnabledText());
    m_t->hub()->setUseSensorTag(true);
    QVERIFY(m_t->hub()->useSensorTag());
    QCOMPARE(useChanged.count(), 1);
    QCOMPARE(m_t->hub()->presenceText(Quantity::Pressure), QString());
    m_t->hub()->setPressureSensorEnabled(true);
    tag->handleNotification(TagBarometer::uuid("AA41"), barometerBytes(100000));
    m_t->tick(3);
    QCOMPARE(m_t->path()->totalPressure, 100000.0 * 9.8692e-6);

    // The link drops: the path keeps the last average, not 0 atm, and the
    // screen says there is no barometer.
    tag->setSensorTagDisconnected();
    QSignalSpy updated(m_t->hub(), &Sensors::totalPressureUpdated);
    m_t->tick(9);
    QCOMPARE(m_t->path()->totalPressure, 100000.0 * 9.8692e-6);
    QCOMPARE(updated.count(), 0);
    QVERIFY(m_t->hub()->pressureSensorEnabled());
    QCOMPARE(m_t->hub()->presenceText(Quantity::Pressure), SensorSettings::noSensorText(Quantity::Pressure));

    // It comes back and delivers again: the path follows again.
    tag->servicesDiscovered();
    tag->configureService(std::make_unique<TagBarometer>());
    m_t->tick(3);
    QCOMPARE(updated.count(), 0);   // connected, but nothing measured yet
    tag->handleNotification(TagBarometer::uuid("AA41"), barometerBytes(95000));
    m_t->tick(3);
    QCOMPARE(m_t->path()->totalPressure, 95000.0 * 9.8692e-6);

    // Not using the tag any more: what only it supplied returns to the typed value.
    m_t->hub()->setUseSensorTag(false);
    QVERIFY(!m_t->hub()->pressureSensorEnabled());
    QCOMPARE(m_t->path()->totalPressure, 0.8);
}

void TestSensors::latestReadingAndItsAge()
{
    m_t->registerBuiltIn(QPressureSensor::type);
    m_t->makeHub();
    Sensors *hub = m_t->hub();
    hub->stopSampling();
    hub->setSamplingPeriod(200);
    qint64 now = 5000;
    hub->setClock([&now] { return now; });
    QSignalSpy readings(hub, &Sensors::readingsChanged);

    // Manual entry with the device's own barometer: it does not run, so there
    // is no reading to show and nothing to refresh.
    m_t->tick(2);
    QVERIFY(!hub->latestReading(Quantity::Pressure).watched);
    QCOMPARE(readings.count(), 0);

    // Followed, but nothing measured yet: no value, not yet silent.
    hub->setPressureSensorEnabled(true);
    m_t->tick(1);
    QCOMPARE(readings.count(), 1);
    Sensors::LatestReading latest = hub->latestReading(Quantity::Pressure);
    QVERIFY(latest.watched);
    QVERIFY(!latest.value);
    QVERIFY(!latest.missing);

    // A reading arrives before the tick at 5200 ms and is read 150 ms later.
    FakeSensorBackend *barometer = m_t->backend(QPressureSensor::type);
    barometer->deliver(101325.0);
    now = 5200;
    m_t->tick(1);
    now = 5350;
    latest = hub->latestReading(Quantity::Pressure);
    QVERIFY(latest.value);
    QCOMPARE(*latest.value, 101325.0 * 9.8692e-6);
    QCOMPARE(latest.sourceValue, 101325.0);
    QCOMPARE(latest.ageMs, qint64(150));
    QVERIFY(!latest.missing);

    // The sensor stops delivering; its last value stays in QtSensors but is
    // not a new reading. Two periods are 400 ms, below the second a source
    // may stay silent: at 6200 ms (1000 ms on) it is not missing yet, at
    // 6400 ms it is, and the age still counts from 5200 ms.
    for (now = 5400; now <= 6200; now += 200)
        m_t->tick(1);
    now = 6200;
    latest = hub->latestReading(Quantity::Pressure);
    QCOMPARE(latest.ageMs, qint64(1000));
    QVERIFY(!latest.missing);
    now = 6400;
    m_t->tick(1);
    latest = hub->latestReading(Quantity::Pressure);
    QCOMPARE(latest.ageMs, qint64(1200));
    QVERIFY(latest.missing);
    QCOMPARE(*latest.value, 101325.0 * 9.8692e-6);

    // It delivers again: a fresh reading. With a period of 800 ms the source
    // may stay silent for 1600 ms.
    barometer->deliver(99000.0);
    now = 6600;
    m_t->tick(1);
    latest = hub->latestReading(Quantity::Pressure);
    QCOMPARE(*latest.value, 99000.0 * 9.8692e-6);
    QCOMPARE(latest.ageMs, qint64(0));
    hub->setSamplingPeriod(800);
    now = 8200;
    QVERIFY(!hub->latestReading(Quantity::Pressure).missing);
    now = 8201;
    QVERIFY(hub->latestReading(Quantity::Pressure).missing);

    // Back to manual entry: the barometer stops and nothing is shown.
    hub->setPressureSensorEnabled(false);
    m_t->tick(1);
    QVERIFY(!hub->latestReading(Quantity::Pressure).watched);
}

QTEST_GUILESS_MAIN(TestSensors)
#include "tst_sensors.moc"
