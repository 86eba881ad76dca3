#include "remote/bluetoothspp.h"

#include "bluetooth/bluetoothdiscoverdevices.h"
#include "remote/chatclient.h"
#include "remote/chatserver.h"

#include <QBluetoothLocalDevice>
#include <QBluetoothServiceDiscoveryAgent>
#include <QDebug>

BluetoothSpp::BluetoothSpp(QObject *parent)
    : Transport(parent)
    , m_discovery(new BluetoothDiscoverDevices(this))
    , m_server(new ChatServer(this))
{
    connect(m_server, &ChatServer::messageReceived, this, &BluetoothSpp::showMessage);
    connect(m_server, QOverload<const QString &>::of(&ChatServer::clientConnected), this,
            QOverload<const QString &>::of(&BluetoothSpp::clientConnected));
    connect(m_server, QOverload<const QString &>::of(&ChatServer::clientDisconnected), this,
            QOverload<const QString &>::of(&BluetoothSpp::clientDisconnected));
    connect(this, &BluetoothSpp::connected, m_discovery, &BluetoothDiscoverDevices::setDeviceConnected);
    connect(this, &BluetoothSpp::disconnected, m_discovery, &BluetoothDiscoverDevices::setDeviceDisconnected);
}

BluetoothSpp::~BluetoothSpp()
{
    for (ChatClient *client : qAsConst(m_clients))
        disconnect(client, nullptr, this, nullptr);
    disconnect(m_server, nullptr, this, nullptr);
}

bool BluetoothSpp::isConnected() const
{
    return !m_clients.isEmpty() || m_server->clientCount() > 0;
}

void BluetoothSpp::send(const QString &text)
{
    m_server->sendMessage(text);
    for (ChatClient *client : qAsConst(m_clients))
        client->sendMessage(text);
}

void BluetoothSpp::setEnabled(bool enabled)
{
    if (enabled)
        startServer();
    else
        stop();
}

// Looks at the adapter as it is now (one may have been plugged in, removed or
// switched off since the last look); says why when there is none to use.
bool BluetoothSpp::adapterUsable()
{
    delete m_localDevice;
    m_localDevice = new QBluetoothLocalDevice(this);
    if (!m_localDevice->isValid()) {
        qWarning() << "No Bluetooth adapter found.";
        setStatusText(QStringLiteral("No Bluetooth adapter found."));
        return false;
    }
    return true;
}

void BluetoothSpp::startServer()
{
    if (m_serverRunning || !adapterUsable())
        return;
    // Discoverable switches the adapter on as well.
    m_localDevice->setHostMode(QBluetoothLocalDevice::HostDiscoverable);
    if (!m_server->startServer(m_localDevice->address())) {
        setStatusText(QStringLiteral("The Bluetooth server cannot start: ") + m_server->errorString());
        return;
    }
    m_serverRunning = true;
    setStatusText(QStringLiteral("Waiting for devices to connect."));
}

void BluetoothSpp::stop()
{
    const bool wasConnected = isConnected();
    m_serverRunning = false;
    if (m_serviceDiscovery)
        m_serviceDiscovery->stop();
    m_server->stopServer();
    stopClients();
    emit disconnected();
    setStatusText(QString());
    if (wasConnected)
        emit connectedStateChanged();
}

void BluetoothSpp::connectToSelectedDevice()
{
    const QList<QBluetoothDeviceInfo> devices = m_discovery->discoveredDevices();
    const int index = m_discovery->selectedDeviceIndex();
    if (index >= devices.size()) {
        setStatusText(QStringLiteral("Choose a device from the list first."));
        return;
    }
    if (!adapterUsable())
        return;
    const QBluetoothDeviceInfo device = devices.at(index);
    m_searchedDeviceName = device.name().isEmpty() ? device.address().toString() : device.name();
    // A new agent for the adapter as it is now.
    delete m_serviceDiscovery;
    m_serviceDiscovery = new QBluetoothServiceDiscoveryAgent(m_localDevice->address(), this);
    connect(m_serviceDiscovery, &QBluetoothServiceDiscoveryAgent::serviceDiscovered, this,
            &BluetoothSpp::appendServiceDiscovered);
    connect(m_serviceDiscovery, &QBluetoothServiceDiscoveryAgent::finished, this,
            &BluetoothSpp::servicesDiscoveryFinished);
    connect(m_serviceDiscovery,
            QOverload<QBluetoothServiceDiscoveryAgent::Error>::of(&QBluetoothServiceDiscoveryAgent::error), this,
            [this] {
                const QString message = QStringLiteral("The service search on %1 failed: %2")
                                            .arg(m_searchedDeviceName, m_serviceDiscovery->errorString());
                qWarning().noquote() << message;
                setStatusText(message);
            });
    m_services.clear();
    m_serviceDiscovery->setRemoteAddress(device.address());
    m_serviceDiscovery->setUuidFilter(serviceUuid());
    setStatusText(QStringLiteral("Looking for the serial-port service of %1...").arg(m_searchedDeviceName));
    m_serviceDiscovery->start(QBluetoothServiceDiscoveryAgent::FullDiscovery);
}

