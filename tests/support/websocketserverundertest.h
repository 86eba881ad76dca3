#pragma once

#include "app/kolvexcore.h"
#include "remote/remotecontrol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>

#include <memory>

// A WebSocket client of the tests, with what it received, in order.
struct WebSocketClient
{
    QWebSocket socket;
    QStringList texts;
    QList<QByteArray> binaries;
};

// The program's core in a fresh data folder (the program's settings there
// too), offline, serving WebSockets on both loopbacks so that two clients have
// two addresses.
class WebSocketServerUnderTest
{
public:
    WebSocketServerUnderTest();
    ~WebSocketServerUnderTest();

    bool isValid() const { return m_folder.isValid(); }
    KolvexCore *core() { return m_core.get(); }
    RemoteControl *remote() { return m_core->remoteControl(); }

    // Serves on a port of the system's choosing, with a path of 1000 m.
    void serve();
    // Stops serving and puts the server's limits back.
    void stop();

    // The port clients connect to: the server's, or another server's.
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }

    // A client connected from loopback address `host` ("127.0.0.1", "[::1]"),
    // or null when it could not connect.
    std::unique_ptr<WebSocketClient> connectClient(const QString &host);
    // A client of its own making, from `source`: the handshake with these extra
    // header lines, and nothing read beyond what the socket's small buffer takes.
    std::unique_ptr<QTcpSocket> rawClient(const QString &source, const QByteArray &headers, QByteArray *reply);

private:
    QTemporaryDir m_folder;
    std::unique_ptr<KolvexCore> m_core;
    quint16 m_port = 0;
};
