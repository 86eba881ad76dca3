#include "websocketserverundertest.h"

#include "core/params.h"
#include "offlinesettings.h"
#include "remote/websockets.h"

#include <QHostAddress>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

WebSocketServerUnderTest::WebSocketServerUnderTest()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.filePath(QStringLiteral("settings")));
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_folder.path()));
}

WebSocketServerUnderTest::~WebSocketServerUnderTest() = default;

void WebSocketServerUnderTest::serve()
{
    // Both loopbacks are served, so that two clients have two addresses.
    m_core->webSockets()->setListenAll(true);
    m_core->webSockets()->setPort(0);
    remote()->setCommunicationMode(RemoteControl::WebSocketMode);
    QVERIFY(m_core->webSockets()->isListening());
    m_port = m_core->webSockets()->serverPort();
    QVERIFY(m_port != 0);
    m_core->params()->pathConditions().pathLength = 1000.0;
}

void WebSocketServerUnderTest::stop()
{
    remote()->setCommunicationMode(RemoteControl::NoCommunication);
    m_core->webSockets()->setAllowWebPages(false);
    m_core->webSockets()->setMaxQueuedBytes(WebSockets::defaultMaxQueuedBytes);
    m_core->webSockets()->setStallTimeout(WebSockets::defaultStallTimeout);
}

std::unique_ptr<QTcpSocket> WebSocketServerUnderTest::rawClient(const QString &source, const QByteArray &headers,
                                                                QByteArray *reply)
{
    auto socket = std::make_unique<QTcpSocket>();
    QTcpSocket *raw = socket.get();
    QObject::connect(raw, &QTcpSocket::readyRead, raw, [raw, reply] {
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

std::unique_ptr<WebSocketClient> WebSocketServerUnderTest::connectClient(const QString &host)
{
    auto client = std::make_unique<WebSocketClient>();
    WebSocketClient *raw = client.get();
    QObject::connect(&client->socket, &QWebSocket::textMessageReceived, &client->socket,
                     [raw](const QString &text) { raw->texts.append(text); });
    QObject::connect(&client->socket, &QWebSocket::binaryMessageReceived, &client->socket,
                     [raw](const QByteArray &bytes) { raw->binaries.append(bytes); });
    QSignalSpy connected(&client->socket, &QWebSocket::connected);
    client->socket.open(QUrl(QStringLiteral("ws://%1:%2").arg(host).arg(m_port)));
    if (!connected.wait(5000))
        return nullptr;
    return client;
}
