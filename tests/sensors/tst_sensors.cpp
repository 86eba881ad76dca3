#include "core/params.h"
#include "core/pathconditions.h"
#include "fakeiiotree.h"
#include "sensors/gattservice.h"
#include "sensors/sensehat.h"
#include "sensors/sensors.h"
#include "sensors/sensorscellphone.h"
#include "sensors/sensortag.h"

#include <QAmbientTemperatureSensor>
#include <QHumiditySensor>
#include <QPressureSensor>
#include <QSensorBackend>
#include <QSensorManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using Quantity = SensorSettings::Quantity;

// A built-in sensor the test drives: QtSensors creates it for the hub's
// sensor, and the test hands it readings.
class FakeBackend : public QSensorBackend
{
public:
    FakeBackend(QSensor *sensor, const QByteArray &type)
        : QSensorBackend(sensor)
    {
        if (type == QPressureSensor::type)
            m_reading = setReading<QPressureReading>(nullptr);
        else if (type == QAmbientTemperatureSensor::type)
            m_reading = setReading<QAmbientTemperatureReading>(nullptr);
        else
            m_reading = setReading<QHumidityReading>(nullptr);
        addDataRate(1, 100);
    }
    void start() override { running = true; }
    void stop() override { running = false; }

    void deliver(double value)
    {
        if (auto *pressure = qobject_cast<QPressureReading *>(m_reading))
            pressure->setPressure(value);
        else if (auto *temperature = qobject_cast<QAmbientTemperatureReading *>(m_reading))
            temperature->setTemperature(value);
        else if (auto *humidity = qobject_cast<QHumidityReading *>(m_reading))
            humidity->setRelativeHumidity(value);
        m_reading->setTimestamp(++m_time);
        newReadingAvailable();
    }

    bool running = false;

private:
    QSensorReading *m_reading = nullptr;
    quint64 m_time = 0;
};

class FakeFactory : public QSensorBackendFactory
{
public:
    QSensorBackend *createBackend(QSensor *sensor) override
    {
        auto *backend = new FakeBackend(sensor, sensor->type());
        created[sensor->type()] = backend;
        return backend;
    }
    QHash<QByteArray, QPointer<QObject>> created;
};

const QByteArray backendName("kolvex.test");

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
// QtSensors backend of the test's own, a Sense HAT in a fake Industrial I/O
// tree, and a SensorTag below its Bluetooth layer. The hub's timer is stopped;
// the test ticks it.
class TestSensors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void averageOfAWindowReplacesTheTypedValue();
    void typedValueComesBackExactly();
    void onlyMeasuredAndPossibleReadingsCount();
    void windowSizeChangedMidway();
    void humidityBecomesWaterVapour();
    void nothingToFollowChangesNothing();
    void senseHatChannels();
    void senseHatComesFirst();
    void hangingSenseHatCountsAsAbsent();
    void hangingSenseHatWhileOff();
    void readingsPassTheTypedRules();
    void lostSensorTagKeepsTheLastAverage();

private:
    void registerBuiltIn(const QByteArray &type);
    FakeBackend *backend(const QByteArray &type) const;
    void tick(int times);

    QTemporaryDir m_emptyIio;
    FakeFactory m_factory;
    QList<QByteArray> m_registered;
    std::unique_ptr<Params> m_params;
    PathConditions *m_path = nullptr;
    std::unique_ptr<Sensors> m_hub;
};

void TestSensors::initTestCase()
{
    // Only the test's sensors: none of the platform's plugins, no Sense HAT.
    qputenv("QT_SENSORS_LOAD_PLUGINS", "0");
    qputenv("KOLVEX_IIO_ROOT", m_emptyIio.path().toUtf8());
}

void TestSensors::init()
{
    m_params = std::make_unique<Params>();
    m_path = &m_params->pathConditions();
    *m_path = PathConditions();
    m_path->totalPressure = 0.8;
    m_path->temperature = 250.0;
    m_path->concentrations.assign(49, 0.0);
    m_path->concentrations[0] = 7000.0;
}

