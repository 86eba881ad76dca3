#include "sensors/bluetoothlowenergy.h"

#include "bluetooth/bluetoothdiscoverdevices.h"

#include <QDebug>

BluetoothLowEnergy::BluetoothLowEnergy(QObject *parent)
    : QObject(parent)
    , m_discovery(new BluetoothDiscoverDevices(this))
{
    connect(this, &BluetoothLowEnergy::disconnected, m_discovery, &BluetoothDiscoverDevices::setDeviceDisconnected);
    connect(this, &BluetoothLowEnergy::servicesDiscovered, m_discovery, &BluetoothDiscoverDevices::setDeviceConnected);
}

BluetoothLowEnergy::~BluetoothLowEnergy()
{
    // The controller would report its disconnection to a half-destroyed object.
    if (m_controller)
        m_controller->disconnect(this);
}

bool BluetoothLowEnergy::connectSelectedDevice()
{
    const QList<QBluetoothDeviceInfo> devices = m_discovery->discoveredDevices();
    const int selected = m_discovery->selectedDeviceIndex();
    if (selected < 0 || selected >= devices.size())
        return false;
    connectToDevice(devices.at(selected));
    return true;
}

void BluetoothLowEnergy::dropController()
{
    if (!m_controller)
        return;
    // Its service objects go with it; nothing of it may report any more, so
    // the end of the link is told here.
    const bool linked = m_controller->state() != QLowEnergyController::UnconnectedState;
    m_controller->disconnect(this);
    m_controller->disconnectFromDevice();
    m_controller->deleteLater();
    m_controller = nullptr;
    m_currentService = nullptr;
    if (linked)
        emit disconnected();
}

void BluetoothLowEnergy::connectToDevice(const QBluetoothDeviceInfo &device)
{
    if (m_controller && device.address() != m_currentDevice.address())
        dropController();
    m_services.clear();
    m_currentService = nullptr;
    if (!m_controller) {
        m_controller = QLowEnergyController::createCentral(device, this);
        connect(m_controller, &QLowEnergyController::serviceDiscovered, this,
                &BluetoothLowEnergy::addLowEnergyService);
        connect(m_controller, &QLowEnergyController::connected, this, &BluetoothLowEnergy::deviceConnected);
        connect(m_controller, QOverload<QLowEnergyController::Error>::of(&QLowEnergyController::error), this,
                &BluetoothLowEnergy::errorReceived);
        connect(m_controller, &QLowEnergyController::disconnected, this, &BluetoothLowEnergy::deviceDisconnected);
        connect(m_controller, &QLowEnergyController::discoveryFinished, this, &BluetoothLowEnergy::serviceScanDone);
    }
    m_controller->setRemoteAddressType(m_randomAddress ? QLowEnergyController::RandomAddress
                                                       : QLowEnergyController::PublicAddress);
    m_controller->connectToDevice();
    m_currentDevice = device;
}

void BluetoothLowEnergy::disconnectFromDevice()
{
    if (m_controller)
        m_controller->disconnectFromDevice();
}

QLowEnergyService *BluetoothLowEnergy::connectToService(const QString &fragment)
{
    m_currentService = nullptr;
    for (QLowEnergyService *service : qAsConst(m_services)) {
        if (service->serviceUuid().toString().toUpper().contains(fragment.toUpper())) {
            m_currentService = service;
            break;
        }
    }
    if (m_currentService && m_currentService->state() == QLowEnergyService::DiscoveryRequired) {
        connect(m_currentService, &QLowEnergyService::stateChanged, this,
                &BluetoothLowEnergy::serviceDetailsDiscovered, Qt::UniqueConnection);
        m_currentService->discoverDetails();
    }
    return m_currentService;
}

void BluetoothLowEnergy::addLowEnergyService(const QBluetoothUuid &uuid)
{
    QLowEnergyService *service = m_controller ? m_controller->createServiceObject(uuid, m_controller) : nullptr;
    if (!service) {
        qWarning() << "Cannot create Bluetooth LE service for UUID";
        return;
    }
    m_services.append(service);
    qDebug() << "Discovered service: " << service->serviceName();
}

void BluetoothLowEnergy::deviceConnected()
{
    if (m_controller)
        m_controller->discoverServices();
}

void BluetoothLowEnergy::errorReceived(QLowEnergyController::Error)
{
    const QString message = m_controller ? m_controller->errorString() : QString();
    qWarning().noquote() << "Error: " + message;
    emit errorOccurred(QStringLiteral("Bluetooth LE error: ") + message);
}

void BluetoothLowEnergy::deviceDisconnected()
{
    emit disconnected();
}

void BluetoothLowEnergy::serviceScanDone()
{
    emit servicesDiscovered();
}

void BluetoothLowEnergy::serviceDetailsDiscovered(QLowEnergyService::ServiceState newState)
{
    auto *service = qobject_cast<QLowEnergyService *>(sender());
    if (!service)
        return;
    m_currentService = service;
    // Only once the details are in: the state passes through "discovering" first.
    if (newState == QLowEnergyService::ServiceDiscovered && !service->characteristics().isEmpty())
        emit characteristicsDiscovered(service);
}
