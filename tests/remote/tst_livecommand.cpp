#include "app/kolvexcore.h"
#include "app/livecalculation.h"
#include "consolescript.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "websocketserverundertest.h"

#include <QtTest>

#include <memory>

// The LIVE command over the console and a WebSocket: switched on (as text or
// binary), each change a peer makes is calculated by itself, each finished
// calculation answers READY, and a RESULT query after a change waits for its
// results; switched off, a change is only stored, as before.
class TestLiveCommand : public QObject
{
    Q_OBJECT

private slots:
    void overTheConsole();
    void overAWebSocket();
};

void TestLiveCommand::overTheConsole()
{
    // One message's changes make one calculation; RESULT;TEMP names the
    // temperature the results were calculated at.
    const QByteArray input = "#LIVE;?\n"
                             "#LIVE_BIN;\x01#TEMP;250#RESULT;TEMP\n"
                             "#TEMP;260#PATH;20#TEMP;270#RESULT;TEMP\n"
                             "#LIVE;?\n"
                             "#LIVE_BIN;?\n"
                             "#TEMP;270#RESULT;TEMP\n"
                             "#LIVE;0#TEMP;280#RESULT;TEMP\n"
                             "#LIVE;?\n"
                             "#LIVE;2#LIVE_BIN;?\n";
    const ConsoleScript console = ConsoleScript::run(input, 120000);
    QVERIFY(console.finished);
    QCOMPARE(console.exitCode, 0);
    const QList<QByteArray> expected = {
        "0",                  // off by default
        "READY", "250",       // switched on with a change: one calculation
        "READY", "270",       // three changes in one message: one calculation, of the last values
        "1", "\x01",
        "270",                // a value as it was: nothing to calculate
        "270",                // switched off: the change is stored, not calculated
        "0",
        "\x01", "READY",      // any non-zero switches on; the query is answered at once, then the
                              // values of now are calculated
    };
    QCOMPARE(console.output.split('\n').mid(0, expected.size()), expected);
    QCOMPARE(console.output.split('\n').size(), expected.size() + 1);
}

void TestLiveCommand::overAWebSocket()
{
    WebSocketServerUnderTest server;
    QVERIFY(server.isValid());
    server.serve();
    auto client = server.connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(client);
    QTRY_VERIFY(server.remote()->isConnected());

    client->socket.sendTextMessage(QStringLiteral("#LIVE;1"));
    QTRY_COMPARE(client->texts, QStringList{"READY"});
    QVERIFY(server.core()->liveCalculation()->liveCalculation());
    // Changes in messages of their own, sent at once: a calculation for the
    // first, and at most one more, with the values of the last; the RESULT
    // query behind them waits for it.
    client->texts.clear();
    for (int kelvin = 251; kelvin <= 260; ++kelvin)
        client->socket.sendTextMessage(QStringLiteral("#TEMP;%1").arg(kelvin));
    client->socket.sendTextMessage(QStringLiteral("#RESULT;TEMP"));
    QTRY_VERIFY_WITH_TIMEOUT(client->texts.contains(QStringLiteral("260")), 60000);
    QCOMPARE(client->texts.last(), QStringLiteral("260"));
    QVERIFY(client->texts.count(QStringLiteral("READY")) >= 1);
    QVERIFY(client->texts.count(QStringLiteral("READY")) <= 10);
    QCOMPARE(client->texts.size(), client->texts.count(QStringLiteral("READY")) + 1);

    // Off: a change is stored and answered by nothing.
    client->texts.clear();
    client->socket.sendTextMessage(QStringLiteral("#LIVE;0#PATH;50#PATH;?#RESULT;PATH"));
    QTRY_COMPARE(client->texts, (QStringList{"50", "1000"}));
    server.stop();
}

QTEST_GUILESS_MAIN(TestLiveCommand)
#include "tst_livecommand.moc"
