#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "hitranstandinserver.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "spectrumqueries.h"
#include "ui/remotecontrolqml.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtEndian>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// The WebSocket transport with real clients over loopback: replies, relay to
// the other clients, binary echo, one connection per address, the connected
// test and the address texts; who is let in, clients that do not read, and
// commands sent while the program starts.
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
    void rangeScriptInEitherOrder();
    void randomMessagesNeverStopIt();
    void clientClosingDuringItsCalculationLeavesTheServerRunning();
    void handshakeOrigin_data();
    void handshakeOrigin();
    void clientThatDoesNotReadIsDropped();
    void messageBeyondTheBoundIsRefusedWithAReason();
    void frameBeyondWhatIsHeldStillHearsWhy();
    void commandsWaitForTheStartUp();
    void peersAreServedWhileACalculationRuns();
    void workOfPeersThatLeftIsNotRun();

private:
    struct Client
    {
        QWebSocket socket;
        QStringList texts;
        QList<QByteArray> binaries;
    };
    std::unique_ptr<Client> connectClient(const QString &host);
    // A client of its own making, from `source`: the handshake with these extra
    // header lines, and nothing read beyond what the socket's small buffer takes.
    std::unique_ptr<QTcpSocket> rawClient(const QString &source, const QByteArray &headers, QByteArray *reply);

    QTemporaryDir m_folder;
    KolvexCore *m_core = nullptr;
    RemoteControl *m_remote = nullptr;
    quint16 m_port = 0;
};

void TestWebSockets::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.filePath(QStringLiteral("settings")));
    m_core = new KolvexCore(offlineSettings(m_folder.path()));
    m_remote = m_core->remoteControl();
}

void TestWebSockets::cleanupTestCase()
{
    delete m_core;
}

void TestWebSockets::init()
{
    // Both loopbacks are served, so that two clients have two addresses.
    m_core->webSockets()->setListenAll(true);
    m_core->webSockets()->setPort(0);
    m_remote->setCommunicationMode(RemoteControl::WebSocketMode);
    QVERIFY(m_core->webSockets()->isListening());
    m_port = m_core->webSockets()->serverPort();
    QVERIFY(m_port != 0);
    m_core->params()->pathConditions().pathLength = 1000.0;
}

void TestWebSockets::cleanup()
{
    m_remote->setCommunicationMode(RemoteControl::NoCommunication);
    m_core->webSockets()->setAllowWebPages(false);
    m_core->webSockets()->setMaxQueuedBytes(WebSockets::defaultMaxQueuedBytes);
    m_core->webSockets()->setStallTimeout(WebSockets::defaultStallTimeout);
}

std::unique_ptr<QTcpSocket> TestWebSockets::rawClient(const QString &source, const QByteArray &headers,
                                                      QByteArray *reply)
{
    auto socket = std::make_unique<QTcpSocket>();
    QTcpSocket *raw = socket.get();
    connect(raw, &QTcpSocket::readyRead, this, [raw, reply] {
        if (!reply->contains("\r\n\r\n"))
            *reply += raw->read(4096);
    });
    raw->setReadBufferSize(4096);
    if (!raw->bind(QHostAddress(source)))
        return nullptr;
    raw->connectToHost(QHostAddress::LocalHost, m_port);
    raw->write("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port)
               + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
               + headers + "\r\n");
    return socket;
}

std::unique_ptr<TestWebSockets::Client> TestWebSockets::connectClient(const QString &host)
{
    auto client = std::make_unique<Client>();
    Client *raw = client.get();
    connect(&client->socket, &QWebSocket::textMessageReceived, this, [raw](const QString &text) { raw->texts.append(text); });
    connect(&client->socket, &QWebSocket::binaryMessageReceived, this,
            [raw](const QByteArray &bytes) { raw->binaries.append(bytes); });
    QSignalSpy connected(&client->socket, &QWebSocket::connected);
    client->socket.open(QUrl(QStringLiteral("ws://%1:%2").arg(host).arg(m_port)));
    if (!connected.wait(5000))
        return nullptr;
    return client;
}

