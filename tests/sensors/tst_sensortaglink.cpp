#include "bluetooth/bluetoothdiscoverdevices.h"
#include "bluezstandin.h"
#include "core/params.h"
#include "core/pathconditions.h"
#include "sensors/bluetoothlowenergy.h"
#include "sensors/sensors.h"
#include "sensors/sensortag.h"
#include "sensortagstandin.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// A SensorTag end to end through QtBluetooth's BlueZ D-Bus low-energy
// backend, against the BlueZ stand-in: the tag is found by a low-energy
// search, connected, its services found, its sensors and notifications
// switched on and its period written; its notifications reach the path
// through the sensor hub; a disconnection ends the link.
class TestSensorTagLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void connectConfigureAndFollow();

private:
    BluezStandIn m_bluez;
    std::unique_ptr<SensorTagStandIn> m_tag;
    Params m_params;
    PathConditions &m_path = m_params.pathConditions();
    std::unique_ptr<Sensors> m_hub;
};

void TestSensorTagLink::initTestCase()
{
    // Qt's D-Bus backend rather than its raw-socket one, which needs a radio;
    // both are chosen once per process, before the first use.
    qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.50");
    qputenv("QT_SENSORS_LOAD_PLUGINS", "0");
    QVERIFY2(m_bluez.start(), qPrintable(m_bluez.errorString()));
    QVERIFY(!m_bluez.addAdapter(QStringLiteral("hci0"), QStringLiteral("kolvex-test")).isEmpty());
    m_tag = std::make_unique<SensorTagStandIn>(m_bluez);
    QVERIFY2(m_tag->add(QStringLiteral("hci0"), QStringLiteral("54:6C:0E:52:F0:01"),
                        QStringLiteral("CC2650 SensorTag")),
             qPrintable(m_tag->errorString()));
    m_path.totalPressure = 0.9;
    m_path.concentrations.assign(49, 0.0);
    m_hub = std::make_unique<Sensors>(nullptr, &m_params);
    m_hub->stopSampling();
}

void TestSensorTagLink::cleanupTestCase()
{
    m_hub.reset();
}

void TestSensorTagLink::connectConfigureAndFollow()
{
    SensorTag *tag = m_hub->sensorTag();
    BluetoothDiscoverDevices *discovery = tag->discovery();
    discovery->setDiscoveryTimeout(500);
    QSignalSpy finished(discovery, &BluetoothDiscoverDevices::deviceDiscoveryFinished);
    discovery->startDiscovery(true);
    QVERIFY(finished.wait(10000));
    QCOMPARE(discovery->discoveredDevices().size(), 1);
    QCOMPARE(discovery->discoveredDevices().first().name(), QStringLiteral("CC2650 SensorTag"));

    m_hub->setSamplingPeriod(300);   // before the connection: written once the sensors are configured
    discovery->setSelectedDeviceIndex(0);
    QSignalSpy connected(tag, &SensorTag::sensorTagConnectedChanged);
    QVERIFY(tag->connectSelectedDevice());
    QTRY_VERIFY_WITH_TIMEOUT(tag->connected(), 15000);
    QVERIFY(m_tag->connected());
    QCOMPARE(discovery->connectedDeviceIndex(), 0);

    // Both sensors on, their notifications on, their period 300 ms = 30 x 10 ms.
    QTRY_VERIFY_WITH_TIMEOUT(m_tag->notifying(QStringLiteral("AA21")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(m_tag->notifying(QStringLiteral("AA41")), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_tag->value(QStringLiteral("AA22")), QByteArray::fromHex("01"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_tag->value(QStringLiteral("AA42")), QByteArray::fromHex("01"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_tag->value(QStringLiteral("AA23")), QByteArray(1, char(30)), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_tag->value(QStringLiteral("AA44")), QByteArray(1, char(30)), 15000);
    // A new period reaches both at once: 1000 ms is 100.
    m_hub->setSamplingPeriod(1000);
    QTRY_COMPARE_WITH_TIMEOUT(m_tag->value(QStringLiteral("AA23")), QByteArray(1, char(100)), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_tag->value(QStringLiteral("AA44")), QByteArray(1, char(100)), 15000);

    // Notifications: 50 % at -40 degrees; 100000 Pa at 100.00 degrees.
    QVERIFY(m_tag->notify(QStringLiteral("AA21"), QByteArray::fromHex("00000080")));
    QVERIFY(m_tag->notify(QStringLiteral("AA41"), QByteArray::fromHex("102700a08601")));
    QTRY_VERIFY_WITH_TIMEOUT(tag->humidityReading() && tag->pressureReading(), 15000);
    QCOMPARE(*tag->humidityReading(), 50.0);
    QCOMPARE(*tag->pressureReading(), 100000.0);

    // Through the hub into the path.
    m_hub->setUseSensorTag(true);
    m_hub->setNumSamplesToAverage(1);
    m_hub->setPressureSensorEnabled(true);
    m_hub->getUpdatedReadings();
    m_hub->getUpdatedReadings();
    QCOMPARE(m_path.totalPressure, 100000.0 * 9.8692e-6);

    // The user disconnects: the link ends and the tag says so.
    m_hub->setUseSensorTag(false);
    QCOMPARE(m_path.totalPressure, 0.9);
    tag->disconnectDevice();
    QTRY_VERIFY_WITH_TIMEOUT(!tag->connected(), 15000);
    QVERIFY(!m_tag->connected());
    QCOMPARE(discovery->connectedDeviceIndex(), -1);
    QVERIFY(connected.count() >= 2);
}

QTEST_GUILESS_MAIN(TestSensorTagLink)
#include "tst_sensortaglink.moc"
