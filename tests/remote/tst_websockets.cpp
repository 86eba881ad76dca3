#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "hitranstandinserver.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "spectrumqueries.h"
#include "ui/remotecontrolqml.h"
#include "websocketserverundertest.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

#include <memory>

// The WebSocket transport with real clients over loopback: replies, relay to
// the other clients, binary echo, one connection per address, the connected
// test and the address texts, and commands sent while the program starts or
// calculates. Who is let in and what a client may send or leave unread is
// tested in tst_websocketlimits.
class TestWebSockets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void repliesAndRelayBetweenTwoClients();
    void binaryMessagesAreEchoed();
    void secondConnectionFromAnAddressIsRefused();
    void disconnectEndsTheConnection();
    void addressText_data();
    void addressText();
    void viewObjectFollowsTheServer();
    void randomMessagesNeverStopIt();
    void commandsWaitForTheStartUp();
    void peersAreServedWhileACalculationRuns();
    void workOfPeersThatLeftIsNotRun();

private:
    std::unique_ptr<WebSocketServerUnderTest> m_t;
};

void TestWebSockets::initTestCase()
{
    m_t = std::make_unique<WebSocketServerUnderTest>();
    QVERIFY(m_t->isValid());
}

void TestWebSockets::cleanupTestCase()
{
    m_t.reset();
}

void TestWebSockets::init()
{
    m_t->serve();
}

void TestWebSockets::cleanup()
{
    m_t->stop();
}

void TestWebSockets::repliesAndRelayBetweenTwoClients()
{
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_COMPARE(m_t->core()->webSockets()->peerAddressText(), QStringLiteral("127.0.0.1"));
    QVERIFY(m_t->remote()->isConnected());
    auto b = m_t->connectClient(QStringLiteral("[::1]"));
    if (!b)
        QSKIP("No IPv6 loopback on this machine");
    QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), 2);
    QCOMPARE(m_t->core()->webSockets()->peerAddressText(), QStringLiteral("::1"));

    QSignalSpy updated(m_t->remote(), &RemoteControl::valuesUpdated);
    a->socket.sendTextMessage(QStringLiteral("#PATH;250"));
    a->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    // B sees A's commands unchanged, then the reply; A sees only the reply.
    QTRY_COMPARE(b->texts, (QStringList{"#PATH;250", "#PATH;?", "250"}));
    QTRY_COMPARE(a->texts, QStringList{"250"});
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_t->core()->params()->pathConditions().pathLength, 250.0);

    b->socket.sendTextMessage(QStringLiteral("#LSHAPE;9"));
    QTRY_COMPARE(a->texts.size(), 3);
    QCOMPARE(a->texts.mid(1), (QStringList{"#LSHAPE;9", "LSHAPE : Parameter out of range. Allowed values: 0 to 3."}));
}

void TestWebSockets::binaryMessagesAreEchoed()
{
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QSignalSpy updated(m_t->remote(), &RemoteControl::valuesUpdated);
    const QByteArray bytes("#PATH;5\x00\xff\x80", 10);
    a->socket.sendBinaryMessage(bytes);
    QTRY_COMPARE(a->binaries.size(), 1);
    QCOMPARE(a->binaries.first(), bytes);
    QCOMPARE(a->texts, QStringList());
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_t->core()->params()->pathConditions().pathLength, 1000.0);
}

void TestWebSockets::secondConnectionFromAnAddressIsRefused()
{
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), 1);
    QWebSocket second;
    QSignalSpy closed(&second, &QWebSocket::disconnected);
    second.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_t->port())));
    QVERIFY(closed.wait(5000));
    QCOMPARE(m_t->core()->webSockets()->clientCount(), 1);
    a->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_COMPARE(a->texts, QStringList{"1000"});
}

void TestWebSockets::disconnectEndsTheConnection()
{
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_VERIFY(m_t->remote()->isConnected());
    QSignalSpy state(m_t->core()->webSockets(), &WebSockets::connectedStateChanged);
    a->socket.close();
    QTRY_VERIFY(!m_t->remote()->isConnected());
    QVERIFY(state.count() >= 1);
    QVERIFY(m_t->core()->webSockets()->peerAddressText().isEmpty());
    QSignalSpy updated(m_t->remote(), &RemoteControl::valuesUpdated);
    m_t->remote()->bufferAndProcessCommands(QStringLiteral("#PATH;3"));
    QCOMPARE(updated.count(), 0);
    // Another mode closes the server and drops its clients.
    auto b = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(b);
    QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), 1);
    QSignalSpy dropped(&b->socket, &QWebSocket::disconnected);
    m_t->remote()->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY(!m_t->core()->webSockets()->isListening());
    QVERIFY(dropped.wait(5000));
    QVERIFY(!m_t->remote()->isConnected());
}