void TestSensors::cleanup()
{
    m_hub.reset();
    for (const QByteArray &type : qAsConst(m_registered))
        QSensorManager::unregisterBackend(type, backendName);
    m_registered.clear();
}

void TestSensors::registerBuiltIn(const QByteArray &type)
{
    QSensorManager::registerBackend(type, backendName, &m_factory);
    m_registered.append(type);
}

FakeBackend *TestSensors::backend(const QByteArray &type) const
{
    return static_cast<FakeBackend *>(m_factory.created.value(type).data());
}

void TestSensors::tick(int times)
{
    for (int i = 0; i < times; ++i)
        m_hub->getUpdatedReadings();
}

void TestSensors::averageOfAWindowReplacesTheTypedValue()
{
    registerBuiltIn(QPressureSensor::type);
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(5);
    QVERIFY(m_hub->pressureSensorPresent());
    // No quantity follows the sensors: the window does not move.
    tick(7);
    QCOMPARE(m_hub->sampleCounter(), 0);
    m_hub->setPressureSensorEnabled(true);
    QVERIFY(m_hub->pressureSensorEnabled());
    // The sensor runs only while its quantity follows it.
    QVERIFY(backend(QPressureSensor::type) && backend(QPressureSensor::type)->running);
    backend(QPressureSensor::type)->deliver(101325.0);

    QSignalSpy updated(m_hub.get(), &Sensors::totalPressureUpdated);
    // Five ticks take samples; the sixth publishes their mean.
    tick(5);
    QCOMPARE(m_path->totalPressure, 0.8);
    QCOMPARE(updated.count(), 0);
    tick(1);
    QCOMPARE(m_path->totalPressure, 101325.0 * 9.8692e-6);
    QCOMPARE(m_hub->averagePressure(), 101325.0 * 9.8692e-6);
    QCOMPARE(updated.count(), 1);

    // The next average follows six ticks later: (3 x 100000 + 2 x 102000) / 5 Pa.
    backend(QPressureSensor::type)->deliver(100000.0);
    tick(3);
    backend(QPressureSensor::type)->deliver(102000.0);
    tick(2);
    QCOMPARE(updated.count(), 1);
    tick(1);
    QCOMPARE(updated.count(), 2);
    QCOMPARE(m_path->totalPressure, 100800.0 * 9.8692e-6);
}

void TestSensors::typedValueComesBackExactly()
{
    registerBuiltIn(QAmbientTemperatureSensor::type);
    registerBuiltIn(QPressureSensor::type);
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(2);
    m_path->temperature = 287.123456789012;
    m_hub->setTemperatureSensorEnabled(true);
    QCOMPARE(m_hub->manualValue(Quantity::Temperature), 287.123456789012);
    for (int window = 0; window < 20; ++window) {
        backend(QAmbientTemperatureSensor::type)->deliver(10.0 + window);
        tick(3);
    }
    // 29 degrees Celsius, the last window's reading.
    QCOMPARE(m_path->temperature, 29.0 + 273.15);
    QSignalSpy updated(m_hub.get(), &Sensors::temperatureUpdated);
    m_hub->setTemperatureSensorEnabled(false);
    QCOMPARE(m_path->temperature, 287.123456789012);
    QCOMPARE(updated.count(), 1);
    QVERIFY(!backend(QAmbientTemperatureSensor::type)->running);
    // Switched off, the readings no longer reach the path.
    backend(QAmbientTemperatureSensor::type)->deliver(40.0);
    tick(6);
    QCOMPARE(m_path->temperature, 287.123456789012);
}

