#include "fakeiiotree.h"
#include "mainwindowundertest.h"
#include "sensors/sensehat.h"
#include "sensors/sensors.h"

#include <QtTest>

// The Sensors screen in the window, with a Sense HAT whose barometer and
// hygrometer the test writes (a fake Industrial I/O tree): each source's
// latest reading with its unit and age where "available" stood, and the
// silence of one that stopped delivering; screenshots at a desktop's
// 1280 x 800 and a narrow phone's 420 x 800.
class TestSensorsScreen : public QObject
{
    Q_OBJECT

private slots:
    void readingsOnTheScreen();
};

namespace {

QString textOf(QObject *screen, const QString &name)
{
    QQuickItem *item = MainWindowUnderTest::findItem(screen, name);
    return item ? item->property("text").toString() : QStringLiteral("<no item %1>").arg(name);
}

} // namespace

void TestSensorsScreen::readingsOnTheScreen()
{
    FakeIioTree iio;
    QVERIFY(iio.isValid());
    // 4150272 counts of 0.000024414 kPa: 101324.740608 Pa, 0.999994 atm.
    iio.addPressureChip(0, 4150272, 1200);
    // (2000 - 8412) x -4.203883495 milli-percent = 26.9553 % relative
    // humidity; the hygrometer's temperature, the one taken, about 22.5
    // degrees Celsius: 14560 - 22500 / 9.876543210 = 12281.875, raw 12282.
    iio.addHumidityChip(1, 2000, 12282);
    qputenv("KOLVEX_IIO_ROOT", iio.path().toUtf8());
    MainWindowUnderTest window;
    window.createCore();
    window.openWindow();
    Sensors *hub = window.core()->sensors();
    hub->stopSampling();
    hub->senseHat()->startReading();
    QTRY_VERIFY(hub->senseHat()->pressure() && hub->senseHat()->humidity() && hub->senseHat()->temperature());
    qint64 now = 0;
    hub->setClock([&now] { return now; });

    QObject *screen = window.openScreen(QStringLiteral("Sensors.qml"));
    QVERIFY(screen);
    hub->getUpdatedReadings();
    now = 400;
    hub->getUpdatedReadings();
    QCOMPARE(textOf(screen, QStringLiteral("pressurePresence")),
             QStringLiteral("Barometer:\n 0.999994 atm, 0.0 s ago"));
    // (12282 - 14560) x -9.876543210 = 22498.765 milli-degrees, 295.648765 K.
    QCOMPARE(textOf(screen, QStringLiteral("temperaturePresence")),
             QStringLiteral("Thermometer:\n 295.649 K, 0.0 s ago"));
    const QString humidity = textOf(screen, QStringLiteral("humidityPresence"));
    QVERIFY2(humidity.startsWith(QStringLiteral("Hygrometer:\n 26.9553 % RH = ")), qPrintable(humidity));
    QVERIFY2(humidity.endsWith(QStringLiteral(" %, 0.0 s ago")), qPrintable(humidity));
    window.window()->resize(1280, 800);
    window.shoot(QStringLiteral("sensors-readings-1280x800"));

    // The hygrometer's file goes: two seconds later the screen says so, while
    // the others go on.
    QVERIFY(iio.remove(1, QStringLiteral("in_humidityrelative_raw")));
    QTRY_VERIFY(!hub->senseHat()->humidity());
    for (now = 600; now <= 2600; now += 200)
        hub->getUpdatedReadings();
    QCOMPARE(textOf(screen, QStringLiteral("humidityPresence")), QStringLiteral("Hygrometer:\n no reading for 2 s"));
    QCOMPARE(textOf(screen, QStringLiteral("pressurePresence")),
             QStringLiteral("Barometer:\n 0.999994 atm, 0.0 s ago"));
    window.window()->resize(420, 800);
    window.shoot(QStringLiteral("sensors-silent-hygrometer-420x800"));
    window.checkNoProblems();
    window.close();
}

QTEST_MAIN(TestSensorsScreen)
#include "tst_sensorsscreen.moc"
