#include "sensors/gattservice.h"
#include "sensors/sensortag.h"

#include <QtTest>

#include <memory>

namespace {

// The SensorTag's full UUIDs: F000AAxx-0451-4000-B000-000000000000.
QBluetoothUuid tagUuid(const char *fragment)
{
    return QBluetoothUuid(QStringLiteral("{F000%1-0451-4000-B000-000000000000}").arg(QLatin1String(fragment)));
}

// One GATT service of a SensorTag that records what is written to it.
class FakeGattService : public GattService
{
public:
    struct Write
    {
        QBluetoothUuid characteristic;
        QByteArray value;
        bool notificationConfig;
    };

    FakeGattService(const char *service, std::initializer_list<const char *> characteristics)
        : uuid(tagUuid(service))
    {
        for (const char *fragment : characteristics)
            uuids.append(tagUuid(fragment));
    }

    QBluetoothUuid serviceUuid() const override { return uuid; }
    QList<QBluetoothUuid> characteristicUuids() const override { return uuids; }
    bool writeNotificationConfig(const QBluetoothUuid &characteristic, const QByteArray &value) override
    {
        if (!hasNotificationDescriptor)
            return false;
        writes->push_back({characteristic, value, true});
        return true;
    }
    void writeCharacteristic(const QBluetoothUuid &characteristic, const QByteArray &value) override
    {
        writes->push_back({characteristic, value, false});
    }

    QBluetoothUuid uuid;
    QList<QBluetoothUuid> uuids;
    bool hasNotificationDescriptor = true;
    // Outlives the service, which the tag owns and drops at a disconnection.
    std::shared_ptr<std::vector<Write>> writes = std::make_shared<std::vector<Write>>();
};

std::unique_ptr<FakeGattService> humidityService()
{
    return std::make_unique<FakeGattService>("AA20", std::initializer_list<const char *>{"AA21", "AA22", "AA23"});
}

std::unique_ptr<FakeGattService> barometerService()
{
    return std::make_unique<FakeGattService>("AA40", std::initializer_list<const char *>{"AA41", "AA42", "AA44"});
}

} // namespace

// The SensorTag below the Qt low-energy layer: the decoding of its two
// notifications, what it writes to configure a service and the period byte,
// against services that record the writes.
class TestSensorTag : public QObject
{
    Q_OBJECT

private slots:
    void decodeHumidity_data();
    void decodeHumidity();
    void decodeBarometer_data();
    void decodeBarometer();
    void configuringTurnsSensorsAndNotificationsOn();
    void periodIsWrittenToBothSensors();
    void notificationsSetTheReadings();
    void temperatureModes();
};

void TestSensorTag::decodeHumidity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("humidity");
    // rawT = b1 * 256 + b0, t = rawT / 65536 * 165 - 40; rawH = b3 * 256 + b2, RH = rawH / 65536 * 100.
    QTest::newRow("00 00 00 80") << QByteArray::fromHex("00000080") << -40.0 << 50.0;
    QTest::newRow("FF FF FF FF") << QByteArray::fromHex("ffffffff") << 165.0 * 65535 / 65536 - 40.0
                                 << 100.0 * 65535 / 65536;
    // 0x6666 = 26214: 26214 / 65536 * 165 - 40 = 25.999; 0x4000 = 16384: 25 %.
    QTest::newRow("little-endian words") << QByteArray::fromHex("66660040") << 26214.0 / 65536 * 165 - 40 << 25.0;
    QTest::newRow("extra bytes ignored") << QByteArray::fromHex("0000008012") << -40.0 << 50.0;
}

void TestSensorTag::decodeHumidity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(double, temperature);
    QFETCH(double, humidity);
    const std::optional<SensorTag::HumidityData> data = SensorTag::decodeHumidity(bytes);
    QVERIFY(data);
    QCOMPARE(data->temperature, temperature);
    QCOMPARE(data->humidity, humidity);
}

void TestSensorTag::decodeBarometer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("pressure");
    // rawT = 0x002710 = 10000 -> 100.00 degrees; rawP = 0x0186A0 = 100000 Pa.
    QTest::newRow("10 27 00 A0 86 01") << QByteArray::fromHex("102700a08601") << 100.0 << 100000.0;
    // rawT = 0x000912 = 2322 -> 23.22 in single precision; rawP = 0x018BCD = 101325.
    QTest::newRow("23.22 degrees, 101325 Pa") << QByteArray::fromHex("120900cd8b01") << double(2322.0f / 100.0f)
                                              << 101325.0;
    // Every byte unsigned: FF FF FF is 16777215.
    QTest::newRow("all bits set") << QByteArray::fromHex("ffffffffffff") << double(16777215.0f / 100.0f)
                                  << 16777215.0;
}

void TestSensorTag::decodeBarometer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(double, temperature);
    QFETCH(double, pressure);
    const std::optional<SensorTag::BarometerData> data = SensorTag::decodeBarometer(bytes);
    QVERIFY(data);
    QCOMPARE(data->temperature, temperature);
    QCOMPARE(data->pressure, pressure);
}

