#include "remote/consoletransport.h"
#include "spectrumqueries.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// kolvex-console driven through pipes on a fresh data folder: a calculation
// on the shipped sample lines, the replies in order, the exit at the end of
// the input, and the WebSocket and serial-line options.
class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void calculatesAndAnswersInOrder();
    void quietUnlessVerbose();
    void badInputNeverStopsIt();
    void nulBytesEndNoLine();
    void fileSizeLimitEndsNothing();
    void lineFileThatIsNoFileIsNamed_data();
    void lineFileThatIsNoFileIsNamed();
    void servesWebSocketClients();
    void repliesWaitingForStandardOutputStayBounded();
    void servesASerialLine();
    void serialOptionNamesWhatIsWrong_data();
    void serialOptionNamesWhatIsWrong();

private:
    struct Run
    {
        int exitCode = -1;   // -1: it did not start, crashed or did not end within two minutes
        QByteArray output;
        QByteArray errors;
    };
    // kolvex-console on the data folder `folder`, offline, with `input` on its
    // standard input, run to its end.
    Run run(const QString &folder, const QByteArray &input, const QStringList &extra = {});
    static QStringList offline(const QString &folder)
    {
        return {QStringLiteral("--data-dir"), folder, QStringLiteral("--service-url"),
                QStringLiteral("http://127.0.0.1:9")};
    }

    QString m_program;
};

TestConsole::Run TestConsole::run(const QString &folder, const QByteArray &input, const QStringList &extra)
{
    QProcess console;
    console.start(m_program, offline(folder) + extra);
    if (!console.waitForStarted())
        return {};
    console.write(input);
    console.closeWriteChannel();
    if (!console.waitForFinished(120000) || console.exitStatus() != QProcess::NormalExit)
        return {};
    return {console.exitCode(), console.readAllStandardOutput(), console.readAllStandardError()};
}

void TestConsole::initTestCase()
{
    m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/../kolvex-console");
    QVERIFY2(QFileInfo::exists(m_program), qPrintable(m_program));
}

void TestConsole::calculatesAndAnswersInOrder()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const Run console = run(folder.path(), QByteArray("#SWAVE;2100\n#EWAVE;2300\n#NUMWNPTS;1001\n#YUNITS;1\n#CALC\n")
                                               + spectrumQuery(QStringLiteral("CO2")).toLatin1()
                                               + "\n#RESULT;NUMWNPTS\n#SWAVE;?\n#TEMP;99999\n"
                                               + spectrumQuery(QStringLiteral("CO")).toLatin1() + "\n");
    QCOMPARE(console.exitCode, 0);
    const QStringList lines = QString::fromUtf8(console.output).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7);   // six replies and the empty text after the last line feed
    QCOMPARE(lines.at(0), QStringLiteral("READY"));
    const QStringList co2 = lines.at(1).split(QLatin1Char(';'));
    QCOMPARE(co2.size(), 1001);
    double largest = 0.0;
    for (const QString &value : co2) {
        bool ok = false;
        largest = std::max(largest, value.toDouble(&ok));
        QVERIFY(ok);
    }
    QVERIFY(largest > 0.0);
    QCOMPARE(lines.at(2), QStringLiteral("1001"));
    QCOMPARE(lines.at(3), QStringLiteral("2100"));
    QVERIFY(lines.at(4).startsWith(QStringLiteral("TEMP : Parameter out of range. The temperature 99999 K")));
    QCOMPARE(lines.at(5).split(QLatin1Char(';')).size(), 1001);
    QVERIFY(lines.at(5) != lines.at(1));
    QCOMPARE(lines.at(6), QString());
}

