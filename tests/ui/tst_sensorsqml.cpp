#include "app/kolvexcore.h"
#include "core/params.h"
#include "fakeiiotree.h"
#include "offlinesettings.h"
#include "sensors/sensehat.h"
#include "sensors/sensors.h"
#include "sensors/sensortag.h"
#include "ui/sensorsqml.h"
#include "ui/totalpressqml.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The sensor view object on a core whose only sensor is a Sense HAT
// barometer (a fake Industrial I/O tree): the values in the user's units,
// the sampling settings, the switches, the presence texts and the SensorTag
// connection as the screens read them, and the screens that follow a reading.
class TestSensorsQml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void valuesInTheUsersUnits();
    void samplingSettings();
    void presenceOfTheSensors();
    void switchingAQuantity();
    void readingsAndSilentSources();
    void sensorTagConnection();

private:
    QTemporaryDir m_dir;
    FakeIioTree m_iio;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<SensorsQml> m_view;
};

void TestSensorsQml::initTestCase()
{
    QVERIFY(m_dir.isValid() && m_iio.isValid());
    qputenv("QT_SENSORS_LOAD_PLUGINS", "0");
    // 4150272 counts of 0.000024414 kPa: 101324.740608 Pa.
    m_iio.addPressureChip(0, 4150272, 1200);
    qputenv("KOLVEX_IIO_ROOT", m_iio.path().toUtf8());
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
    m_core->sensors()->stopSampling();
    // The test ticks the hub itself; the board goes on being read (off the
    // main thread), and its first reading is awaited.
    m_core->sensors()->senseHat()->startReading();
    QTRY_VERIFY(m_core->sensors()->senseHat()->pressure());
    m_view = std::make_unique<SensorsQml>(nullptr, m_core.get());
}

void TestSensorsQml::cleanupTestCase()
{
    m_view.reset();
    m_core.reset();
}

void TestSensorsQml::valuesInTheUsersUnits()
{
    PathConditions &path = m_core->params()->pathConditions();
    path.totalPressure = 0.5;
    path.temperature = 300.0;
    path.concentrations[0] = 10000.0;
    m_core->pressureUnits()->pressureUnit = PressureUnits::Mbar;
    m_core->temperatureUnit()->unit = TemperatureUnit::Celsius;
    // 0.5 atm x 1013.2533539 mbar/atm = 506.62668; 300 K - 273.15 = 26.85 degrees.
    QCOMPARE(m_view->totalPressure(), QStringLiteral("506.627 (mbar)"));
    QCOMPARE(m_view->temperature(), QStringLiteral("26.85 (°C)"));
    // 10000 ppmv is 1 %; as a partial pressure 1e-2 x 0.5 atm = 5.0662668 mbar, five digits.
    m_core->pressureUnits()->concentrationMode = PressureUnits::Percent;
    QCOMPARE(m_view->humidity(), QStringLiteral("1 (%)"));
    m_core->pressureUnits()->concentrationMode = PressureUnits::Ppmv;
    QCOMPARE(m_view->humidity(), QStringLiteral("10000 (ppmv)"));
    m_core->pressureUnits()->concentrationMode = PressureUnits::PartialPressure;
    QCOMPARE(m_view->humidity(), QStringLiteral("5.0663 (mbar)"));
    m_core->pressureUnits()->pressureUnit = PressureUnits::Atm;
    m_core->pressureUnits()->concentrationMode = PressureUnits::Percent;
    m_core->temperatureUnit()->unit = TemperatureUnit::Kelvin;
}

void TestSensorsQml::samplingSettings()
{
    QCOMPARE(m_view->samplingPeriod(), 200);
    QCOMPARE(m_view->numSamplesToAverage(), 5);
    QCOMPARE(m_view->averagingTime(), 1000);
    QSignalSpy period(m_view.get(), &SensorsQml::samplingPeriodChanged);
    QSignalSpy averaging(m_view.get(), &SensorsQml::averagingTimeChanged);
    m_view->setSamplingPeriod(500);
    QCOMPARE(m_core->sensors()->samplingPeriod(), 500);
    QCOMPARE(m_view->averagingTime(), 2500);
    QCOMPARE(period.count(), 1);
    QCOMPARE(averaging.count(), 1);
    m_view->setSamplingPeriod(500);
    QCOMPARE(averaging.count(), 1);
    // A period the timer cannot take keeps the one in use.
    m_view->setSamplingPeriod(0);
    QCOMPARE(m_view->samplingPeriod(), 500);
    m_view->setNumSamplesToAverage(3);
    QCOMPARE(m_core->sensors()->numSamplesToAverage(), 3);
    QCOMPARE(m_view->averagingTime(), 1500);
    QCOMPARE(averaging.count(), 2);
    m_view->setSamplingPeriod(200);
    m_view->setNumSamplesToAverage(5);
}