void TestSensors::onlyMeasuredAndPossibleReadingsCount()
{
    registerBuiltIn(QPressureSensor::type);
    registerBuiltIn(QHumiditySensor::type);
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(3);
    m_hub->setPressureSensorEnabled(true);
    QSignalSpy updated(m_hub.get(), &Sensors::totalPressureUpdated);
    // A barometer that has not measured yet is no 0 Pa.
    tick(8);
    QCOMPARE(m_path->totalPressure, 0.8);
    QCOMPARE(updated.count(), 0);

    // Impossible readings are dropped; the window's mean is that of the rest.
    // Eight ticks are two whole windows of three samples and a publishing tick.
    QCOMPARE(m_hub->sampleCounter(), 0);
    backend(QPressureSensor::type)->deliver(-5.0);
    tick(1);
    backend(QPressureSensor::type)->deliver(std::nan(""));
    tick(1);
    backend(QPressureSensor::type)->deliver(90000.0);
    tick(1);
    QCOMPARE(updated.count(), 0);
    tick(1);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_path->totalPressure, 90000.0 * 9.8692e-6);

    // A hygrometer may read a little over 100 %; far beyond, it is wrong.
    m_path->temperature = 293.15;
    m_hub->setHumiditySensorEnabled(true);
    backend(QHumiditySensor::type)->deliver(135.0);
    tick(4);
    QCOMPARE(m_path->concentrations[0], 7000.0);
}

void TestSensors::windowSizeChangedMidway()
{
    registerBuiltIn(QPressureSensor::type);
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(5);
    m_hub->setPressureSensorEnabled(true);
    backend(QPressureSensor::type)->deliver(100000.0);
    tick(2);
    backend(QPressureSensor::type)->deliver(103000.0);
    tick(1);
    // Three samples taken; a window of two ends at the next tick, with the
    // mean of the three ((2 x 100000 + 103000) / 3 = 101000 Pa), not their sum
    // over two.
    m_hub->setNumSamplesToAverage(2);
    QSignalSpy updated(m_hub.get(), &Sensors::totalPressureUpdated);
    tick(1);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_path->totalPressure, 101000.0 * 9.8692e-6);
    QCOMPARE(m_hub->sampleCounter(), 0);
}

void TestSensors::humidityBecomesWaterVapour()
{
    registerBuiltIn(QHumiditySensor::type);
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(1);
    // 20 degrees Celsius and 101325 Pa: saturation pressure 2.33834 kPa, so
    // RH 50 % is 0.5 x 2338.34 / 101325 x 1e6 = 11538.8 ppmv of H2O.
    m_path->temperature = 293.15;
    m_path->totalPressure = 101325.0 / 101325.33539;
    QSignalSpy updated(m_hub.get(), &Sensors::humidityUpdated);
    m_hub->setHumiditySensorEnabled(true);
    QCOMPARE(m_hub->manualValue(Quantity::Humidity), 7000.0);
    backend(QHumiditySensor::type)->deliver(50.0);
    tick(2);
    QVERIFY(std::abs(m_path->concentrations[0] - 11538.8) < 0.1);
    QCOMPARE(updated.count(), 2);   // switched on, then the average
    // 103 % lies within the sensors' tolerance and counts as saturated air.
    backend(QHumiditySensor::type)->deliver(103.0);
    tick(2);
    QVERIFY(std::abs(m_path->concentrations[0] - 2 * 11538.8) < 0.2);
    m_hub->setHumiditySensorEnabled(false);
    QCOMPARE(m_path->concentrations[0], 7000.0);
}

void TestSensors::nothingToFollowChangesNothing()
{
    // No hygrometer, no Sense HAT, no SensorTag.
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    QSignalSpy updated(m_hub.get(), &Sensors::humidityUpdated);
    m_hub->setHumiditySensorEnabled(true);
    QVERIFY(!m_hub->humiditySensorEnabled());
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_path->concentrations[0], 7000.0);
    QCOMPARE(m_hub->presenceText(Quantity::Humidity), QStringLiteral(" No humidity sensors\n (manual value used)"));
    QCOMPARE(m_hub->presenceText(Quantity::Pressure), QStringLiteral(" No barometer detected\n (manual value used)"));
    QCOMPARE(m_hub->presenceText(Quantity::Temperature), QStringLiteral(" No thermometer found\n (manual value used)"));
    // The SensorTag is preferred only while it is connected.
    m_hub->setUseSensorTag(true);
    QVERIFY(!m_hub->useSensorTag());
}

void TestSensors::senseHatChannels()
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

    SenseHat none(nullptr, m_emptyIio.path());
    QVERIFY(!none.available());
    QVERIFY(!none.pressure());
    QVERIFY(!none.answers(Quantity::Pressure));
}

