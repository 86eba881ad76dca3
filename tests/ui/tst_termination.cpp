#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The window ended from outside: SIGTERM (a logout, a shutdown) and SIGINT (a
// terminal) end it as "Exit" -> Yes does, without the question, and the
// settings of the run are kept.
class TestTermination : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsTheWindowAndKeepsTheSettings_data();
    void signalEndsTheWindowAndKeepsTheSettings();
};

void TestTermination::signalEndsTheWindowAndKeepsTheSettings_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestTermination::signalEndsTheWindowAndKeepsTheSettings()
{
    QFETCH(int, signal);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../kolvex");
    QVERIFY2(QFileInfo::exists(program), qPrintable(program));
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString data = home.filePath(QStringLiteral("kolvex"));
    QVERIFY(QDir().mkpath(data));
    // The settings of this run as a configuration file of one line: only a save
    // writes the whole file.
    {
        QFile config(data + QStringLiteral("/config.txt"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("4.250000e+02\tHorizontal path length, meters\n");
    }
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(environment);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(program, QStringList());
    QVERIFY(window.waitForStarted());
    // It is running once it has put its shipped files into the data folder.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(data + QStringLiteral("/globalid.txt")), 60000);
    QCOMPARE(::kill(pid_t(window.processId()), signal), 0);
    QVERIFY(window.waitForFinished(60000));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 0);

    QFile config(data + QStringLiteral("/config.txt"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = config.readAll().split('\n');
    QCOMPARE(lines.size(), 148);   // 147 lines and the empty text after the last line end
    QCOMPARE(lines.first(), QByteArray("4.250000e+02\tHorizontal path length, meters"));
    QVERIFY(lines.contains("Molecule colors"));
}

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"
