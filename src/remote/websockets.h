#pragma once

#include "remote/transport.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>

class QWebSocket;
class QWebSocketServer;

// A plain WebSocket server for the command protocol: any number of clients,
// one per remote address; each text message is a chunk of command text that is
// also relayed to the other clients, and replies go to every client.
class WebSockets : public Transport
{
    Q_OBJECT

public:
    // The largest text or binary message accepted from a client, bytes.
    static constexpr qint64 maxMessageSize = 4 * 1024 * 1024;

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

    QWebSocketServer *m_server = nullptr;
    QList<QWebSocket *> m_clients;
    QHash<const QWebSocket *, QHostAddress> m_peerAddresses;
    quint16 m_port;
    bool m_listenAll = false;
};