void TestSensors::senseHatComesFirst()
{
    registerBuiltIn(QPressureSensor::type);
    FakeIioTree tree;
    tree.addPressureChip(0, 4150272, 1200);
    qputenv("KOLVEX_IIO_ROOT", tree.path().toUtf8());
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    qputenv("KOLVEX_IIO_ROOT", m_emptyIio.path().toUtf8());
    m_hub->stopSampling();
    m_hub->senseHat()->startReading();
    m_hub->setNumSamplesToAverage(1);
    m_hub->setPressureSensorEnabled(true);
    backend(QPressureSensor::type)->deliver(50000.0);
    QTRY_VERIFY(m_hub->senseHat()->pressure());
    tick(2);
    // 1013.247406 hPa from the board, in Pa, in atm; the built-in 50000 Pa is not used.
    QCOMPARE(m_path->totalPressure, 4150272 * 0.000024414 * 10.0 * 100.0 * 9.8692e-6);
    QCOMPARE(m_hub->presenceText(Quantity::Pressure), QString());
    // The board has no hygrometer and the device none either.
    QCOMPARE(m_hub->presenceText(Quantity::Humidity), QStringLiteral(" No humidity sensors\n (manual value used)"));
}

// A board's sensor whose driver hangs (a FIFO that nothing writes stands in
// for it) never freezes the program: the readings are taken off the main
// thread, the sensor counts as absent once a read has not answered within
// the sampling period, the screen says so, and the path keeps its last
// average. When the driver answers again, the readings are taken again.
void TestSensors::hangingSenseHatCountsAsAbsent()
{
    FakeIioTree tree;
    tree.addPressureChip(0, 4150272, 1200);
    qputenv("KOLVEX_IIO_ROOT", tree.path().toUtf8());
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    qputenv("KOLVEX_IIO_ROOT", m_emptyIio.path().toUtf8());
    m_hub->stopSampling();
    m_hub->setSamplingPeriod(200);
    m_hub->senseHat()->startReading();
    m_hub->setNumSamplesToAverage(1);
    QTRY_VERIFY(m_hub->senseHat()->pressure());
    m_hub->setPressureSensorEnabled(true);
    QVERIFY(m_hub->pressureSensorEnabled());
    tick(2);
    // 4150272 x 0.000024414 kPa = 101324.7406 Pa.
    const double lastAverage = 101324.740608 * 9.8692e-6;
    QVERIFY(std::abs(m_path->totalPressure - lastAverage) < 1e-12);

    QSignalSpy presence(m_hub.get(), &Sensors::presenceChanged);
    const QString raw = tree.filePath(0, QStringLiteral("in_pressure_raw"));
    QVERIFY(tree.makeFifo(0, QStringLiteral("in_pressure_raw")));
    QTRY_COMPARE(m_hub->presenceText(Quantity::Pressure),
                 QStringLiteral(" The Sense HAT's barometer does not answer\n (last value kept)"));
    QVERIFY(presence.count() >= 1);
    QVERIFY(!m_hub->pressureSensorPresent());
    QVERIFY(!m_hub->senseHat()->pressure());
    // The hub goes on ticking: nothing waits for the driver.
    QSignalSpy updated(m_hub.get(), &Sensors::totalPressureUpdated);
    tick(6);
    QCOMPARE(updated.count(), 0);
    QVERIFY(std::abs(m_path->totalPressure - lastAverage) < 1e-12);
    // The board's temperature, on its own channel, still answers.
    QVERIFY(m_hub->temperatureSensorPresent());
    QCOMPARE(m_hub->presenceText(Quantity::Temperature), QString());

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
    QTRY_COMPARE(m_hub->presenceText(Quantity::Pressure), QString());
    QVERIFY(m_hub->pressureSensorPresent());
    QTRY_VERIFY(m_hub->senseHat()->pressure());
    tick(2);
    QVERIFY(std::abs(m_path->totalPressure - 4096000 * 0.000024414 * 1000.0 * 9.8692e-6) < 1e-12);
}