// Standard error carries warnings and errors only; the progress of start-up
// (one line per partition-sum file read, all of them in a new data folder) and
// of a calculation comes with --verbose, which --help names.
void TestConsole::quietUnlessVerbose()
{
    const QByteArray script("#SWAVE;2100\n#EWAVE;2110\n#NUMWNPTS;101\n#CALC\n");
    QByteArray errors[2];
    for (int verbose = 0; verbose < 2; ++verbose) {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const Run console = run(folder.path(), script, verbose ? QStringList{QStringLiteral("--verbose")} : QStringList());
        QCOMPARE(console.exitCode, 0);
        QCOMPARE(console.output, QByteArray("READY\n"));
        errors[verbose] = console.errors;
    }
    QVERIFY2(!errors[0].contains("Loading"), errors[0].constData());
    QVERIFY2(!errors[0].contains("records added"), errors[0].constData());
    // Without line data the sample is used: a warning, shown either way.
    QVERIFY2(errors[0].contains("sample"), errors[0].constData());
    QVERIFY(errors[0].count('\n') < 15);
    QVERIFY(errors[1].count("Loading file") > 100);
    QVERIFY2(errors[1].contains("records added"), errors[1].constData());

    QProcess help;
    help.start(m_program, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(20000));
    QVERIFY(help.readAllStandardOutput().contains("--verbose"));
}

void TestConsole::badInputNeverStopsIt()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QByteArray input;
    input += QByteArray(2 * 1024 * 1024, '#');                 // one long line of empty commands
    // Binary bytes, a NUL among them (a literal keeps it), and incomplete commands.
    input += QByteArrayLiteral("\n\x00\xff\xfe#;;;\n#RESULT\n");
    input += spectrumQuery().toLatin1() + "\n#MCONC\n#TOTAL;x;y;z\n#SWAV_BIN;\n#DELIMITER\n";
    input += QByteArray(5 * 1024 * 1024, 'z');                  // a line beyond the limit
    input += "\n#PATH;?\n";
    const Run console = run(folder.path(), input);
    QCOMPARE(console.exitCode, 0);
    const QStringList lines = QString::fromUtf8(console.output).split(QLatin1Char('\n'));
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("1000"));
    QVERIFY(console.errors.contains("was dropped"));
}

// A NUL byte does not cut a line short: the binary forms carry NUL bytes in
// their values, and the whole line reaches the commands as a WebSocket
// message would; standard error names the line.
void TestConsole::nulBytesEndNoLine()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // 260.0 as a little-endian double: 00 00 00 00 00 40 70 40.
    const Run console =
        run(folder.path(), QByteArrayLiteral("#SWAVE;2000\n#SWAV_BIN;\x00\x00\x00\x00\x00\x40\x70\x40\n#SWAVE;?\n"));
    QCOMPARE(console.exitCode, 0);
    QCOMPARE(console.output, QByteArray("260\n"));
    QVERIFY2(console.errors.contains("Input line 2 holds a NUL byte; the whole line is run"), console.errors.constData());
}

// Under a file-size limit (ulimit -f) smaller than the partition-sum tables
// the first start cannot install them: the writes fail and standard error
// names a file that could not be written, but the program is not killed by
// SIGXFSZ, answers and ends normally.
void TestConsole::fileSizeLimitEndsNothing()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // The limit must end the program unless it takes care: the signal's
    // default action, whatever this test inherited.
    std::signal(SIGXFSZ, SIG_DFL);
    QProcess console;
    // 100 blocks of 1 KiB: globalid.txt (about 2 KB) fits, no table of 5000 kelvins does.
    console.start(QStringLiteral("/bin/bash"),
                  QStringList{QStringLiteral("-c"), QStringLiteral("ulimit -f 100 && exec \"$0\" \"$@\""), m_program}
                      + offline(folder.path()));
    QVERIFY(console.waitForStarted());
    console.write("#PATH;?\n");
    console.closeWriteChannel();
    QVERIFY(console.waitForFinished(120000));
    const QByteArray errors = console.readAllStandardError();
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), 0);
    QCOMPARE(console.readAllStandardOutput(), QByteArray("1000\n"));
    QVERIFY2(errors.contains("could not put its shipped data"), errors.constData());
    QVERIFY2(errors.contains(QFile::encodeName(folder.path()) + "/TIPS/q"), errors.constData());
    QVERIFY2(errors.contains("File too large"), errors.constData());
}

void TestConsole::lineFileThatIsNoFileIsNamed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("folder") << "folder";
}

