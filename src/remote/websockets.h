#pragma once

#include "remote/transport.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QString>

class QWebSocket;
class WebSocketGate;

// A plain WebSocket server for the command protocol: any number of clients,
// one per remote address; each text message is a chunk of command text that is
// also relayed to the other clients, and replies go to every client. Which
// clients are let in is the gate's business (WebSocketGate).
//
// What waits to be sent to a client is bounded: a reply waits while more than
// half of maxQueuedBytes wait for that client, and a client that takes none
// of it for stallTimeout is dropped with a log line; a relayed message that
// finds more than maxQueuedBytes waiting drops the client at once. So a
// client that never reads costs a bounded amount of memory, and the others
// keep being served.
//
// A message larger than maxMessageSize is not run: the client is told why
// (close code 1009, "message too big", with the bound in the reason), the log
// says which client it was, and the other clients go on being served. The
// WebSocket library holds at most hardMessageSize of a message in memory
// while it arrives.
class WebSockets : public Transport
{
    Q_OBJECT

public:
    // The largest text or binary message accepted from a client, bytes.
    static constexpr qint64 maxMessageSize = 4 * 1024 * 1024;
    // What the WebSocket library may hold of one message or frame before it
    // drops the client itself; above maxMessageSize, so that a message just
    // too large is read to its end and its client hears why it is closed.
    static constexpr qint64 hardMessageSize = 4 * maxMessageSize;
    static constexpr qint64 defaultMaxQueuedBytes = qint64(64) << 20;
    static constexpr int defaultStallTimeout = 15000;

    explicit WebSockets(quint16 port = 1234, QObject *parent = nullptr);
    ~WebSockets() override;

    QString name() const override { return QStringLiteral("WebSocket"); }
    // A client is connected.
    bool isConnected() const override { return !peerAddressText().isEmpty(); }
    // Sends the text as a text message to every client.
    void send(const QString &text) override;
    // Starts (true) or stops (false) serving; stopping drops every client.
    void setEnabled(bool enabled) override;
    bool isListening() const;
    // Stores the port and restarts the server on it.
    void setPort(int port);
    quint16 port() const { return m_port; }
    // The port actually served (differs from port() when port() is 0).
    quint16 serverPort() const;
    // Serve every network interface (true) or the IPv4 loopback only (false,
    // the default); takes effect at the next start.
    void setListenAll(bool all) { m_listenAll = all; }
    bool listenAll() const { return m_listenAll; }

    // Lets in handshakes of web pages (an Origin of another site) too; takes
    // effect at once.
    void setAllowWebPages(bool allow);
    bool allowWebPages() const { return m_allowWebPages; }
    // The bound on what waits for one client, bytes, and how long a client may
    // take nothing before it is dropped, milliseconds.
    void setMaxQueuedBytes(qint64 bytes) { m_maxQueuedBytes = bytes; }
    void setStallTimeout(int milliseconds) { m_stallTimeoutMs = milliseconds; }

    int clientCount() const { return m_clients.size(); }

    // The address of the most recently connected client, an IPv4-mapped
    // address in its plain dotted form; empty when no client is connected.
    QString peerAddressText() const;
    static QString addressText(const QHostAddress &address);
    // This device's IPv4 addresses, one per line, or "No connection".
    static QString deviceAddressText();

signals:
    void closed();

public slots:
    void onNewConnection();
    void processTextMessage(const QString &message);
    void processBinaryMessage(const QByteArray &message);
    void socketDisconnected();

private:
    void start();
    void stop();
    void forgetClient(QWebSocket *socket);
    // Counts the bytes of a client's message as its frames arrive.
    void countMessage(QWebSocket *socket, qint64 bytes, bool lastFrame);
    void refuseOversized(QWebSocket *socket);
    bool isServed(const QWebSocket *socket) const { return !m_oversized.contains(socket); }
    // Waits until at most `room` bytes wait for the client; false (and the
    // client dropped) when it takes nothing for the stall timeout.
    bool waitForRoom(QWebSocket *client, qint64 room);
    void drop(QWebSocket *client);

    WebSocketGate *m_server = nullptr;
    QList<QWebSocket *> m_clients;
    QHash<const QWebSocket *, QHostAddress> m_peerAddresses;
    QHash<const QWebSocket *, quint64> m_peerIds;   // numbers from 1, never reused
    quint64 m_lastPeerId = 0;
    QHash<const QWebSocket *, qint64> m_messageBytes;   // of the message arriving
    QSet<const QWebSocket *> m_oversized;               // closing for a message too large
    quint16 m_port;
    bool m_listenAll = false;
    bool m_allowWebPages = false;
    qint64 m_maxQueuedBytes = defaultMaxQueuedBytes;
    int m_stallTimeoutMs = defaultStallTimeout;
};