void TestWebSockets::repliesAndRelayBetweenTwoClients()
{
    auto a = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_COMPARE(m_core->webSockets()->peerAddressText(), QStringLiteral("127.0.0.1"));
    QVERIFY(m_remote->isConnected());
    auto b = connectClient(QStringLiteral("[::1]"));
    if (!b)
        QSKIP("No IPv6 loopback on this machine");
    QTRY_COMPARE(m_core->webSockets()->clientCount(), 2);
    QCOMPARE(m_core->webSockets()->peerAddressText(), QStringLiteral("::1"));

    QSignalSpy updated(m_remote, &RemoteControl::valuesUpdated);
    a->socket.sendTextMessage(QStringLiteral("#PATH;250"));
    a->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    // B sees A's commands unchanged, then the reply; A sees only the reply.
    QTRY_COMPARE(b->texts, (QStringList{"#PATH;250", "#PATH;?", "250"}));
    QTRY_COMPARE(a->texts, QStringList{"250"});
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_core->params()->pathConditions().pathLength, 250.0);

    b->socket.sendTextMessage(QStringLiteral("#LSHAPE;9"));
    QTRY_COMPARE(a->texts.size(), 3);
    QCOMPARE(a->texts.mid(1), (QStringList{"#LSHAPE;9", "LSHAPE : Parameter out of range. Allowed values: 0 to 3."}));
}

void TestWebSockets::binaryMessagesAreEchoed()
{
    auto a = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QSignalSpy updated(m_remote, &RemoteControl::valuesUpdated);
    const QByteArray bytes("#PATH;5\x00\xff\x80", 10);
    a->socket.sendBinaryMessage(bytes);
    QTRY_COMPARE(a->binaries.size(), 1);
    QCOMPARE(a->binaries.first(), bytes);
    QCOMPARE(a->texts, QStringList());
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_core->params()->pathConditions().pathLength, 1000.0);
}

void TestWebSockets::secondConnectionFromAnAddressIsRefused()
{
    auto a = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_COMPARE(m_core->webSockets()->clientCount(), 1);
    QWebSocket second;
    QSignalSpy closed(&second, &QWebSocket::disconnected);
    second.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_port)));
    QVERIFY(closed.wait(5000));
    QCOMPARE(m_core->webSockets()->clientCount(), 1);
    a->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_COMPARE(a->texts, QStringList{"1000"});
}

void TestWebSockets::disconnectEndsTheConnection()
{
    auto a = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    QTRY_VERIFY(m_remote->isConnected());
    QSignalSpy state(m_core->webSockets(), &WebSockets::connectedStateChanged);
    a->socket.close();
    QTRY_VERIFY(!m_remote->isConnected());
    QVERIFY(state.count() >= 1);
    QVERIFY(m_core->webSockets()->peerAddressText().isEmpty());
    QSignalSpy updated(m_remote, &RemoteControl::valuesUpdated);
    m_remote->bufferAndProcessCommands(QStringLiteral("#PATH;3"));
    QCOMPARE(updated.count(), 0);
    // Another mode closes the server and drops its clients.
    auto b = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(b);
    QTRY_COMPARE(m_core->webSockets()->clientCount(), 1);
    QSignalSpy dropped(&b->socket, &QWebSocket::disconnected);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY(!m_core->webSockets()->isListening());
    QVERIFY(dropped.wait(5000));
    QVERIFY(!m_remote->isConnected());
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
    m_remote->setCommunicationMode(RemoteControl::NoCommunication);
    // The "Allow web pages" choice of an earlier run is taken up.
    QSettings().setValue(RemoteControlQml::allowWebPagesKey(), true);
    RemoteControlQml view(nullptr, m_remote, m_core->webSockets());
    QVERIFY(view.allowWebPages() && m_core->webSockets()->allowWebPages());
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
    QVERIFY(m_core->webSockets()->isListening());
    // A new port restarts the server there.
    view.setPortNumber(QStringLiteral("0"));
    m_port = m_core->webSockets()->serverPort();
    QVERIFY(m_port != 0);
    QSignalSpy peer(&view, &RemoteControlQml::remoteDeviceIpAddressChanged);
    auto a = connectClient(QStringLiteral("127.0.0.1"));
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

// A peer's script that sets a start above the old end before the end: the
// calculation covers exactly the range sent.
void TestWebSockets::rangeScriptInEitherOrder()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    auto a = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(a);
    for (const char *command : {"#FORMAT;g", "#PREC;8", "#SWAVE;2000", "#EWAVE;2300", "#SWAVE;2380", "#EWAVE;2400",
                                "#NUMWNPTS;201", "#CALC", "#RESULT;SWAVE", "#RESULT;EWAVE", "#RESULT;NUMWNPTS"})
        a->socket.sendTextMessage(QLatin1String(command));
    QTRY_COMPARE_WITH_TIMEOUT(a->texts, (QStringList{"READY", "2380", "2400", "201"}), 60000);
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
    auto a = connectClient(QStringLiteral("127.0.0.1"));
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
    QVERIFY(m_remote->bufferedText().isEmpty());
    QVERIFY(m_remote->isConnected());
}