// A ".par" in the data folder that is a FIFO or a folder cannot serve as the
// user's line file; a calculation says so by its name instead of passing it
// over in silence, and the sample lines serve.
void TestConsole::lineFileThatIsNoFileIsNamed()
{
    QFETCH(QString, kind);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("mine.par"));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QDir().mkpath(path));
    const Run console = run(folder.path(), "#SWAVE;2100\n#EWAVE;2110\n#NUMWNPTS;101\n#CALC\n");
    QCOMPARE(console.exitCode, 0);
    QCOMPARE(console.output, QByteArray("READY\n"));
    const QByteArray &errors = console.errors;
    QVERIFY2(errors.contains("Your line file mine.par cannot be used: it cannot be read (it is not a regular file)."),
             errors.constData());
    QVERIFY2(errors.contains("sample line list"), errors.constData());
}

void TestConsole::servesWebSocketClients()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess console;
    console.start(m_program, offline(folder.path()) + QStringList{QStringLiteral("--websocket"), QStringLiteral("0")});
    QVERIFY(console.waitForStarted());
    QByteArray errors;
    QRegularExpressionMatch match;
    const QRegularExpression serving(QStringLiteral("Serving WebSocket clients on port (\\d+)"));
    QTRY_VERIFY_WITH_TIMEOUT((errors += console.readAllStandardError(),
                              match = serving.match(QString::fromUtf8(errors)), match.hasMatch()),
                             60000);
    const QString port = match.captured(1);

    QWebSocket client;
    QStringList texts;
    connect(&client, &QWebSocket::textMessageReceived, this, [&texts](const QString &text) { texts.append(text); });
    QSignalSpy connected(&client, &QWebSocket::connected);
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:") + port));
    QVERIFY(connected.wait(10000));
    client.sendTextMessage(QStringLiteral("#PATH;42#PATH;?"));
    QTRY_COMPARE_WITH_TIMEOUT(texts, QStringList{"42"}, 20000);
    // Commands on standard input answer on both channels.
    console.write("#PATH;?\n");
    QTRY_COMPARE_WITH_TIMEOUT(texts, (QStringList{"42", "42"}), 20000);
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += console.readAllStandardOutput()).contains("42\n42\n"), 20000);
    // It keeps serving after the end of its input, until terminated.
    console.closeWriteChannel();
    QTest::qWait(300);
    QCOMPARE(console.state(), QProcess::Running);
    console.terminate();
    QVERIFY(console.waitForFinished(20000));
}

// Replies that standard output does not take wait, bounded: a reader that
// reads slowly gets every reply whole and in order; while WebSocket peers are
// served, an output nobody reads stops being written to instead of holding
// them up or filling the memory.
void TestConsole::repliesWaitingForStandardOutputStayBounded()
{
    int output[2];
    QCOMPARE(::pipe(output), 0);
    FILE *stream = fdopen(output[1], "w");
    QVERIFY(stream);
    const QString reply(100000, QLatin1Char('7'));
    QByteArray received;
    {
        ConsoleTransport console(-1, stream);
        console.setMaxQueuedBytes(256 * 1024);
        console.setStallTimeout(200);
        QSocketNotifier reader(output[0], QSocketNotifier::Read);
        connect(&reader, &QSocketNotifier::activated, this, [&] {
            char chunk[4096];
            const ssize_t got = ::read(output[0], chunk, sizeof chunk);
            received.append(chunk, int(std::max<ssize_t>(0, got)));
        });
        for (int i = 0; i < 40; ++i) {
            console.send(reply + QString::number(i));
            QVERIFY(console.queuedBytes() <= 256 * 1024);
        }
        QTRY_COMPARE(received.count('\n'), 40);

        // Nobody reads now; the replies are a copy.
        reader.setEnabled(false);
        console.setOutputIsCopy(true);
        for (int i = 0; i < 40 && !console.outputStopped(); ++i)
            console.send(reply);
        QVERIFY(console.outputStopped());
        QCOMPARE(console.queuedBytes(), qint64(0));
    }
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY(lines.size() >= 41);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(lines.at(i), reply.toLatin1() + QByteArray::number(i));
    fclose(stream);
    ::close(output[0]);
}

