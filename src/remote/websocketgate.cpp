#include "remote/websocketgate.h"

#include "remote/lingeringclose.h"

#include <QDebug>
#include <QHostInfo>
#include <QList>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {

const char screenedProperty[] = "kolvexScreened";

} // namespace

WebSocketGate::WebSocketGate(QObject *parent)
    : QObject(parent)
    , m_server(new QWebSocketServer(QStringLiteral("kolvex web socket server"), QWebSocketServer::NonSecureMode,
                                    this))
{
    connect(m_server, &QWebSocketServer::newConnection, this, &WebSocketGate::newConnection);
    connect(&m_listener, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
            // A client that never finishes its handshake is not kept waiting for.
            auto *timer = new QTimer(socket);
            timer->setSingleShot(true);
            connect(timer, &QTimer::timeout, socket, &QTcpSocket::abort);
            timer->start(m_handshakeTimeoutMs);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { screen(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            screen(socket);
        }
    });
}

WebSocketGate::~WebSocketGate()
{
    close();
}

bool WebSocketGate::listen(const QHostAddress &address, quint16 port)
{
    return m_listener.listen(address, port);
}

void WebSocketGate::close()
{
    m_listener.close();
    const QList<QTcpSocket *> waiting = m_listener.findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : waiting)
        socket->abort();
}

QWebSocket *WebSocketGate::nextPendingConnection()
{
    return m_server->nextPendingConnection();
}

void WebSocketGate::screen(QTcpSocket *socket)
{
    if (socket->property(screenedProperty).toBool())
        return;
    const QByteArray head = socket->peek(maxHandshakeBytes + 1);
    const int end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > maxHandshakeBytes)
            socket->abort();
        return;
    }
    QString origin;
    QByteArray kept;
    const QList<QByteArray> lines = head.left(end).split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray field = line.trimmed();
        const QByteArray name = field.left(field.indexOf(':')).trimmed().toLower();
        if (name == "origin" || name == "sec-websocket-origin") {
            origin = QString::fromLatin1(field.mid(field.indexOf(':') + 1).trimmed());
            continue;
        }
        kept += (line.endsWith('\r') ? line.chopped(1) : line) + "\r\n";
    }
    if (!origin.isEmpty() && !m_allowWebPages && !isOwnOrigin(origin, socket->localAddress(), serverPort())) {
        refuse(socket, origin);
        return;
    }
    socket->setProperty(screenedProperty, true);
    disconnect(socket, nullptr, this, nullptr);
    delete socket->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    // The handshake goes back into the socket without its origin, byte by byte
    // from the end, for the WebSocket server to read.
    socket->read(end + 4);
    kept += "\r\n";
    for (int i = kept.size() - 1; i >= 0; --i)
        socket->ungetChar(kept.at(i));
    // The WebSocket server owns the socket from here on. When it closes the
    // connection, a client still sending (a message too large, say) hears the
    // close frame and its reason instead of a reset.
    LingeringClose::watch(socket);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->setParent(nullptr);
    m_server->handleConnection(socket);
}

void WebSocketGate::refuse(QTcpSocket *socket, const QString &origin)
{
    qWarning().noquote() << QStringLiteral("Refused a WebSocket connection from %1: it was opened by the web page "
                                           "%2. Switch on \"Allow web pages\" on the Connect screen to let web pages in.")
                                .arg(socket->peerAddress().toString(), origin.left(200));
    socket->setProperty(screenedProperty, true);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->write("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
}

bool WebSocketGate::isOwnOrigin(const QString &origin, const QHostAddress &localAddress, quint16 port)
{
    const QUrl url(origin);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https") || scheme == QLatin1String("wss");
    if (!secure && scheme != QLatin1String("http") && scheme != QLatin1String("ws"))
        return false;
    if (url.port(secure ? 443 : 80) != port)
        return false;
    const QString host = url.host().toLower();
    const QHostAddress address(host);
    if (!address.isNull())
        return address.isEqual(localAddress, QHostAddress::ConvertV4MappedToIPv4);
    if (host == QLatin1String("localhost"))
        return localAddress.isLoopback();
    const QString name = QHostInfo::localHostName().toLower();
    return !name.isEmpty() && (host == name || host == name + QLatin1String(".local"));
}