void TestWebSockets::addressText_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("text");
    QTest::newRow("IPv4-mapped") << "::ffff:192.168.1.5" << "192.168.1.5";
    QTest::newRow("IPv4") << "10.0.0.2" << "10.0.0.2";
    QTest::newRow("IPv6 loopback") << "::1" << "::1";
    QTest::newRow("IPv6 with f digits") << "fe80::ff:1f" << "fe80::ff:1f";
    QTest::newRow("IPv6 ending in ffff") << "2001:db8::ffff:1" << "2001:db8::ffff:1";
}

void TestWebSockets::addressText()
{
    QFETCH(QString, address);
    QFETCH(QString, text);
    QCOMPARE(WebSockets::addressText(QHostAddress(address)), text);
}

void TestWebSockets::viewObjectFollowsTheServer()
{
    m_t->remote()->setCommunicationMode(RemoteControl::NoCommunication);
    // The "Allow web pages" choice of an earlier run is taken up.
    QSettings().setValue(RemoteControlQml::allowWebPagesKey(), true);
    RemoteControlQml view(nullptr, m_t->remote(), m_t->core()->webSockets());
    QVERIFY(view.allowWebPages() && m_t->core()->webSockets()->allowWebPages());
    view.setAllowWebPages(false);
    QCOMPARE(view.communicationMode(), 0);
    QCOMPARE(view.connectButtonText(), QStringLiteral("  Connect  "));
    QCOMPARE(view.connectedString(), QStringLiteral("00001101-0000-1000-8000-00805f9b34fb"));
    QVERIFY(!view.kolvexDeviceIpAddress().isEmpty());
    QSignalSpy modeChanged(&view, &RemoteControlQml::communicationModeChanged);
    view.setCommunicationMode(0);
    QCOMPARE(modeChanged.count(), 0);
    view.setCommunicationMode(3);
    QCOMPARE(modeChanged.count(), 1);
    QVERIFY(m_t->core()->webSockets()->isListening());
    // A new port restarts the server there.
    view.setPortNumber(QStringLiteral("0"));
    m_t->setPort(m_t->core()->webSockets()->serverPort());
    QVERIFY(m_t->port() != 0);
    QSignalSpy peer(&view, &RemoteControlQml::remoteDeviceIpAddressChanged);
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_COMPARE(view.remoteDeviceIpAddress(), QStringLiteral("127.0.0.1"));
    QVERIFY(peer.count() >= 1);
    view.sendMessage(QStringLiteral("hello"));
    QTRY_COMPARE(a->texts, QStringList{"hello"});
    view.setConnectedToBluetoothServer(QStringLiteral("pad"));
    QCOMPARE(view.connectedString(), QStringLiteral("Connected device: pad"));
    view.setDisconnectedFromBluetoothServer(QStringLiteral("pad"));
    QCOMPARE(view.connectedString(), QStringLiteral("00001101-0000-1000-8000-00805f9b34fb"));
}

// Random bytes, random commands and fields, cut-off commands: afterwards the
// server still answers, and nothing waits in the buffer. (bench_remote runs
// the same with 10 000 messages.)
void TestWebSockets::randomMessagesNeverStopIt()
{
    static const QStringList names = {"SWAVE", "EWAVE", "NUMWNPTS", "PATH", "TEMP", "LSHAPE", "PREC", "FORMAT",
                                      "DELIMITER", "MCONC", "MSEL", "RESULT", "YUNITS", "SWAV_BIN", "LPRO_BIN",
                                      "MCON_BIN", "NOSUCH", ""};
    static const QStringList fields = {"?", spectrumResultItemName(), "WNGRID", "CO", "-1", "0", "3", "256", "-5", "inf", "nan", "x",
                                       "", "2100.5", "1000001", "e"};
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QRandomGenerator random(6);
    for (int i = 0; i < 400; ++i) {
        QString message;
        if (i % 3 == 0) {
            QByteArray bytes(random.bounded(1, 100), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            message = QString::fromLatin1(bytes.constData(), bytes.size());
        } else {
            message = QStringLiteral("#") + names.at(random.bounded(names.size()));
            for (int f = random.bounded(4); f > 0; --f)
                message += QStringLiteral(";") + fields.at(random.bounded(fields.size()));
            if (i % 3 == 2)
                message.truncate(random.bounded(1, message.size() + 1));
        }
        a->socket.sendTextMessage(message);
    }
    a->socket.sendTextMessage(QStringLiteral("#FORMAT;g#PREC;8#PATH;321#PATH;?"));
    QTRY_VERIFY_WITH_TIMEOUT(a->texts.contains(QStringLiteral("321")), 30000);
    QCOMPARE(a->texts.last(), QStringLiteral("321"));
    QVERIFY(m_t->remote()->bufferedText().isEmpty());
    QVERIFY(m_t->remote()->isConnected());
}

// A peer may connect while the program still starts (here a partition-sum
// table is being fetched from a server that does not answer): its CALC
// waits until the tables are loaded and runs, instead of being refused with
// a message that blames the network.
void TestWebSockets::commandsWaitForTheStartUp()
{
    QTemporaryDir folder;
    HitranStandInServer service;
    QVERIFY(service.start());
    service.setFailure(QStringLiteral("/data/Q/"), HitranStandInServer::Failure::NeverAnswer);
    KolvexCore::Settings settings = offlineSettings(folder.path());
    settings.serviceBaseUrl = service.baseUrl();
    settings.networkTimeout = 3000;
    KolvexCore core(settings);
    // Gone before the partition-sum check runs: it is fetched, in vain, then put back.
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("TIPS/q1.txt"))));
    core.webSockets()->setPort(0);
    core.remoteControl()->setCommunicationMode(RemoteControl::WebSocketMode);
    m_t->setPort(core.webSockets()->serverPort());
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    a->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;1001#CALC#RESULT;NUMWNPTS"));
    QVERIFY(!core.tipsLoaded());
    QTRY_COMPARE_WITH_TIMEOUT(a->texts, (QStringList{"READY", "1001"}), 60000);
    QVERIFY(core.tipsLoaded());
    QVERIFY(!core.okDialogText().contains(QStringLiteral("TIPS files unavailable")));
}