// A peer may hang up while the calculation it asked for runs; the server must
// finish the calculation, forget the peer and go on serving the next one.
void TestWebSockets::clientClosingDuringItsCalculationLeavesTheServerRunning()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    QSignalSpy complete(m_core->lbl(), &Lbl::calculationComplete);
    {
        auto a = connectClient(QStringLiteral("127.0.0.1"));
        QVERIFY(a);
        a->socket.sendTextMessage(QStringLiteral("#SWAVE;1000#EWAVE;3500#NUMWNPTS;300000#CALC"));
        a->socket.flush();
        a->socket.close();
    }
    QVERIFY(complete.wait(120000));
    QTRY_VERIFY(!m_remote->isConnected());
    auto b = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(b);
    b->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;1000#NUMWNPTS;?"));
    QTRY_COMPARE(b->texts, QStringList{"1000"});
}

void TestWebSockets::handshakeOrigin_data()
{
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("webPagesAllowed");
    QTest::addColumn<bool>("admitted");
    QTest::newRow("no origin (a program)") << QString() << false << true;
    QTest::newRow("this device, as client libraries send") << "http://127.0.0.1:%1" << false << true;
    QTest::newRow("localhost") << "http://localhost:%1" << false << true;
    QTest::newRow("a web page elsewhere") << "http://evil.example.com" << false << false;
    QTest::newRow("this address, another port") << "http://127.0.0.1:8080" << false << false;
    QTest::newRow("a web page, web pages allowed") << "http://evil.example.com" << true << true;
}

// Any web page the user opens could drive the device: a handshake whose
// origin names another site is refused unless web pages are allowed, and no
// reply echoes an origin.
void TestWebSockets::handshakeOrigin()
{
    QFETCH(QString, origin);
    QFETCH(bool, webPagesAllowed);
    QFETCH(bool, admitted);
    m_core->webSockets()->setAllowWebPages(webPagesAllowed);
    origin.replace(QLatin1String("%1"), QString::number(m_port));
    const QByteArray header = origin.isEmpty() ? QByteArray() : "Origin: " + origin.toLatin1() + "\r\n";
    QByteArray reply;
    if (!admitted)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Refused a WebSocket connection")));
    auto client = rawClient(QStringLiteral("127.0.0.1"), header, &reply);
    QVERIFY(client);
    QTRY_VERIFY(reply.contains("\r\n\r\n"));
    QCOMPARE(reply.startsWith("HTTP/1.1 101"), admitted);
    QCOMPARE(reply.startsWith("HTTP/1.1 403"), !admitted);
    QVERIFY2(!reply.contains("Access-Control-Allow-Origin: http"), reply.constData());
    QTRY_COMPARE(m_core->webSockets()->clientCount(), admitted ? 1 : 0);
}

