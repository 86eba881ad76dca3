#pragma once

#include "remote/transport.h"

#include <QBluetoothServiceInfo>
#include <QBluetoothUuid>
#include <QList>
#include <QString>

class BluetoothDiscoverDevices;
class ChatClient;
class ChatServer;
class QBluetoothLocalDevice;
class QBluetoothServiceDiscoveryAgent;
class QIODevice;

// The Bluetooth carrier of the command protocol: a Serial Port Profile link,
// one line per message. This device is a server that other devices connect
// to and, at the same time, may be a client of the serial-port service of a
// device chosen from its device search. Replies go to every device connected
// to the server and over every client link, so that a device this one
// connected to hears its answers too.
//
// Nothing of Bluetooth is touched before the server starts or a search or a
// connection is asked for, so that a program that never uses it never talks
// to the Bluetooth service.
class BluetoothSpp : public Transport
{
    Q_OBJECT

public:
    // The Serial Port Profile UUID: the service offered and the one searched for.
    static QBluetoothUuid serviceUuid() { return QBluetoothUuid(QStringLiteral("00001101-0000-1000-8000-00805F9B34FB")); }

    explicit BluetoothSpp(QObject *parent = nullptr);
    ~BluetoothSpp() override;

    QString name() const override { return QStringLiteral("Bluetooth"); }
    // A device is connected to the server, or a client link is open.
    bool isConnected() const override;
    void send(const QString &text) override;
    // Starts the server (the communication mode is Bluetooth) or stops server
    // and client links (any other mode).
    void setEnabled(bool enabled) override;
    void startServer();
    void stop();

    // The device search whose selected device connectToSelectedDevice() takes.
    BluetoothDiscoverDevices *discovery() const { return m_discovery; }
    ChatServer *server() const { return m_server; }
    int clientCount() const { return m_clients.size(); }
    // Looks for the serial-port service of the selected device and connects
    // to the first one found.
    void connectToSelectedDevice();
    // Closes every client link.
    void stopClients();
    // Uses a link that is already connected as a client link, as a connection
    // to a found service would (the tests hand in local sockets).
    void addClientLink(QIODevice *link, const QString &peerName);

    // What the Bluetooth link is doing, or its last problem, for the screen.
    QString statusText() const { return m_statusText; }

signals:
    void servicesDiscovered();
    void connected();
    void disconnected();
    void connectedToServer(const QString &name);
    void disconnectedFromServer(const QString &name);
    void statusTextChanged();

public slots:
    void appendServiceDiscovered(const QBluetoothServiceInfo &service);
    void servicesDiscoveryFinished();
    void clientConnected(const QString &name);
    void clientDisconnected(const QString &name);
    void clientDisconnected();
    void showMessage(const QString &sender, const QString &message);

private:
    bool adapterUsable();
    void startClient(ChatClient *client);
    void setStatusText(const QString &text);

    // The number of the peer of this name (a device connected to the server,
    // or the device this one connected to).
    static quint64 peerOf(const QString &name);

    QBluetoothLocalDevice *m_localDevice = nullptr;
    QBluetoothServiceDiscoveryAgent *m_serviceDiscovery = nullptr;
    BluetoothDiscoverDevices *m_discovery;
    QList<QBluetoothServiceInfo> m_services;
    ChatServer *m_server;
    QList<ChatClient *> m_clients;
    QString m_searchedDeviceName;
    QString m_statusText;
    bool m_serverRunning = false;
};
