#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

// Listens for WebSocket clients and lets in only those that no web page can
// have sent. A browser sends the address of the page that opens a connection
// as the handshake's Origin; any page the user opens could otherwise drive the
// device. A handshake without an Origin (programs) or with this device's own
// address and port as its origin (client libraries send that by default) is
// let in; one that names any other site is refused with 403, unless web pages
// are allowed. The Origin is taken out of a handshake before the WebSocket
// server reads it, so that no reply ever echoes an origin back.
class WebSocketGate : public QObject
{
    Q_OBJECT

public:
    // A handshake is a few hundred bytes; one that grows beyond this is no handshake.
    static constexpr int maxHandshakeBytes = 16 * 1024;

    explicit WebSocketGate(QObject *parent = nullptr);
    ~WebSocketGate() override;

    bool listen(const QHostAddress &address, quint16 port);
    void close();
    bool isListening() const { return m_listener.isListening(); }
    quint16 serverPort() const { return m_listener.serverPort(); }

    void setAllowWebPages(bool allow) { m_allowWebPages = allow; }
    bool allowWebPages() const { return m_allowWebPages; }
    // How long a client may take to send its handshake, milliseconds.
    void setHandshakeTimeout(int milliseconds) { m_handshakeTimeoutMs = milliseconds; }

    // A connection whose handshake was let in and completed; null when none waits.
    QWebSocket *nextPendingConnection();

    // Whether `origin` (an Origin header) names this device: the address the
    // client connected to, or this host's name (or localhost on a loopback
    // address), with the port served.
    static bool isOwnOrigin(const QString &origin, const QHostAddress &localAddress, quint16 port);

signals:
    void newConnection();

private:
    void screen(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, const QString &origin);

    QTcpServer m_listener;
    QWebSocketServer *m_server;
    bool m_allowWebPages = false;
    int m_handshakeTimeoutMs = 10000;
};