// A client that asks for large results and never reads them is dropped once
// it takes nothing for the stall time; what it asked for and is not yet
// answered is not run for the others, the client that reads is answered at
// once, and what waits for one client stays bounded.
void TestWebSockets::clientThatDoesNotReadIsDropped()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    WebSockets *server = m_core->webSockets();
    server->setMaxQueuedBytes(256 * 1024);
    server->setStallTimeout(300);
    auto reader = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(reader);
    reader->socket.sendTextMessage(
        QStringLiteral("#DELIMITER;,#FORMAT;g#PREC;8#SWAVE;2000#EWAVE;2300#NUMWNPTS;50000#CALC"));
    QTRY_COMPARE_WITH_TIMEOUT(reader->texts, QStringList{"READY"}, 60000);

    QByteArray handshake;
    auto silent = rawClient(QStringLiteral("127.0.0.2"), QByteArray(), &handshake);
    QVERIFY(silent);
    QTRY_COMPARE(server->clientCount(), 2);
    // One masked text frame (a zero mask leaves the text as it is) of 30 queries
    // of the 50 000-point grid, about 15 MB of replies.
    const QByteArray queries = QByteArray("#RESULT;WNGRID").repeated(30);
    QByteArray frame("\x81\xfe", 2);
    frame += char(queries.size() >> 8);
    frame += char(queries.size() & 0xff);
    frame += QByteArray(4, '\0') + queries;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not read its replies")));
    silent->write(frame);
    QTRY_COMPARE_WITH_TIMEOUT(server->clientCount(), 1, 60000);
    // READY, the relayed queries, and the replies sent before the drop.
    QTRY_VERIFY_WITH_TIMEOUT(reader->texts.size() >= 3, 60000);
    QCOMPARE(reader->texts.at(2).count(QLatin1Char(',')), 49999);
    reader->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_COMPARE(reader->texts.last(), QStringLiteral("1000"));
    QVERIFY2(reader->texts.size() < 2 + 30 + 1, qPrintable(QString::number(reader->texts.size())));
}

// A message larger than the bound (4 MiB) is not run: its client is closed
// with code 1009 and a reason that names the bound, the log says which client
// it was, and the other clients go on being served.
void TestWebSockets::messageBeyondTheBoundIsRefusedWithAReason()
{
    auto a = connectClient(QStringLiteral("127.0.0.1"));
    auto b = connectClient(QStringLiteral("[::1]"));
    QVERIFY(a && b);
    QTRY_COMPARE(m_core->webSockets()->clientCount(), 2);
    QSignalSpy closed(&a->socket, &QWebSocket::disconnected);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^The WebSocket client 127.0.0.1 sent a message of more "
                                                           "than 4194304 bytes; it is disconnected.")));
    // A valid command followed by blanks: 5 MiB in all.
    a->socket.sendTextMessage(QStringLiteral("#PATH;2") + QString(5 * 1024 * 1024, QLatin1Char(' ')));
    QVERIFY(closed.wait(30000));
    QCOMPARE(a->socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    QVERIFY2(a->socket.closeReason().contains(QLatin1String("4194304 bytes")), qPrintable(a->socket.closeReason()));
    QCOMPARE(m_core->params()->pathConditions().pathLength, 1000.0);
    // Neither run nor relayed; the other client is served.
    b->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_COMPARE(b->texts, QStringList{"1000"});
    QTRY_COMPARE(m_core->webSockets()->clientCount(), 1);
}

