#include "remote/websockets.h"

#include "remote/websocketgate.h"

#include <QDebug>
#include <QEventLoop>
#include <QNetworkInterface>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>

WebSockets::WebSockets(quint16 port, QObject *parent)
    : Transport(parent)
    , m_port(port)
{
    // Closed until a mode that uses it enables it.
}

WebSockets::~WebSockets()
{
    stop();
}

void WebSockets::setEnabled(bool enabled)
{
    if (enabled)
        start();
    else
        stop();
}

bool WebSockets::isListening() const
{
    return m_server && m_server->isListening();
}

void WebSockets::setPort(int port)
{
    m_port = quint16(port);
    start();
}

quint16 WebSockets::serverPort() const
{
    return isListening() ? m_server->serverPort() : 0;
}

void WebSockets::start()
{
    stop();
    m_server = new WebSocketGate(this);
    m_server->setAllowWebPages(m_allowWebPages);
    const QHostAddress address = m_listenAll ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost);
    // A port in use leaves the server closed; the view shows no peer then.
    if (!m_server->listen(address, m_port))
        return;
    connect(m_server, &WebSocketGate::newConnection, this, &WebSockets::onNewConnection);
}

void WebSockets::setAllowWebPages(bool allow)
{
    m_allowWebPages = allow;
    if (m_server)
        m_server->setAllowWebPages(allow);
}

void WebSockets::stop()
{
    const bool hadClients = !m_clients.isEmpty();
    const QList<QWebSocket *> clients = m_clients;
    m_clients.clear();
    m_peerAddresses.clear();
    const QList<quint64> peers = m_peerIds.values();
    m_peerIds.clear();
    for (quint64 peer : peers)
        emit peerLeft(peer);
    m_messageBytes.clear();
    m_oversized.clear();
    for (QWebSocket *client : clients) {
        disconnect(client, nullptr, this, nullptr);
        client->abort();
        client->deleteLater();
    }
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
        emit closed();
    }
    if (hadClients)
        emit connectedStateChanged();
}

void WebSockets::onNewConnection()
{
    if (!m_server)
        return;
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        bool known = false;
        for (const QWebSocket *client : qAsConst(m_clients))
            known = known || m_peerAddresses.value(client) == socket->peerAddress();
        if (known) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(quint64(hardMessageSize));
        socket->setMaxAllowedIncomingFrameSize(quint64(hardMessageSize));
        connect(socket, &QWebSocket::textFrameReceived, this,
                [this, socket](const QString &frame, bool last) { countMessage(socket, frame.toUtf8().size(), last); });
        connect(socket, &QWebSocket::binaryFrameReceived, this,
                [this, socket](const QByteArray &frame, bool last) { countMessage(socket, frame.size(), last); });
        connect(socket, &QWebSocket::textMessageReceived, this, &WebSockets::processTextMessage);
        connect(socket, &QWebSocket::binaryMessageReceived, this, &WebSockets::processBinaryMessage);
        // The hang-up is handled from the event loop, after any command the peer
        // sent before it, so that the command still counts as the peer's.
        connect(socket, &QWebSocket::disconnected, this,
                [this, guarded = QPointer<QWebSocket>(socket)] { forgetClient(guarded); }, Qt::QueuedConnection);
        m_clients.append(socket);
        m_peerIds.insert(socket, ++m_lastPeerId);
        // A closed socket no longer knows its peer, but the peer counts as
        // connected until its hang-up has been handled.
        m_peerAddresses.insert(socket, socket->peerAddress());
        emit connectedStateChanged();
    }
}

void WebSockets::countMessage(QWebSocket *socket, qint64 bytes, bool lastFrame)
{
    if (!isServed(socket))
        return;
    qint64 &size = m_messageBytes[socket];
    size += bytes;
    if (size > maxMessageSize)
        refuseOversized(socket);
    else if (lastFrame)
        size = 0;
}

void WebSockets::refuseOversized(QWebSocket *socket)
{
    m_oversized.insert(socket);
    m_messageBytes.remove(socket);
    qWarning().noquote() << QStringLiteral("The WebSocket client %1 sent a message of more than %2 bytes; it is "
                                           "disconnected.")
                                .arg(addressText(m_peerAddresses.value(socket)))
                                .arg(maxMessageSize);
    // Closed from the event loop, after the library has handed on the frame
    // it is reading; nothing more of the message is run or relayed, and no
    // reply goes to the client meanwhile.
    const QString reason = QStringLiteral("Messages are limited to %1 bytes.").arg(maxMessageSize);
    QMetaObject::invokeMethod(
        socket, [socket, reason] { socket->close(QWebSocketProtocol::CloseCodeTooMuchData, reason); },
        Qt::QueuedConnection);
}

void WebSockets::processTextMessage(const QString &message)
{
    auto *sender = qobject_cast<QWebSocket *>(QObject::sender());
    if (!isServed(sender))
        return;
    const QList<QWebSocket *> clients = m_clients;
    for (QWebSocket *client : clients) {
        if (client == sender || !isServed(client))
            continue;
        // Nothing waits here for a slow reader: one with more than the bound
        // waiting does not read.
        if (client->bytesToWrite() > m_maxQueuedBytes)
            drop(client);
        else
            client->sendTextMessage(message);
    }
    // A reply may wait for a slow reader in an event loop of its own; running
    // the command inside the socket's signal would let the peer's hang-up
    // delete the socket under the WebSocket library's feet. It runs from the
    // event loop instead.
    const quint64 peer = m_peerIds.value(sender);
    QMetaObject::invokeMethod(this, [this, message, peer] { emit commandReceived(message, peer); },
                              Qt::QueuedConnection);
}