void TestSensorsQml::presenceOfTheSensors()
{
    // The board's barometer and its temperature; no hygrometer anywhere.
    QVERIFY(m_view->totalPressureSensorIsPresent());
    QVERIFY(m_view->temperatureSensorIsPresent());
    QVERIFY(!m_view->humidityBuiltInSensorIsPresent());
    QCOMPARE(m_view->totalPressSensorLabelText(), QString());
    QCOMPARE(m_view->temperatureSensorLabelText(), QString());
    QCOMPARE(m_view->humiditySensorLabelText(), QStringLiteral(" No humidity sensors\n (manual value used)"));
    QCOMPARE(m_view->connectButtonText(), QStringLiteral("  Connect  "));
    QVERIFY(!m_view->sensorTagConnected());
}

void TestSensorsQml::switchingAQuantity()
{
    TotalPressQml pressureScreen(nullptr, m_core.get());
    PathConditions &path = m_core->params()->pathConditions();
    path.totalPressure = 0.75;
    QSignalSpy enabled(m_view.get(), &SensorsQml::totalPressureSensorEnabledChanged);
    QSignalSpy value(m_view.get(), &SensorsQml::totalPressureChanged);
    QSignalSpy screenValue(&pressureScreen, &TotalPressQml::totalPressureChanged);
    m_view->setTotalPressureSensorEnabled(true);
    QVERIFY(m_view->totalPressureSensorEnabled());
    QVERIFY(enabled.count() >= 1);

    // A window of five samples and the publishing tick.
    for (int i = 0; i < 6; ++i)
        m_core->sensors()->getUpdatedReadings();
    // 101324.740608 Pa x 9.8692e-6 atm/Pa.
    QCOMPARE(path.totalPressure, 101324.740608 * 9.8692e-6);
    QVERIFY(value.count() >= 1);
    QVERIFY(screenValue.count() >= 1);
    QCOMPARE(pressureScreen.totalPressure(), QStringLiteral("0.999994"));

    // The humidity cannot follow anything: the switch stays off.
    m_view->setHumiditySensorEnabled(true);
    QVERIFY(!m_view->humiditySensorEnabled());

    m_view->setTotalPressureSensorEnabled(false);
    QCOMPARE(path.totalPressure, 0.75);
    QCOMPARE(pressureScreen.totalPressure(), QStringLiteral("0.75"));
}

