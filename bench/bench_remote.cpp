// Reliability figures of the remote control: random messages over WebSocket
// and standard input, a steady 1000 commands a second from one client, and two
// clients (IPv4 and IPv6 loopback) at once.
//
//   bench_remote [--messages N] [--seconds S] [--console PATH]

#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "core/params.h"
#include "core/spectrum.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>

#include <cstdio>
#include <memory>

namespace {

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Waits until `done` holds or the time runs out; true when it held.
template<typename Predicate>
bool waitFor(Predicate done, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Random bytes, random command names with random fields, truncated commands.
// Calculations are left out: a random grid may legitimately take minutes.
QString randomMessage(QRandomGenerator &random)
{
    static const QStringList names = {
        "SWAVE", "EWAVE", "NUMWNPTS", "PATH", "TPRES", "TEMP", "USEBAROM", "USETHERM", "USEHUMID", "USESENSTAG",
        "SMPLPERIOD", "SMPLSTOAVG", "HITOPT", "LSHAPE", "LTHRESH", "LWINGSAT", "LWINGABS", "LBROAD", "LSHIFTUSE",
        "INSTRFUNCT", "INSTRRES", "INSTRWING", "ATMMODEL", "ALLCALC", "PREC", "YPARAM", "YUNITS", "TOTAL", "MCONC",
        "MSEL", "FORMAT", "DELIMITER", "RESULT", "SWAV_BIN", "EWAV_BIN", "NWPO_BIN", "LPRO_BIN", "MCON_BIN",
        "MSEL_BIN", "UBSE_BIN", "GWGR_BIN", "DATA_BIN", "NOSUCH", "", "#", "?"};
    const char *const spectrumItem = "SPEC";   // the RESULT item of one spectrum
    static const QStringList fields = {"?", spectrumItem, "WNGRID", "CO2", "CO", "TOTAL", "INSTR", "-1", "0", "1", "2",
                                       "255", "256", "-5", "1e308", "inf", "nan", "x", "", "2100.5", "49", "50",
                                       "1000001", "e", "f", "G"};
    QString message;
    switch (random.bounded(4)) {
    case 0: {   // random bytes
        const int length = random.bounded(1, 200);
        QByteArray bytes(length, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(random.bounded(256));
        return QString::fromLatin1(bytes);
    }
    case 1:   // truncated command
        message = QStringLiteral("#") + names.at(random.bounded(names.size()));
        return message.left(random.bounded(1, message.size() + 1));
    default: {
        const int commands = random.bounded(1, 4);
        for (int c = 0; c < commands; ++c) {
            message += QStringLiteral("#") + names.at(random.bounded(names.size()));
            const int count = random.bounded(0, 4);
            for (int f = 0; f < count; ++f)
                message += QStringLiteral(";") + fields.at(random.bounded(fields.size()));
        }
        return message;
    }
    }
}

struct Client
{
    QWebSocket socket;
    QStringList texts;

    bool open(const QString &url)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket,
                         [this](const QString &text) { texts.append(text); });
        socket.open(QUrl(url));
        return waitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<Spectrum>("Spectrum");
    const QStringList arguments = QCoreApplication::arguments();
    const auto option = [&arguments](const QString &name, const QString &fallback) {
        const int at = arguments.indexOf(name);
        return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : fallback;
    };
    const int messageCount = option(QStringLiteral("--messages"), QStringLiteral("10000")).toInt();
    const int seconds = option(QStringLiteral("--seconds"), QStringLiteral("10")).toInt();
    const QString console = option(QStringLiteral("--console"),
                                   QCoreApplication::applicationDirPath() + QStringLiteral("/../kolvex-console"));

    QTemporaryDir folder;
    KolvexCore::Settings settings;
    settings.dataFolder = folder.path();
    settings.serviceBaseUrl = QStringLiteral("http://127.0.0.1:9");
    settings.productBaseUrl = QStringLiteral("http://127.0.0.1:9");
    KolvexCore core(settings);
    SpectraResultsQml results(nullptr, &core);
    QObject::connect(&core, &KolvexCore::updateSpectra, &core, [&core] { core.updatePlotInProgress(false); });
    waitFor([&core] { return core.tipsLoaded(); }, 30000);
    RemoteControl *remote = core.remoteControl();
    remote->setReadyGrace(200);
    core.webSockets()->setListenAll(true);
    core.webSockets()->setPort(0);
    remote->setCommunicationMode(RemoteControl::WebSocketMode);
    const quint16 port = core.webSockets()->serverPort();
    bool allPassed = true;

    // 1. Random messages over WebSocket, in two rounds: the second shows
    // whether memory keeps growing.
    {
        Client client;
        if (!client.open(QStringLiteral("ws://127.0.0.1:%1").arg(port))) {
            std::printf("websocket: cannot connect\n");
            return 1;
        }
        QRandomGenerator random(20261206);
        for (int round = 1; round <= 2; ++round) {
            client.texts.clear();
            const long before = residentKilobytes();
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < messageCount; ++i) {
                client.socket.sendTextMessage(randomMessage(random));
                if (i % 50 == 0)
                    QCoreApplication::processEvents();
            }
            client.socket.sendTextMessage(QStringLiteral("#FORMAT;g#PREC;8#DELIMITER;;#PATH;777#PATH;?"));
            const bool answered = waitFor([&client] { return client.texts.contains(QStringLiteral("777")); }, 120000);
            const long after = residentKilobytes();
            std::printf("websocket fuzz round %d: %d messages in %.1f s, final query %s, %lld replies, buffer %d "
                        "chars, RSS %ld -> %ld kB\n",
                        round, messageCount, timer.elapsed() / 1000.0, answered ? "answered" : "NOT ANSWERED",
                        qint64(client.texts.size()), int(remote->bufferedText().size()), before, after);
            allPassed = allPassed && answered;
        }
        client.socket.close();
        waitFor([remote] { return !remote->isConnected(); }, 5000);
    }

    // 2. Random messages on the console program's standard input.
    if (QFileInfo::exists(console)) {
        QTemporaryDir consoleFolder;
        QProcess process;
        process.start(console, {QStringLiteral("--data-dir"), consoleFolder.path(), QStringLiteral("--service-url"),
                                QStringLiteral("http://127.0.0.1:9")});
        process.waitForStarted();
        QRandomGenerator random(4242);
        QByteArray input;
        for (int i = 0; i < messageCount; ++i) {
            QString message = randomMessage(random);
            message.replace(QLatin1Char('\n'), QLatin1Char(' '));
            input += message.toUtf8() + '\n';
        }
        input += "#FORMAT;g\n#PREC;8\n#PATH;777\n#PATH;?\n";
        QElapsedTimer timer;
        timer.start();
        process.write(input);
        process.closeWriteChannel();
        const bool finished = process.waitForFinished(600000);
        const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
        const bool answered = lines.size() >= 2 && lines.at(lines.size() - 2) == "777";
        std::printf("stdin fuzz: %d lines in %.1f s, exit %s (code %d), final query %s\n", messageCount,
                    timer.elapsed() / 1000.0, finished ? "normal" : "TIMED OUT", process.exitCode(),
                    answered ? "answered" : "NOT ANSWERED");
        allPassed = allPassed && finished && process.exitCode() == 0 && answered;
    } else {
        std::printf("stdin fuzz: %s not found, skipped\n", qPrintable(console));
    }

    // The random messages left every setting somewhere; replies below expect plain numbers.
    core.params()->setReplyFormat('g');
    core.params()->setReplyPrecision(8);
    core.params()->pathConditions().temperature = 296.0;

    // 3. 1000 commands a second from one client: a set and a query of the path
    // length alternate, and every query must answer the value just set.
    {
        Client client;
        client.open(QStringLiteral("ws://127.0.0.1:%1").arg(port));
        int sent = 0;
        const int total = 1000 * seconds;
        QTimer pace;
        pace.setTimerType(Qt::PreciseTimer);
        pace.setInterval(10);
        QElapsedTimer timer;
        QObject::connect(&pace, &QTimer::timeout, &pace, [&] {
            // Catch up with the clock: 1 command per elapsed millisecond.
            const qint64 due = std::min<qint64>(total, timer.elapsed());
            while (sent < due) {
                const int value = sent / 2 + 1;
                client.socket.sendTextMessage(sent % 2 == 0 ? QStringLiteral("#PATH;%1").arg(value)
                                                            : QStringLiteral("#PATH;?"));
                ++sent;
            }
            if (sent >= total)
                pace.stop();
        });
        timer.start();
        pace.start();
        waitFor([&] { return sent >= total && client.texts.size() >= total / 2; }, (seconds + 60) * 1000);
        const double elapsed = timer.elapsed() / 1000.0;
        bool inOrder = client.texts.size() == total / 2;
        for (int i = 0; inOrder && i < client.texts.size(); ++i)
            inOrder = client.texts.at(i) == QString::number(i + 1);
        std::printf("steady rate: %d commands (%d queries) in %.2f s, %lld answers, %s\n", sent, total / 2, elapsed,
                    qint64(client.texts.size()), inOrder ? "all in order" : "MISSING OR OUT OF ORDER");
        allPassed = allPassed && inOrder;
        client.socket.close();
        waitFor([remote] { return !remote->isConnected(); }, 5000);
    }

    // 4. Two clients at once, one per loopback.
    {
        Client v4;
        Client v6;
        const bool open4 = v4.open(QStringLiteral("ws://127.0.0.1:%1").arg(port));
        const bool open6 = v6.open(QStringLiteral("ws://[::1]:%1").arg(port));
        waitFor([&core] { return core.webSockets()->clientCount() == 2; }, 5000);
        const int rounds = 500;
        for (int i = 0; i < rounds; ++i) {
            v4.socket.sendTextMessage(QStringLiteral("#TEMP;?"));
            v6.socket.sendTextMessage(QStringLiteral("#PREC;?"));
        }
        // Each client gets its own and the other's commands, and every reply.
        const bool complete = waitFor([&] { return v4.texts.size() >= 3 * rounds && v6.texts.size() >= 3 * rounds; },
                                      60000);
        const int v4Relayed = int(v4.texts.count(QStringLiteral("#PREC;?")));
        const int v6Relayed = int(v6.texts.count(QStringLiteral("#TEMP;?")));
        const int v4Replies = int(v4.texts.count(QStringLiteral("296")) + v4.texts.count(QStringLiteral("8")));
        const int v6Replies = int(v6.texts.count(QStringLiteral("296")) + v6.texts.count(QStringLiteral("8")));
        std::printf("two clients: IPv4 %s, IPv6 %s; IPv4 got %d relayed and %d replies, IPv6 got %d relayed and "
                    "%d replies (expected %d and %d each)\n",
                    open4 ? "connected" : "FAILED", open6 ? "connected" : "FAILED", v4Relayed, v4Replies, v6Relayed,
                    v6Replies, rounds, 2 * rounds);
        allPassed = allPassed && complete && v4Relayed == rounds && v6Relayed == rounds && v4Replies == 2 * rounds
            && v6Replies == 2 * rounds;
    }
    std::printf("%s\n", allPassed ? "ALL PASSED" : "SOME CHECKS FAILED");
    return allPassed ? 0 : 1;
}