void WebSockets::processBinaryMessage(const QByteArray &message)
{
    auto *sender = qobject_cast<QWebSocket *>(QObject::sender());
    if (!sender || !isServed(sender))
        return;
    qDebug() << "Binary message received: " << message.left(64).toHex() << (message.size() > 64 ? "..." : "");
    sender->sendBinaryMessage(message);
}

void WebSockets::socketDisconnected()
{
    forgetClient(qobject_cast<QWebSocket *>(QObject::sender()));
}

void WebSockets::forgetClient(QWebSocket *socket)
{
    if (socket && m_clients.removeAll(socket) > 0) {
        // A message beyond even what the library holds: it closed the client
        // itself, and the log says so as for one just too large.
        if (socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData && isServed(socket))
            qWarning().noquote() << QStringLiteral("The WebSocket client %1 sent a message of more than %2 bytes; it "
                                                   "is disconnected (%3).")
                                        .arg(addressText(m_peerAddresses.value(socket)))
                                        .arg(hardMessageSize)
                                        .arg(socket->closeReason());
        m_peerAddresses.remove(socket);
        emit peerLeft(m_peerIds.take(socket));
        m_messageBytes.remove(socket);
        m_oversized.remove(socket);
        socket->deleteLater();
    }
    emit connectedStateChanged();
}

void WebSockets::send(const QString &text)
{
    const QList<QPointer<QWebSocket>> clients(m_clients.cbegin(), m_clients.cend());
    for (const QPointer<QWebSocket> &client : clients) {
        if (client && m_clients.contains(client) && isServed(client) && waitForRoom(client, m_maxQueuedBytes / 2))
            client->sendTextMessage(text);
    }
}

bool WebSockets::waitForRoom(QWebSocket *client, qint64 room)
{
    QPointer<QWebSocket> guarded(client);
    while (guarded && m_clients.contains(guarded) && guarded->bytesToWrite() > room) {
        // Sending goes on in the event loop; the client has stallTimeout to
        // take some of what waits.
        QEventLoop loop;
        QTimer stall;
        stall.setSingleShot(true);
        bool stalled = false;
        connect(&stall, &QTimer::timeout, &loop, [&] {
            stalled = true;
            loop.quit();
        });
        connect(guarded, &QWebSocket::bytesWritten, &loop, &QEventLoop::quit);
        connect(guarded, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
        connect(this, &WebSockets::connectedStateChanged, &loop, &QEventLoop::quit);
        stall.start(m_stallTimeoutMs);
        loop.exec();
        if (stalled && guarded && m_clients.contains(guarded) && guarded->bytesToWrite() > room) {
            drop(guarded);
            return false;
        }
    }
    return guarded && m_clients.contains(guarded);
}

void WebSockets::drop(QWebSocket *client)
{
    qWarning().noquote() << QStringLiteral("The WebSocket client %1 does not read its replies (%2 bytes are waiting "
                                           "for it); it is disconnected.")
                                .arg(addressText(m_peerAddresses.value(client)))
                                .arg(client->bytesToWrite());
    m_clients.removeAll(client);
    m_peerAddresses.remove(client);
    // What it sent and is not yet running goes with it.
    const quint64 peer = m_peerIds.take(client);
    QMetaObject::invokeMethod(this, [this, peer] { emit peerLeft(peer); }, Qt::QueuedConnection);
    m_messageBytes.remove(client);
    m_oversized.remove(client);
    disconnect(client, nullptr, this, nullptr);
    client->abort();
    client->deleteLater();
    emit connectedStateChanged();
}

QString WebSockets::peerAddressText() const
{
    if (m_clients.isEmpty())
        return QString();
    return addressText(m_peerAddresses.value(m_clients.last()));
}

QString WebSockets::addressText(const QHostAddress &address)
{
    QString text = address.toString();
    // Only an IPv4-mapped IPv6 address loses its prefix; any other IPv6
    // address is shown in full.
    const QString mappedPrefix = QStringLiteral("::ffff:");
    if (text.startsWith(mappedPrefix, Qt::CaseInsensitive) && text.count(QLatin1Char('.')) == 3)
        text.remove(0, mappedPrefix.size());
    return text;
}

QString WebSockets::deviceAddressText()
{
    QStringList addresses;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || !(flags & QNetworkInterface::CanBroadcast) || (flags & QNetworkInterface::IsLoopBack)
            || (flags & QNetworkInterface::IsPointToPoint))
            continue;
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            qDebug().noquote() << entry.ip().toString() + QStringLiteral(" / ") + entry.netmask().toString()
                    + QStringLiteral(" / ") + interface.name() + QStringLiteral(" / ") + interface.hardwareAddress();
            addresses.append(entry.ip().toString());
        }
    }
    return addresses.isEmpty() ? QStringLiteral("No connection") : addresses.join(QLatin1Char('\n'));
}
