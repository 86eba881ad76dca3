#include "remote/chatclient.h"

#include "remote/linechannel.h"

#include <QBluetoothDeviceInfo>
#include <QBluetoothSocket>
#include <QDebug>

ChatClient::ChatClient(QObject *parent)
    : QObject(parent)
{
}

ChatClient::~ChatClient()
{
    if (m_channel)
        disconnect(m_channel, nullptr, this, nullptr);
}

void ChatClient::attach(QIODevice *link)
{
    m_channel = new LineChannel(link, m_peerName, LineChannel::NoOption, this);
    connect(m_channel, &LineChannel::lineReceived, this,
            [this](const QString &line) { emit messageReceived(m_peerName, line); });
    connect(m_channel, &LineChannel::closed, this, &ChatClient::linkClosed);
}

void ChatClient::startClient(const QBluetoothServiceInfo &remoteService)
{
    if (m_channel)
        return;
    m_peerName = remoteService.device().name().isEmpty() ? remoteService.device().address().toString()
                                                         : remoteService.device().name();
    auto *socket = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol);
    qDebug() << "Create socket";
    attach(socket);
    connect(socket, &QBluetoothSocket::connected, this, QOverload<>::of(&ChatClient::connected));
    connect(socket, QOverload<QBluetoothSocket::SocketError>::of(&QBluetoothSocket::error), this,
            [this, socket](QBluetoothSocket::SocketError error) {
                const QString message = QStringLiteral("The link to %1 failed: %2").arg(m_peerName, socket->errorString());
                qWarning().noquote() << message << error;
                emit errorOccurred(message);
                // A link that never came up emits no disconnected().
                linkClosed();
            });
    socket->connectToService(remoteService);
    qDebug() << "ConnectToService done";
}

void ChatClient::startClient(QIODevice *link, const QString &peerName)
{
    if (m_channel)
        return;
    m_peerName = peerName;
    attach(link);
    connected();
}

void ChatClient::connected()
{
    m_connected = true;
    m_wasConnected = true;
    emit connected(m_peerName);
}

void ChatClient::stopClient()
{
    if (m_channel)
        m_channel->close();
    else
        linkClosed();
}

void ChatClient::linkClosed()
{
    if (m_ended)
        return;
    m_ended = true;
    m_connected = false;
    emit disconnected();
}

void ChatClient::sendMessage(const QString &message)
{
    if (m_channel)
        m_channel->send(message);
}