// A long calculation runs on its own threads: a client that connects
// meanwhile finishes its handshake and its query about a setting is answered
// at once, before the calculation's READY; its set command waits for the end.
void TestWebSockets::peersAreServedWhileACalculationRuns()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_t->core()->tipsLoaded(), 30000);
    auto first = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(first);
    first->socket.sendTextMessage(QStringLiteral("#SWAVE;1500#EWAVE;3000#NUMWNPTS;300000#LWINGABS;20#LWINGSAT;2000#CALC"));
    QTRY_VERIFY(m_t->core()->calculationIsRunning());
    auto second = m_t->connectClient(QStringLiteral("[::1]"));
    QVERIFY(second);
    QVERIFY(m_t->core()->calculationIsRunning());
    bool answeredWhileRunning = false;
    connect(&second->socket, &QWebSocket::textMessageReceived, this, [&](const QString &text) {
        if (text == QLatin1String("1000"))
            answeredWhileRunning = m_t->core()->calculationIsRunning() && !first->texts.contains(QStringLiteral("READY"));
    });
    second->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_VERIFY_WITH_TIMEOUT(second->texts.contains(QStringLiteral("1000")), 30000);
    QVERIFY(answeredWhileRunning);
    // A set command during the calculation takes effect once it has ended.
    second->socket.sendTextMessage(QStringLiteral("#PATH;500#PATH;?"));
    QTest::qWait(50);
    QCOMPARE(m_t->core()->params()->pathConditions().pathLength, 1000.0);
    QTRY_VERIFY_WITH_TIMEOUT(first->texts.contains(QStringLiteral("READY")), 120000);
    QTRY_VERIFY(second->texts.contains(QStringLiteral("500")));
    QCOMPARE(m_t->core()->params()->pathConditions().pathLength, 500.0);
    first->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;10000#LWINGABS;1#LWINGSAT;50#SWAVE;2000#EWAVE;2300"));
    QTRY_VERIFY(!m_t->remote()->busy());
}

// Clients that each ask for a calculation and leave at once: the calculation
// that has started finishes (its results are shared), the others are never
// run, and a client that stays is served.
void TestWebSockets::workOfPeersThatLeftIsNotRun()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_t->core()->tipsLoaded(), 30000);
    QSignalSpy calculations(m_t->core()->lbl(), &Lbl::calculationComplete);
    auto stays = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(stays);
    stays->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;200000#LWINGABS;10#LWINGSAT;1000"));
    QTRY_VERIFY(!m_t->remote()->busy());
    for (int i = 0; i < 8; ++i) {
        auto leaves = m_t->connectClient(QStringLiteral("[::1]"));
        QVERIFY(leaves);
        leaves->socket.sendTextMessage(QStringLiteral("#CALC"));
        QTRY_VERIFY(m_t->core()->calculationIsRunning());
        leaves->socket.close();
        QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), 1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(stays->texts.contains(QStringLiteral("READY")), 120000);
    stays->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;?"));
    QTRY_VERIFY(stays->texts.contains(QStringLiteral("200000")));
    QVERIFY(!m_t->core()->calculationIsRunning());
    QCOMPARE(calculations.count(), 1);
    QCOMPARE(stays->texts.count(QStringLiteral("READY")), 1);
    stays->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;10000#LWINGABS;1#LWINGSAT;50"));
    QTRY_VERIFY(!m_t->remote()->busy());
}

QTEST_GUILESS_MAIN(TestWebSockets)
#include "tst_websockets.moc"