void TestSensors::hangingSenseHatWhileOff()
{
    // Not switched to the sensor, a hanging barometer leaves the typed value
    // in use, and the screen says so.
    FakeIioTree tree;
    tree.addPressureChip(0, 4150272, 1200);
    QVERIFY(tree.makeFifo(0, QStringLiteral("in_pressure_raw")));
    qputenv("KOLVEX_IIO_ROOT", tree.path().toUtf8());
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    qputenv("KOLVEX_IIO_ROOT", m_emptyIio.path().toUtf8());
    m_hub->setSamplingPeriod(200);
    QTRY_COMPARE(m_hub->presenceText(Quantity::Pressure),
                 QStringLiteral(" The Sense HAT's barometer does not answer\n (manual value used)"));
    m_hub->setPressureSensorEnabled(true);
    QVERIFY(!m_hub->pressureSensorEnabled());
    QCOMPARE(m_path->totalPressure, 0.8);
    // No more reads, and the one under way is let go before the tree goes.
    m_hub->stopSampling();
    QFile fifo(tree.filePath(0, QStringLiteral("in_pressure_raw")));
    QVERIFY(fifo.open(QIODevice::WriteOnly));
}

// Every value a sensor publishes passes the rule a typed value passes; a
// refused reading is dropped like an impossible one, the screen says why, and
// the path keeps its last value.
void TestSensors::readingsPassTheTypedRules()
{
    registerBuiltIn(QPressureSensor::type);
    registerBuiltIn(QHumiditySensor::type);
    registerBuiltIn(QAmbientTemperatureSensor::type);
    // Partition sums of 200 K to 400 K only, for H2O's first isotopologue.
    Isotopologue &h2o = m_params->molecule(0).isotopologues[0];
    h2o.tipsLoaded = true;
    h2o.partitionSumsFirstTemperature = 200.0;
    h2o.partitionSums = PartitionSumTable(std::vector<double>(201, 100.0));
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(1);
    QSignalSpy presence(m_hub.get(), &Sensors::presenceChanged);

    // 150 degrees Celsius is 423.15 K, outside the tables.
    m_hub->setTemperatureSensorEnabled(true);
    backend(QAmbientTemperatureSensor::type)->deliver(150.0);
    tick(2);
    QCOMPARE(m_path->temperature, 250.0);
    QVERIFY2(m_hub->presenceText(Quantity::Temperature)
                 .startsWith(QStringLiteral(" Reading refused: The temperature 423.15 K is outside the partition-sum "
                                            "tables.\nTemperatures from 200 K to 400 K can be calculated.")),
             qPrintable(m_hub->presenceText(Quantity::Temperature)));
    QVERIFY(m_hub->presenceText(Quantity::Temperature).endsWith(QStringLiteral("\n (last value kept)")));
    QVERIFY(presence.count() >= 1);
    // 25 degrees is taken, and the screen is clear again.
    backend(QAmbientTemperatureSensor::type)->deliver(25.0);
    tick(2);
    QCOMPARE(m_path->temperature, 298.15);
    QCOMPARE(m_hub->presenceText(Quantity::Temperature), QString());

    // 1 kPa of total pressure, 50 % at 25 degrees: the Buck saturation
    // pressure 0.61121 x exp((18.678 - 25 / 234.5) x 25 / 282.14) = 3.168531 kPa
    // makes 0.5 x 3168.531 / 1000 x 1e6 = 1 584 266 ppmv of H2O, more than
    // the whole mixture.
    m_hub->setPressureSensorEnabled(true);
    backend(QPressureSensor::type)->deliver(1000.0);
    tick(2);
    QCOMPARE(m_path->totalPressure, 1000.0 * 9.8692e-6);
    m_hub->setHumiditySensorEnabled(true);
    backend(QHumiditySensor::type)->deliver(50.0);
    tick(2);
    QCOMPARE(m_path->concentrations[0], 7000.0);
    QCOMPARE(m_hub->refusal(Quantity::Humidity),
             QStringLiteral("A concentration cannot exceed 1000000 ppmv (100 %), the whole mixture."));
    QCOMPARE(m_hub->presenceText(Quantity::Humidity),
             QStringLiteral(" Reading refused: A concentration cannot exceed 1000000 ppmv (100 %), the whole "
                            "mixture.\n (last value kept)"));
    // A barometer reading 1e-200 kPa gives a positive pressure, which typed
    // would be taken too; the humidity it turns into (1.58e206 ppmv) is
    // refused.
    backend(QPressureSensor::type)->deliver(1e-197);
    tick(2);
    QCOMPARE(m_path->totalPressure, 1e-197 * 9.8692e-6);
    tick(2);
    QCOMPARE(m_path->concentrations[0], 7000.0);
    QVERIFY(!m_hub->refusal(Quantity::Humidity).isEmpty());
    // At 100 kPa the same air holds 0.5 x 3168.531 / 100000 x 1e6 =
    // 15 842.66 ppmv, which is taken.
    backend(QPressureSensor::type)->deliver(100000.0);
    tick(2);
    tick(2);
    QVERIFY(std::abs(m_path->concentrations[0] - 15842.657) < 0.01);
    QCOMPARE(m_hub->presenceText(Quantity::Humidity), QString());

    // Switched off, the typed value returns and the refusal is forgotten.
    backend(QHumiditySensor::type)->deliver(50.0);
    backend(QPressureSensor::type)->deliver(1000.0);
    tick(2);
    tick(2);
    QVERIFY(!m_hub->refusal(Quantity::Humidity).isEmpty());
    m_hub->setHumiditySensorEnabled(false);
    QCOMPARE(m_path->concentrations[0], 7000.0);
    QVERIFY(m_hub->refusal(Quantity::Humidity).isEmpty());
}