// A client that sends one frame of 20 MiB, more than the WebSocket library
// holds, is closed as soon as the frame's length is read. It is still sending
// then; the connection is kept open and what it sends is read and dropped,
// so that the close frame (1009) reaches it instead of a reset.
void TestWebSockets::frameBeyondWhatIsHeldStillHearsWhy()
{
    const quint16 port = m_port;
    std::atomic<bool> done{false};
    QByteArray received;
    QString failure;
    // A plain blocking client on a thread of its own: it sends the whole
    // frame before it reads, as simple clients do.
    std::thread client([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto sendAll = [fd](const QByteArray &bytes) {
            for (int sent = 0; sent < bytes.size();) {
                const ssize_t count = ::send(fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
                if (count <= 0)
                    return false;
                sent += int(count);
            }
            return true;
        };
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            failure = QStringLiteral("no connection");
        } else {
            const QByteArray handshake = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
                + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                  "Sec-WebSocket-Version: 13\r\n\r\n";
            QByteArray reply;
            char chunk[65536];
            sendAll(handshake);
            while (!reply.contains("\r\n\r\n")) {
                const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
                if (count <= 0)
                    break;
                reply.append(chunk, int(count));
            }
            // A masked text frame (a zero mask) announcing 20 MiB, then the bytes.
            const quint64 length = quint64(20) << 20;
            QByteArray frame("\x81\xff", 2);
            for (int shift = 56; shift >= 0; shift -= 8)
                frame += char((length >> shift) & 0xff);
            frame += QByteArray(4, '\0');
            bool sent = sendAll(frame);
            const QByteArray block(1 << 20, ' ');
            for (quint64 i = 0; sent && i < (length >> 20); ++i)
                sent = sendAll(block);
            if (!sent)
                failure = QStringLiteral("the connection was reset while the frame was sent");
            for (;;) {
                const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
                if (count <= 0)
                    break;
                received.append(chunk, int(count));
            }
        }
        ::close(fd);
        done = true;
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("sent a message of more than 16777216 bytes")));
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
    client.join();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    // The close frame: 0x88, its length, then the code 1009 (0x03f1) and the reason.
    QVERIFY2(received.size() >= 4, received.toHex().constData());
    QCOMPARE(quint8(received.at(0)), quint8(0x88));
    QCOMPARE(quint16(quint8(received.at(2)) << 8 | quint8(received.at(3))), quint16(1009));
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
    m_port = core.webSockets()->serverPort();
    auto a = connectClient(QStringLiteral("127.0.0.1"));
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
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    auto first = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(first);
    first->socket.sendTextMessage(QStringLiteral("#SWAVE;1500#EWAVE;3000#NUMWNPTS;300000#LWINGABS;20#LWINGSAT;2000#CALC"));
    QTRY_VERIFY(m_core->calculationIsRunning());
    auto second = connectClient(QStringLiteral("[::1]"));
    QVERIFY(second);
    QVERIFY(m_core->calculationIsRunning());
    bool answeredWhileRunning = false;
    connect(&second->socket, &QWebSocket::textMessageReceived, this, [&](const QString &text) {
        if (text == QLatin1String("1000"))
            answeredWhileRunning = m_core->calculationIsRunning() && !first->texts.contains(QStringLiteral("READY"));
    });
    second->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_VERIFY_WITH_TIMEOUT(second->texts.contains(QStringLiteral("1000")), 30000);
    QVERIFY(answeredWhileRunning);
    // A set command during the calculation takes effect once it has ended.
    second->socket.sendTextMessage(QStringLiteral("#PATH;500#PATH;?"));
    QTest::qWait(50);
    QCOMPARE(m_core->params()->pathConditions().pathLength, 1000.0);
    QTRY_VERIFY_WITH_TIMEOUT(first->texts.contains(QStringLiteral("READY")), 120000);
    QTRY_VERIFY(second->texts.contains(QStringLiteral("500")));
    QCOMPARE(m_core->params()->pathConditions().pathLength, 500.0);
    first->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;10000#LWINGABS;1#LWINGSAT;50#SWAVE;2000#EWAVE;2300"));
    QTRY_VERIFY(!m_remote->busy());
}

// Clients that each ask for a calculation and leave at once: the calculation
// that has started finishes (its results are shared), the others are never
// run, and a client that stays is served.
void TestWebSockets::workOfPeersThatLeftIsNotRun()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    QSignalSpy calculations(m_core->lbl(), &Lbl::calculationComplete);
    auto stays = connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(stays);
    stays->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;200000#LWINGABS;10#LWINGSAT;1000"));
    QTRY_VERIFY(!m_remote->busy());
    for (int i = 0; i < 8; ++i) {
        auto leaves = connectClient(QStringLiteral("[::1]"));
        QVERIFY(leaves);
        leaves->socket.sendTextMessage(QStringLiteral("#CALC"));
        QTRY_VERIFY(m_core->calculationIsRunning());
        leaves->socket.close();
        QTRY_COMPARE(m_core->webSockets()->clientCount(), 1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(stays->texts.contains(QStringLiteral("READY")), 120000);
    stays->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;?"));
    QTRY_VERIFY(stays->texts.contains(QStringLiteral("200000")));
    QVERIFY(!m_core->calculationIsRunning());
    QCOMPARE(calculations.count(), 1);
    QCOMPARE(stays->texts.count(QStringLiteral("READY")), 1);
    stays->socket.sendTextMessage(QStringLiteral("#NUMWNPTS;10000#LWINGABS;1#LWINGSAT;50"));
    QTRY_VERIFY(!m_remote->busy());
}

QTEST_GUILESS_MAIN(TestWebSockets)
#include "tst_websockets.moc"
