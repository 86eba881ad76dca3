#include "bluetooth/bluetoothdiscoverdevices.h"

#include <QBluetoothLocalDevice>
#include <QDebug>

BluetoothDiscoverDevices::BluetoothDiscoverDevices(QObject *parent)
    : QObject(parent)
{
}

BluetoothDiscoverDevices::~BluetoothDiscoverDevices() = default;

void BluetoothDiscoverDevices::createAgent()
{
    m_agent = new QBluetoothDeviceDiscoveryAgent(this);
    m_agent->setLowEnergyDiscoveryTimeout(m_discoveryTimeout);
    connect(m_agent, &QBluetoothDeviceDiscoveryAgent::finished, this,
            &BluetoothDiscoverDevices::deviceDiscoveryFinished);
    // A search that breaks off ends without finished(); the error ends it for
    // the list instead, which would otherwise say "Scanning" for ever.
    connect(m_agent, QOverload<QBluetoothDeviceDiscoveryAgent::Error>::of(&QBluetoothDeviceDiscoveryAgent::error),
            this, &BluetoothDiscoverDevices::reportError);
}

void BluetoothDiscoverDevices::startDiscovery(bool lowEnergy)
{
    // An adapter plugged in, removed or switched on since the last search
    // counts: the adapter object knows the adapter of its creation, as it was.
    delete m_localDevice;
    m_localDevice = new QBluetoothLocalDevice(this);
    if (!m_agent)
        createAgent();
    if (m_agent->isActive())
        m_agent->stop();
    if (!m_localDevice->isValid()) {
        fail(QStringLiteral("No Bluetooth adapter found."));
        return;
    }
    if (m_localDevice->hostMode() == QBluetoothLocalDevice::HostPoweredOff) {
        fail(QStringLiteral("Bluetooth is switched off."));
        return;
    }
    if (lowEnergy)
        m_agent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
    else
        m_agent->start();
    // The agent reports a search that cannot start at once, through reportError().
    if (m_agent->isActive())
        emit deviceDiscoveryStarted();
}

void BluetoothDiscoverDevices::setDiscoveryTimeout(int milliseconds)
{
    m_discoveryTimeout = milliseconds;
    if (m_agent)
        m_agent->setLowEnergyDiscoveryTimeout(milliseconds);
}

QList<QBluetoothDeviceInfo> BluetoothDiscoverDevices::discoveredDevices() const
{
    return m_agent ? m_agent->discoveredDevices() : QList<QBluetoothDeviceInfo>();
}

void BluetoothDiscoverDevices::setSelectedDeviceIndex(int index)
{
    m_selectedDeviceIndex = quint8(index);
}

void BluetoothDiscoverDevices::setDeviceConnected()
{
    m_connectedDeviceIndex = qint8(m_selectedDeviceIndex);
    emit connected();
}

void BluetoothDiscoverDevices::setDeviceDisconnected()
{
    m_connectedDeviceIndex = -1;
    emit disconnected();
}

void BluetoothDiscoverDevices::reportError(QBluetoothDeviceDiscoveryAgent::Error error)
{
    switch (error) {
    case QBluetoothDeviceDiscoveryAgent::NoError:
        return;
    case QBluetoothDeviceDiscoveryAgent::PoweredOffError:
        fail(QStringLiteral("Bluetooth is switched off."));
        return;
    case QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError:
        fail(QStringLiteral("No Bluetooth adapter found."));
        return;
    default:
        fail(QStringLiteral("Bluetooth device discovery failed: ") + m_agent->errorString());
        return;
    }
}

void BluetoothDiscoverDevices::fail(const QString &message)
{
    qWarning().noquote() << message;
    emit deviceDiscoveryFailed(message);
}