void TestSensors::lostSensorTagKeepsTheLastAverage()
{
    // Only the SensorTag measures pressure here.
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    m_hub->stopSampling();
    m_hub->setNumSamplesToAverage(2);
    SensorTag *tag = m_hub->sensorTag();
    QSignalSpy useChanged(m_hub.get(), &Sensors::useSensorTagStateChanged);
    tag->servicesDiscovered();
    tag->configureService(std::make_unique<TagBarometer>());
    QCOMPARE(m_hub->presenceText(Quantity::Pressure), Sensors::sensorTagNotEnabledText());
    m_hub->setUseSensorTag(true);
    QVERIFY(m_hub->useSensorTag());
    QCOMPARE(useChanged.count(), 1);
    QCOMPARE(m_hub->presenceText(Quantity::Pressure), QString());
    m_hub->setPressureSensorEnabled(true);
    tag->handleNotification(TagBarometer::uuid("AA41"), barometerBytes(100000));
    tick(3);
    QCOMPARE(m_path->totalPressure, 100000.0 * 9.8692e-6);

    // The link drops: the path keeps the last average, not 0 atm, and the
    // screen says there is no barometer.
    tag->setSensorTagDisconnected();
    QSignalSpy updated(m_hub.get(), &Sensors::totalPressureUpdated);
    tick(9);
    QCOMPARE(m_path->totalPressure, 100000.0 * 9.8692e-6);
    QCOMPARE(updated.count(), 0);
    QVERIFY(m_hub->pressureSensorEnabled());
    QCOMPARE(m_hub->presenceText(Quantity::Pressure), SensorSettings::noSensorText(Quantity::Pressure));

    // It comes back and delivers again: the path follows again.
    tag->servicesDiscovered();
    tag->configureService(std::make_unique<TagBarometer>());
    tick(3);
    QCOMPARE(updated.count(), 0);   // connected, but nothing measured yet
    tag->handleNotification(TagBarometer::uuid("AA41"), barometerBytes(95000));
    tick(3);
    QCOMPARE(m_path->totalPressure, 95000.0 * 9.8692e-6);

    // Not using the tag any more: what only it supplied returns to the typed value.
    m_hub->setUseSensorTag(false);
    QVERIFY(!m_hub->pressureSensorEnabled());
    QCOMPARE(m_path->totalPressure, 0.8);
}

QTEST_GUILESS_MAIN(TestSensors)
#include "tst_sensors.moc"