void BluetoothSpp::appendServiceDiscovered(const QBluetoothServiceInfo &service)
{
    m_services.append(service);
}

void BluetoothSpp::servicesDiscoveryFinished()
{
    emit servicesDiscovered();
    if (m_services.isEmpty()) {
        // A failed search has said why already.
        if (m_serviceDiscovery && m_serviceDiscovery->error() == QBluetoothServiceDiscoveryAgent::NoError)
            setStatusText(QStringLiteral("%1 offers no serial-port service.").arg(m_searchedDeviceName));
        return;
    }
    auto *client = new ChatClient(this);
    m_clients.append(client);
    startClient(client);
    client->startClient(m_services.first());
    // A link that failed at once is gone again.
    if (m_clients.contains(client))
        emit connected();
}

void BluetoothSpp::addClientLink(QIODevice *link, const QString &peerName)
{
    auto *client = new ChatClient(this);
    m_clients.append(client);
    startClient(client);
    client->startClient(link, peerName);
    emit connected();
}

void BluetoothSpp::startClient(ChatClient *client)
{
    connect(client, &ChatClient::messageReceived, this, &BluetoothSpp::showMessage);
    connect(client, QOverload<const QString &>::of(&ChatClient::connected), this, [this](const QString &name) {
        setStatusText(QStringLiteral("Connected to %1.").arg(name));
        emit connectedStateChanged();
    });
    connect(client, &ChatClient::errorOccurred, this, &BluetoothSpp::setStatusText);
    // After the lines received before it, as the server's clients.
    connect(client, &ChatClient::disconnected, this, QOverload<>::of(&BluetoothSpp::clientDisconnected),
            Qt::QueuedConnection);
    emit connectedStateChanged();
}

void BluetoothSpp::stopClients()
{
    const QList<ChatClient *> clients = m_clients;
    m_clients.clear();
    for (ChatClient *client : clients) {
        disconnect(client, nullptr, this, nullptr);
        client->stopClient();
        client->deleteLater();
    }
    if (!clients.isEmpty()) {
        setStatusText(QStringLiteral("Disconnected from %1.").arg(clients.first()->peerName()));
        emit disconnected();
        emit connectedStateChanged();
    }
}

void BluetoothSpp::clientConnected(const QString &name)
{
    emit connectedToServer(name);
    emit connectedStateChanged();
}

void BluetoothSpp::clientDisconnected(const QString &name)
{
    emit disconnectedFromServer(name);
    // After any command the device sent before it went.
    QMetaObject::invokeMethod(this, [this, name] { emit peerLeft(peerOf(name)); }, Qt::QueuedConnection);
    emit connectedStateChanged();
}

void BluetoothSpp::clientDisconnected()
{
    auto *client = qobject_cast<ChatClient *>(sender());
    if (!client || !m_clients.removeOne(client))
        return;
    const quint64 peer = peerOf(client->peerName());
    QMetaObject::invokeMethod(this, [this, peer] { emit peerLeft(peer); }, Qt::QueuedConnection);
    if (client->wasConnected()) {
        const QString message = QStringLiteral("The link to %1 was lost.").arg(client->peerName());
        qWarning().noquote() << message;
        setStatusText(message);
    }
    client->deleteLater();
    emit disconnected();
    emit connectedStateChanged();
}

void BluetoothSpp::showMessage(const QString &sender, const QString &message)
{
    // The command runs from the event loop, after the socket's own signal has
    // returned (a reply to a slow reader may wait there).
    const quint64 peer = peerOf(sender);
    QMetaObject::invokeMethod(this, [this, message, peer] { emit commandReceived(message, peer); },
                              Qt::QueuedConnection);
}

quint64 BluetoothSpp::peerOf(const QString &name)
{
    return quint64(qHash(name)) + 1;
}

void BluetoothSpp::setStatusText(const QString &text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged();
}
