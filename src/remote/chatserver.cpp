#include "remote/chatserver.h"

#include "remote/bluetoothspp.h"
#include "remote/linechannel.h"

#include <QBluetoothServer>
#include <QBluetoothSocket>
#include <QDebug>

ChatServer::ChatServer(QObject *parent)
    : QObject(parent)
{
}

ChatServer::~ChatServer()
{
    stopServer();
}

bool ChatServer::isListening() const
{
    return m_server && m_server->isListening();
}

QStringList ChatServer::clientNames() const
{
    QStringList names;
    for (const LineChannel *client : m_clients)
        names.append(client->peerName());
    return names;
}

bool ChatServer::startServer(const QBluetoothAddress &localAdapter)
{
    qDebug() << "Server started.";
    if (m_server)
        return m_server->isListening();
    m_errorString.clear();
    m_server = new QBluetoothServer(QBluetoothServiceInfo::RfcommProtocol, this);
    connect(m_server, &QBluetoothServer::newConnection, this, QOverload<>::of(&ChatServer::clientConnected));
    connect(m_server, QOverload<QBluetoothServer::Error>::of(&QBluetoothServer::error), this, &ChatServer::serverError);
    // Port 0: any free RFCOMM channel.
    if (!m_server->listen(localAdapter)) {
        qWarning().noquote() << "Cannot bind chat server to" << localAdapter.toString();
        m_errorString = QStringLiteral("Cannot bind the server to the adapter %1.").arg(localAdapter.toString());
        m_server->deleteLater();
        m_server = nullptr;
        return false;
    }
    m_serviceInfo = std::make_unique<QBluetoothServiceInfo>(serviceRecord(m_server->serverPort()));
    m_serviceRegistered = m_serviceInfo->registerService(localAdapter);
    if (!m_serviceRegistered)
        qWarning() << "The serial-port service could not be registered; devices that know the channel can connect.";
    return true;
}

QBluetoothServiceInfo ChatServer::serviceRecord(quint16 channel)
{
    QBluetoothServiceInfo info;
    QBluetoothServiceInfo::Sequence profiles;
    profiles << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::SerialPort));
    info.setAttribute(QBluetoothServiceInfo::BluetoothProfileDescriptorList, profiles);
    QBluetoothServiceInfo::Sequence classIds = profiles;
    classIds.prepend(QVariant::fromValue(BluetoothSpp::serviceUuid()));
    info.setAttribute(QBluetoothServiceInfo::ServiceClassIds, classIds);

    info.setAttribute(QBluetoothServiceInfo::ServiceName, QStringLiteral("Bt Chat Server"));
    info.setAttribute(QBluetoothServiceInfo::ServiceDescription, QStringLiteral("Example bluetooth chat server"));
    info.setAttribute(QBluetoothServiceInfo::ServiceProvider, QStringLiteral("org.kolvex"));
    info.setServiceUuid(BluetoothSpp::serviceUuid());

    QBluetoothServiceInfo::Sequence publicBrowse;
    publicBrowse << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::PublicBrowseGroup));
    info.setAttribute(QBluetoothServiceInfo::BrowseGroupList, publicBrowse);

    QBluetoothServiceInfo::Sequence protocolDescriptorList;
    QBluetoothServiceInfo::Sequence protocol;
    protocol << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::L2cap));
    protocolDescriptorList.append(QVariant::fromValue(protocol));
    protocol.clear();
    protocol << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::Rfcomm)) << QVariant::fromValue(quint8(channel));
    protocolDescriptorList.append(QVariant::fromValue(protocol));
    info.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList, protocolDescriptorList);
    return info;
}

void ChatServer::stopServer()
{
    if (m_serviceInfo && m_serviceRegistered)
        m_serviceInfo->unregisterService();
    m_serviceRegistered = false;
    m_serviceInfo.reset();
    const QList<LineChannel *> clients = m_clients;
    m_clients.clear();
    for (LineChannel *client : clients) {
        disconnect(client, nullptr, this, nullptr);
        client->close();
        client->deleteLater();
        emit clientDisconnected(client->peerName());
    }
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

void ChatServer::clientConnected()
{
    while (m_server && m_server->hasPendingConnections()) {
        QBluetoothSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            break;
        qDebug() << "Client connected";
        const QString name = socket->peerName().isEmpty() ? socket->peerAddress().toString() : socket->peerName();
        addClient(socket, name);
    }
}

void ChatServer::addClient(QIODevice *link, const QString &peerName)
{
    auto *client = new LineChannel(link, peerName, LineChannel::TrimLines, this);
    connect(client, &LineChannel::lineReceived, this,
            [this, peerName](const QString &line) { emit messageReceived(peerName, line); });
    // The hang-up is handled after the lines received before it.
    connect(client, &LineChannel::closed, this, QOverload<>::of(&ChatServer::clientDisconnected), Qt::QueuedConnection);
    m_clients.append(client);
    emit clientConnected(peerName);
}

void ChatServer::clientDisconnected()
{
    auto *client = qobject_cast<LineChannel *>(sender());
    if (!client || !m_clients.removeOne(client))
        return;
    emit clientDisconnected(client->peerName());
    client->deleteLater();
}

void ChatServer::sendMessage(const QString &message)
{
    for (LineChannel *client : qAsConst(m_clients))
        client->send(message);
}

void ChatServer::serverError()
{
    qWarning() << "Server error." << (m_server ? m_server->error() : QBluetoothServer::NoError);
}