// A whole session over a pseudo-terminal, a real serial device to the program:
// settings, a calculation, its grid, at the baud rate asked for.
void TestConsole::servesASerialLine()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess console;
    console.start(m_program, offline(folder.path())
                                 + QStringList{QStringLiteral("--serial"), QString::fromLocal8Bit(name) + QStringLiteral(":57600")});
    QVERIFY(console.waitForStarted());
    console.closeWriteChannel();
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += console.readAllStandardError()).contains("Serving the serial line"), 60000);
    QVERIFY2(errors.contains("Serving the serial line " + QByteArray(name) + " at 57600 baud."), errors.constData());
    termios tio {};
    QCOMPARE(::tcgetattr(slave, &tio), 0);
    QCOMPARE(::cfgetispeed(&tio), speed_t(B57600));

    const QByteArray session("#SWAVE;2100#EWAVE;2300#NUMWNPTS;201\r\n#CALC\r\n#RESULT;WNGRID\r\n");
    QCOMPARE(::write(master, session.constData(), std::size_t(session.size())), ssize_t(session.size()));
    QByteArray replies;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 char chunk[65536];
                                 ssize_t count = 0;
                                 while ((count = ::read(master, chunk, sizeof chunk)) > 0)
                                     replies.append(chunk, int(count));
                                 return replies.count('\n') >= 2;
                             }()),
                             60000);
    const QList<QByteArray> lines = replies.split('\n');
    QCOMPARE(lines.at(0), QByteArray("READY"));
    const QList<QByteArray> grid = lines.at(1).split(';');
    QCOMPARE(grid.size(), 201);
    QCOMPARE(grid.first(), QByteArray("2100"));
    QCOMPARE(grid.last(), QByteArray("2300"));
    // The end of standard input does not end the service.
    QCOMPARE(console.state(), QProcess::Running);
    console.terminate();
    QVERIFY(console.waitForFinished(20000));
    ::close(master);
    ::close(slave);

    // A line that cannot be opened is an error at start.
    QProcess missing;
    missing.start(m_program, offline(folder.path())
                                 + QStringList{QStringLiteral("--serial"), folder.filePath(QStringLiteral("no-such-port"))});
    QVERIFY(missing.waitForFinished(60000));
    QCOMPARE(missing.exitCode(), 1);
    QVERIFY(missing.readAllStandardError().contains("does not exist"));
}

void TestConsole::serialOptionNamesWhatIsWrong_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("problem");
    QTest::newRow("letters") << ":abc" << "the baud rate \"abc\" is not a positive whole number";
    QTest::newRow("zero") << ":0" << "the baud rate \"0\" is not a positive whole number";
    QTest::newRow("negative") << ":-9600" << "the baud rate \"-9600\" is not a positive whole number";
    QTest::newRow("empty") << ":" << "the baud rate \"\" is not a positive whole number";
}

// --serial DEVICE:BAUD with a baud rate that is none blames the baud rate, not
// the port, and starts nothing; a device whose own name holds colons (as
// /dev/serial/by-path names do) is served whole at the default rate.
void TestConsole::serialOptionNamesWhatIsWrong()
{
    QFETCH(QString, suffix);
    QFETCH(QString, problem);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
    const QString device = folder.filePath(QStringLiteral("pci-0000:00:14.0-usb-0:1:1.0-port0"));
    QVERIFY(QFile::link(QString::fromLocal8Bit(name), device));
    const QStringList common = offline(folder.path()) + QStringList{QStringLiteral("--serial")};

    QProcess wrong;
    wrong.start(m_program, common + QStringList{device + suffix});
    QVERIFY(wrong.waitForFinished(60000));
    QCOMPARE(wrong.exitCode(), 2);
    const QByteArray errors = wrong.readAllStandardError();
    QVERIFY2(errors.contains(problem.toUtf8()), errors.constData());
    QVERIFY2(!errors.contains("does not exist"), errors.constData());

    QProcess whole;
    whole.start(m_program, common + QStringList{device});
    QVERIFY(whole.waitForStarted());
    whole.closeWriteChannel();
    QByteArray served;
    QTRY_VERIFY_WITH_TIMEOUT((served += whole.readAllStandardError()).contains("Serving the serial line"), 60000);
    QVERIFY2(served.contains("Serving the serial line " + QFile::encodeName(device) + " at 115200 baud."),
             served.constData());
    whole.terminate();
    QVERIFY(whole.waitForFinished(20000));
    ::close(master);
    ::close(slave);
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