void TestSensorsQml::readingsAndSilentSources()
{
    Sensors *hub = m_core->sensors();
    qint64 now = 10000;
    hub->setClock([&now] { return now; });
    m_core->pressureUnits()->pressureUnit = PressureUnits::Mbar;
    m_core->temperatureUnit()->unit = TemperatureUnit::Celsius;
    QSignalSpy readings(m_view.get(), &SensorsQml::readingsChanged);

    // The board is read whether or not the path follows it. The barometer's
    // 101324.740608 Pa x 9.8692e-6 atm/Pa x 1013.2533539 mbar/atm =
    // 1013.247406 mbar; its temperature (1200 + 20400) x 2.083333333
    // milli-degrees = 45 degrees Celsius. No hygrometer: nothing to show.
    // The board is read on a thread of its own: the tick takes what it has
    // read, so the test waits for both readings first.
    QTRY_VERIFY(hub->senseHat()->pressure() && hub->senseHat()->temperature());
    hub->getUpdatedReadings();
    now += 300;
    QVERIFY(readings.count() >= 1);
    QCOMPARE(m_view->totalPressureReading(), QStringLiteral("1013.25 mbar, 0.3 s ago"));
    QCOMPARE(m_view->temperatureReading(), QStringLiteral("45 °C, 0.3 s ago"));
    QCOMPARE(m_view->humidityReading(), QString());
    m_core->pressureUnits()->pressureUnit = PressureUnits::Atm;
    QCOMPARE(m_view->totalPressureReading(), QStringLiteral("0.999994 atm, 0.3 s ago"));

    // The pressure file goes: the board gives nothing for it any more, and
    // after a second without a reading the screen says so.
    QVERIFY(m_iio.remove(0, QStringLiteral("in_pressure_raw")));
    QTRY_VERIFY(!hub->senseHat()->pressure());
    for (int i = 0; i < 5; ++i) {
        now += 200;
        hub->getUpdatedReadings();
    }
    QCOMPARE(m_view->totalPressureReading(), QStringLiteral("no reading for 1 s"));
    // The temperature went on: it was read at the last tick.
    QCOMPARE(m_view->temperatureReading(), QStringLiteral("45 °C, 0.0 s ago"));

    // Its temperature file holds garbage: no reading either.
    QVERIFY(m_iio.set(0, QStringLiteral("in_temp_raw"), QStringLiteral("12ab")));
    QTRY_VERIFY(!hub->senseHat()->temperature());
    for (int i = 0; i < 15; ++i) {
        now += 200;
        hub->getUpdatedReadings();
    }
    // 3000 ms since the last temperature, 4000 ms since the last pressure.
    QCOMPARE(m_view->temperatureReading(), QStringLiteral("no reading for 3 s"));
    QCOMPARE(m_view->totalPressureReading(), QStringLiteral("no reading for 4 s"));

    // The files are right again: readings again.
    m_iio.addPressureChip(0, 4150272, 1200);
    QTRY_VERIFY(hub->senseHat()->pressure() && hub->senseHat()->temperature());
    hub->getUpdatedReadings();
    QCOMPARE(m_view->totalPressureReading(), QStringLiteral("0.999994 atm, 0.0 s ago"));
    m_core->temperatureUnit()->unit = TemperatureUnit::Kelvin;
    QCOMPARE(m_view->temperatureReading(), QStringLiteral("318.15 K, 0.0 s ago"));
}

void TestSensorsQml::sensorTagConnection()
{
    // Nothing found yet: connecting says so and does nothing.
    QSignalSpy message(m_view.get(), &SensorsQml::connectionMessageChanged);
    m_view->connectSensorTagDevice();
    QCOMPARE(m_view->connectionMessage(), QStringLiteral("No device to connect: press \"Discover devices\" first."));
    QCOMPARE(message.count(), 1);
    QVERIFY(!m_view->sensorTagConnected());

    // The tag's services are found.
    QSignalSpy button(m_view.get(), &SensorsQml::connectButtonTextChanged);
    QSignalSpy humidityText(m_view.get(), &SensorsQml::humiditySensorLabelTextChanged);
    m_core->sensors()->sensorTag()->servicesDiscovered();
    QVERIFY(m_view->sensorTagConnected());
    QCOMPARE(m_view->connectButtonText(), QStringLiteral(" Disconnect "));
    QCOMPARE(button.count(), 1);
    QCOMPARE(humidityText.count(), 1);
    QCOMPARE(m_view->humiditySensorLabelText(), QStringLiteral(" SensorTag is connected\n but not enabled"));
    QVERIFY(m_view->totalPressureSensorIsPresent());

    // Used for the humidity it alone can measure; a disconnection first gives
    // the typed value back.
    m_view->setUseSensorTag(true);
    QVERIFY(m_view->useSensorTag());
    QCOMPARE(m_view->humiditySensorLabelText(), QString());
    PathConditions &path = m_core->params()->pathConditions();
    path.concentrations[0] = 1234.5;
    m_view->setHumiditySensorEnabled(true);
    QVERIFY(m_view->humiditySensorEnabled());
    path.concentrations[0] = 99.0;   // as a reading would
    m_view->connectSensorTagDevice();
    QVERIFY(!m_view->useSensorTag());
    QVERIFY(!m_view->humiditySensorEnabled());
    QCOMPARE(path.concentrations[0], 1234.5);

    m_core->sensors()->sensorTag()->setSensorTagDisconnected();
    QCOMPARE(m_view->connectButtonText(), QStringLiteral("  Connect  "));
    QCOMPARE(button.count(), 2);
}

QTEST_MAIN(TestSensorsQml)
#include "tst_sensorsqml.moc"
