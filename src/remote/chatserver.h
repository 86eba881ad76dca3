#pragma once

#include <QBluetoothAddress>
#include <QBluetoothServiceInfo>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class LineChannel;
class QBluetoothServer;
class QIODevice;

// The RFCOMM server of the Bluetooth link: it offers the Serial Port Profile
// service, takes every device that connects, hands on each line a device sends
// (without the white space around it) and sends replies to all of them.
class ChatServer : public QObject
{
    Q_OBJECT

public:
    explicit ChatServer(QObject *parent = nullptr);
    ~ChatServer() override;

    // Listens on the adapter with that address and registers the service; false,
    // with errorString() saying why, when the server cannot bind.
    bool startServer(const QBluetoothAddress &localAdapter = QBluetoothAddress());
    // Unregisters the service and drops every connected device.
    void stopServer();
    bool isListening() const;
    QString errorString() const { return m_errorString; }
    int clientCount() const { return m_clients.size(); }
    QStringList clientNames() const;

    // Takes a connected link as a client, as if a device had connected (an
    // RFCOMM socket; the tests hand in local sockets). The server owns it.
    void addClient(QIODevice *link, const QString &peerName);

signals:
    void messageReceived(const QString &sender, const QString &message);
    void clientConnected(const QString &name);
    void clientDisconnected(const QString &name);

public slots:
    void sendMessage(const QString &message);

private slots:
    // A device connected: takes every pending connection.
    void clientConnected();
    // A device's link closed (after the lines it sent before).
    void clientDisconnected();
    void serverError();

private:
    static QBluetoothServiceInfo serviceRecord(quint16 channel);

    QBluetoothServer *m_server = nullptr;
    // Made when the server starts: a service record wakes the Bluetooth service.
    std::unique_ptr<QBluetoothServiceInfo> m_serviceInfo;
    bool m_serviceRegistered = false;
    QList<LineChannel *> m_clients;
    QString m_errorString;
};
