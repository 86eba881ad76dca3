#include "fakeiiotree.h"
#include "spectrumqueries.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// kolvex-console on a machine with a Sense HAT, played by a fake Industrial
// I/O tree: a peer switches the path to the board's barometer, thermometer
// and hygrometer, the queries follow the board as its readings change, and
// switching back gives the typed values again, digit for digit.
class TestSensorsConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pathFollowsTheBoard();
    void spectraFromTheBoardsValues();

private:
    QString ask(const QString &query);
    // Asks until the reply is `expected` (or a deadline has passed); the last reply.
    QString waitFor(const QString &query, const QString &expected);

    QTemporaryDir m_dataFolder;
    FakeIioTree m_iio;
    QProcess m_console;
};

void TestSensorsConsole::initTestCase()
{
    QVERIFY(m_dataFolder.isValid() && m_iio.isValid());
    // 4150272 counts of 0.000024414 kPa: 101324.740608 Pa. The HTS221's
    // temperature (12383 - 14560) x -9.876543210 milli-degrees = 21.501235
    // degrees Celsius, its humidity (-1103 - 8412) x -4.203883495
    // milli-percent = 39.999951 %.
    m_iio.addPressureChip(0, 4150272, 1200);
    m_iio.addHumidityChip(1, -1103, 12383);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KOLVEX_IIO_ROOT"), m_iio.path());
    environment.insert(QStringLiteral("QT_SENSORS_LOAD_PLUGINS"), QStringLiteral("0"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    m_console.setProcessEnvironment(environment);
    m_console.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../kolvex-console"),
                    {QStringLiteral("--data-dir"), m_dataFolder.path(), QStringLiteral("--service-url"),
                     QStringLiteral("http://127.0.0.1:9")});
    QVERIFY(m_console.waitForStarted());
}

void TestSensorsConsole::cleanupTestCase()
{
    m_console.closeWriteChannel();
    QVERIFY(m_console.waitForFinished(60000));
    QCOMPARE(m_console.exitCode(), 0);
}

QString TestSensorsConsole::ask(const QString &query)
{
    m_console.write((query + QLatin1Char('\n')).toUtf8());
    QDeadlineTimer deadline(60000);
    while (!m_console.canReadLine() && !deadline.hasExpired())
        m_console.waitForReadyRead(100);
    return QString::fromUtf8(m_console.readLine()).trimmed();
}

QString TestSensorsConsole::waitFor(const QString &query, const QString &expected)
{
    QString reply;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        reply = ask(query);
        if (reply == expected)
            break;
        QTest::qWait(20);
    }
    return reply;
}

void TestSensorsConsole::pathFollowsTheBoard()
{
    // Sample every 20 ms, two samples to an average; typed values first.
    m_console.write("#SMPLPERIOD;20#SMPLSTOAVG;2\n#TPRES;0.75#TEMP;290#MCONC;1;5000\n");
    QCOMPARE(ask(QStringLiteral("#USEBAROM;1#USEBAROM;?")), QStringLiteral("1"));
    // 101324.740608 Pa x 9.8692e-6 atm/Pa = 0.99999413 atm.
    QCOMPARE(waitFor(QStringLiteral("#TPRES;?"), "0.99999413"), QStringLiteral("0.99999413"));
    QCOMPARE(ask(QStringLiteral("#USETHERM;1#USETHERM;?")), QStringLiteral("1"));
    QCOMPARE(waitFor(QStringLiteral("#TEMP;?"), "294.65123"), QStringLiteral("294.65123"));
    // 39.999951 % at 21.501235 degrees Celsius (saturation 2.5648249 kPa) and
    // 0.99999413 atm = 101324.74 Pa: 0.39999951 x 2564.8249 / 101324.74 x 1e6 ppmv.
    QCOMPARE(ask(QStringLiteral("#USEHUMID;1#USEHUMID;?")), QStringLiteral("1"));
    QCOMPARE(waitFor(QStringLiteral("#MCONC;1;?"), "10125.155"), QStringLiteral("10125.155"));

    // The barometer reads 4096000 counts, 99999.744 Pa = 0.98691747 atm.
    QVERIFY(m_iio.set(0, QStringLiteral("in_pressure_raw"), QStringLiteral("4096000")));
    QCOMPARE(waitFor(QStringLiteral("#TPRES;?"), "0.98691747"), QStringLiteral("0.98691747"));

    // Back to the typed values, exactly.
    m_console.write("#USEBAROM;0#USETHERM;0#USEHUMID;0\n");
    QCOMPARE(ask(QStringLiteral("#TPRES;?")), QStringLiteral("0.75"));
    QCOMPARE(ask(QStringLiteral("#TEMP;?")), QStringLiteral("290"));
    QCOMPARE(ask(QStringLiteral("#MCONC;1;?")), QStringLiteral("5000"));
    QCOMPARE(ask(QStringLiteral("#USEBAROM;?")), QStringLiteral("0"));
    // And they stay while the board keeps measuring.
    QTest::qWait(200);
    QCOMPARE(ask(QStringLiteral("#TPRES;?")), QStringLiteral("0.75"));
}

void TestSensorsConsole::spectraFromTheBoardsValues()
{
    // A calculation takes the board's values as they stand when it starts
    // (sampling pauses while it runs), and gives the spectrum the same values
    // typed give. 17 digits carry a value exactly.
    m_console.write("#NUMWNPTS;501#USEBAROM;1#USETHERM;1#USEHUMID;1\n");
    QCOMPARE(waitFor(QStringLiteral("#TPRES;?"), "0.98691747"), QStringLiteral("0.98691747"));
    QCOMPARE(waitFor(QStringLiteral("#TEMP;?"), "294.65123"), QStringLiteral("294.65123"));
    // 39.999951 % at 21.501235 degrees Celsius and 99999.744 Pa:
    // 0.39999951 x 2564.8249 / 99999.744 x 1e6 ppmv.
    QCOMPARE(waitFor(QStringLiteral("#MCONC;1;?"), "10259.313"), QStringLiteral("10259.313"));
    m_console.write("#PREC;17\n");
    QCOMPARE(ask(QStringLiteral("#CALC")), QStringLiteral("READY"));
    const QString pressure = ask(QStringLiteral("#RESULT;TPRES;?"));
    const QString temperature = ask(QStringLiteral("#RESULT;TEMP;?"));
    const QString water = ask(QStringLiteral("#RESULT;MCONC;1;?"));
    QVERIFY2(std::abs(pressure.toDouble() - 0.98691747) < 1e-8, qPrintable(pressure));
    QVERIFY2(std::abs(temperature.toDouble() - 294.65123) < 1e-5, qPrintable(temperature));
    QVERIFY2(std::abs(water.toDouble() - 10259.313) < 1e-3, qPrintable(water));
    const QString fromSensors = ask(spectrumQuery(QStringLiteral("TOTAL")));
    QCOMPARE(fromSensors.count(QLatin1Char(';')), 500);

    m_console.write(QStringLiteral("#USEBAROM;0#USETHERM;0#USEHUMID;0#TPRES;%1#TEMP;%2#MCONC;1;%3\n")
                        .arg(pressure, temperature, water)
                        .toUtf8());
    QCOMPARE(ask(QStringLiteral("#CALC")), QStringLiteral("READY"));
    QCOMPARE(ask(spectrumQuery(QStringLiteral("TOTAL"))), fromSensors);
}

QTEST_GUILESS_MAIN(TestSensorsConsole)
#include "tst_sensorsconsole.moc"