void TestSensorTag::configuringTurnsSensorsAndNotificationsOn()
{
    SensorTag tag;
    auto humidity = humidityService();
    const auto humidityWrites = humidity->writes;
    tag.configureService(std::move(humidity));
    // Notifications of the data characteristic on (01 00 to its configuration
    // descriptor), then the sensor on (01 to its configuration characteristic).
    QCOMPARE(int(humidityWrites->size()), 2);
    QCOMPARE(humidityWrites->at(0).characteristic, tagUuid("AA21"));
    QVERIFY(humidityWrites->at(0).notificationConfig);
    QCOMPARE(humidityWrites->at(0).value, QByteArray::fromHex("0100"));
    QCOMPARE(humidityWrites->at(1).characteristic, tagUuid("AA22"));
    QVERIFY(!humidityWrites->at(1).notificationConfig);
    QCOMPARE(humidityWrites->at(1).value, QByteArray::fromHex("01"));

    // The characteristics come in any order; without a configuration
    // descriptor on the data characteristic only the sensor is switched on.
    auto barometer = std::make_unique<FakeGattService>("AA40", std::initializer_list<const char *>{"AA44", "AA42", "AA41"});
    barometer->hasNotificationDescriptor = false;
    const auto barometerWrites = barometer->writes;
    tag.configureService(std::move(barometer));
    QCOMPARE(int(barometerWrites->size()), 1);
    QCOMPARE(barometerWrites->at(0).characteristic, tagUuid("AA42"));
    QCOMPARE(barometerWrites->at(0).value, QByteArray::fromHex("01"));

    // Another service of the tag is left alone.
    auto other = std::make_unique<FakeGattService>("AA80", std::initializer_list<const char *>{"AA81", "AA82"});
    const auto otherWrites = other->writes;
    tag.configureService(std::move(other));
    QVERIFY(otherWrites->empty());
}

void TestSensorTag::periodIsWrittenToBothSensors()
{
    // That a period reaches both sensors, set before the connection and after,
    // is seen on the link in tst_sensortaglink; here its byte and its end.
    SensorTag tag;
    tag.servicesDiscovered();
    auto humidity = humidityService();
    auto barometer = barometerService();
    const auto humidityWrites = humidity->writes;
    const auto barometerWrites = barometer->writes;
    tag.configureService(std::move(humidity));
    tag.configureService(std::move(barometer));
    // The byte is the whole number of 10 ms within 10..255.
    tag.setPeriod(3000);
    QCOMPARE(barometerWrites->back().value, QByteArray(1, char(255)));
    tag.setPeriod(50);
    QCOMPARE(humidityWrites->back().value, QByteArray(1, char(10)));
    tag.setPeriod(209);
    QCOMPARE(humidityWrites->back().value, QByteArray(1, char(20)));

    // After the link is gone nothing is written.
    humidityWrites->clear();
    tag.setSensorTagDisconnected();
    QVERIFY(!tag.connected());
    tag.setPeriod(1000);
    QVERIFY(humidityWrites->empty());
}

void TestSensorTag::notificationsSetTheReadings()
{
    SensorTag tag;
    tag.servicesDiscovered();
    tag.configureService(humidityService());
    tag.configureService(barometerService());
    // Nothing measured yet: no reading, whatever the members hold.
    QVERIFY(!tag.humidityReading());
    QVERIFY(!tag.pressureReading());
    QVERIFY(!tag.temperatureReading());

    // Too short notifications are ignored, not read past their end.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("humidity notification of 3 bytes"));
    tag.handleNotification(tagUuid("AA21"), QByteArray::fromHex("000000"));
    tag.handleNotification(tagUuid("AA21"), QByteArray::fromHex("00"));   // reported once only
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("barometer notification of 5 bytes"));
    tag.handleNotification(tagUuid("AA41"), QByteArray::fromHex("102700a086"));
    QVERIFY(!tag.humidityReading());
    QVERIFY(!tag.pressureReading());

    // The configuration characteristic's own notifications are no data.
    tag.handleNotification(tagUuid("AA22"), QByteArray::fromHex("00000080"));
    QVERIFY(!tag.humidityReading());

    tag.handleNotification(tagUuid("AA21"), QByteArray::fromHex("00000080"));
    tag.handleNotification(tagUuid("AA41"), QByteArray::fromHex("102700a08601"));
    QCOMPARE(*tag.humidityReading(), 50.0);
    QCOMPARE(*tag.pressureReading(), 100000.0);
    QCOMPARE(tag.humidity(), 50.0);
    QCOMPARE(tag.pressure(), 100000.0);

    // A lost link: the values stay, but they are no longer readings.
    tag.setSensorTagDisconnected();
    QCOMPARE(tag.pressure(), 100000.0);
    QVERIFY(!tag.pressureReading());
    QVERIFY(!tag.humidityReading());
    QVERIFY(!tag.temperatureReading());
}

void TestSensorTag::temperatureModes()
{
    SensorTag tag;
    QCOMPARE(tag.temperatureMode(), int(SensorTag::MeanTemperature));
    tag.servicesDiscovered();
    tag.configureService(humidityService());
    tag.configureService(barometerService());
    // 42.5 degrees from the humidity sensor: rawT = 0x8000, 32768 / 65536 * 165 - 40.
    tag.handleNotification(tagUuid("AA21"), QByteArray::fromHex("00800000"));
    // Only one sensor has spoken: the mean is not made up with a 0 meanwhile.
    QCOMPARE(*tag.temperatureReading(), 42.5);
    // 1.5 degrees from the barometer: rawT = 150 = 0x000096.
    tag.handleNotification(tagUuid("AA41"), QByteArray::fromHex("960000a08601"));
    QCOMPARE(*tag.temperatureReading(), 22.0);
    QCOMPARE(tag.temperature(), 22.0);
    tag.setTemperatureMode(SensorTag::HumiditySensorTemperature);
    QCOMPARE(*tag.temperatureReading(), 42.5);
    QCOMPARE(tag.temperature(), 42.5);
    tag.setTemperatureMode(SensorTag::BarometerTemperature);
    QCOMPARE(*tag.temperatureReading(), 1.5);
    // Any other mode is the mean.
    tag.setTemperatureMode(7);
    QCOMPARE(tag.temperature(), 22.0);
}

QTEST_GUILESS_MAIN(TestSensorTag)
#include "tst_sensortag.moc"
