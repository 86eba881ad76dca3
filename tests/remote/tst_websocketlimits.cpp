#include "app/kolvexcore.h"
#include "core/params.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "websocketserverundertest.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// Who the WebSocket server lets in, and the limits of what a client may
// send and leave unread: a handshake from another site's page, a client that
// does not read its replies, a message beyond the bound, and a frame larger
// than the WebSocket library holds.
class TestWebSocketLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void handshakeOrigin_data();
    void handshakeOrigin();
    void clientThatDoesNotReadIsDropped();
    void messageBeyondTheBoundIsRefusedWithAReason();
    void frameBeyondWhatIsHeldStillHearsWhy();

private:
    std::unique_ptr<WebSocketServerUnderTest> m_t;
};

void TestWebSocketLimits::initTestCase()
{
    m_t = std::make_unique<WebSocketServerUnderTest>();
    QVERIFY(m_t->isValid());
}

void TestWebSocketLimits::cleanupTestCase()
{
    m_t.reset();
}

void TestWebSocketLimits::init()
{
    m_t->serve();
}

void TestWebSocketLimits::cleanup()
{
    m_t->stop();
}

void TestWebSocketLimits::handshakeOrigin_data()
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
void TestWebSocketLimits::handshakeOrigin()
{
    QFETCH(QString, origin);
    QFETCH(bool, webPagesAllowed);
    QFETCH(bool, admitted);
    m_t->core()->webSockets()->setAllowWebPages(webPagesAllowed);
    origin.replace(QLatin1String("%1"), QString::number(m_t->port()));
    const QByteArray header = origin.isEmpty() ? QByteArray() : "Origin: " + origin.toLatin1() + "\r\n";
    QByteArray reply;
    if (!admitted)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Refused a WebSocket connection")));
    auto client = m_t->rawClient(QStringLiteral("127.0.0.1"), header, &reply);
    QVERIFY(client);
    QTRY_VERIFY(reply.contains("\r\n\r\n"));
    QCOMPARE(reply.startsWith("HTTP/1.1 101"), admitted);
    QCOMPARE(reply.startsWith("HTTP/1.1 403"), !admitted);
    QVERIFY2(!reply.contains("Access-Control-Allow-Origin: http"), reply.constData());
    QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), admitted ? 1 : 0);
}

// A client that asks for large results and never reads them is dropped once
// it takes nothing for the stall time; what it asked for and is not yet
// answered is not run for the others, the client that reads is answered at
// once, and what waits for one client stays bounded.
void TestWebSocketLimits::clientThatDoesNotReadIsDropped()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_t->core()->tipsLoaded(), 30000);
    WebSockets *server = m_t->core()->webSockets();
    server->setMaxQueuedBytes(256 * 1024);
    server->setStallTimeout(300);
    auto reader = m_t->connectClient(QStringLiteral("127.0.0.1"));
    QVERIFY(reader);
    reader->socket.sendTextMessage(
        QStringLiteral("#DELIMITER;,#FORMAT;g#PREC;8#SWAVE;2000#EWAVE;2300#NUMWNPTS;50000#CALC"));
    QTRY_COMPARE_WITH_TIMEOUT(reader->texts, QStringList{"READY"}, 60000);

    QByteArray handshake;
    auto silent = m_t->rawClient(QStringLiteral("127.0.0.2"), QByteArray(), &handshake);
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
void TestWebSocketLimits::messageBeyondTheBoundIsRefusedWithAReason()
{
    auto a = m_t->connectClient(QStringLiteral("127.0.0.1"));
    auto b = m_t->connectClient(QStringLiteral("[::1]"));
    QVERIFY(a && b);
    QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), 2);
    QSignalSpy closed(&a->socket, &QWebSocket::disconnected);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^The WebSocket client 127.0.0.1 sent a message of more "
                                                           "than 4194304 bytes; it is disconnected.")));
    // A valid command followed by blanks: 5 MiB in all.
    a->socket.sendTextMessage(QStringLiteral("#PATH;2") + QString(5 * 1024 * 1024, QLatin1Char(' ')));
    QVERIFY(closed.wait(30000));
    QCOMPARE(a->socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    QVERIFY2(a->socket.closeReason().contains(QLatin1String("4194304 bytes")), qPrintable(a->socket.closeReason()));
    QCOMPARE(m_t->core()->params()->pathConditions().pathLength, 1000.0);
    // Neither run nor relayed; the other client is served.
    b->socket.sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_COMPARE(b->texts, QStringList{"1000"});
    QTRY_COMPARE(m_t->core()->webSockets()->clientCount(), 1);
}

// A client that sends one frame of 20 MiB, more than the WebSocket library
// holds, is closed as soon as the frame's length is read. It is still sending
// then; the connection is kept open and what it sends is read and dropped,
// so that the close frame (1009) reaches it instead of a reset.
void TestWebSocketLimits::frameBeyondWhatIsHeldStillHearsWhy()
{
    const quint16 port = m_t->port();
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

QTEST_GUILESS_MAIN(TestWebSocketLimits)
#include "tst_websocketlimits.moc"
