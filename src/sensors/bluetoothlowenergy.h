#pragma once

#include <QBluetoothDeviceInfo>
#include <QBluetoothUuid>
#include <QList>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QObject>
#include <QString>

class BluetoothDiscoverDevices;

// The link to one Bluetooth low-energy device: its own device search (the
// user picks the device from it), the controller of the chosen device, the
// discovery of the device's services and of the details of the services asked
// for. The controller is made per device; the service objects belong to it.
class BluetoothLowEnergy : public QObject
{
    Q_OBJECT

public:
    explicit BluetoothLowEnergy(QObject *parent = nullptr);
    ~BluetoothLowEnergy() override;

    BluetoothDiscoverDevices *discovery() const { return m_discovery; }
    QLowEnergyController *controller() const { return m_controller; }
    QList<QLowEnergyService *> services() const { return m_services; }
    QBluetoothDeviceInfo currentDevice() const { return m_currentDevice; }

    // Connects to the device of the selected row of the last search; false,
    // doing nothing, when that row holds no device.
    bool connectSelectedDevice();
    void connectToDevice(const QBluetoothDeviceInfo &device);
    void disconnectFromDevice();
    // Starts the detail discovery of the first service whose UUID contains
    // `fragment` (any case); returns that service, or null.
    QLowEnergyService *connectToService(const QString &fragment);

signals:
    void servicesDiscovered();
    void characteristicsDiscovered(QLowEnergyService *service);
    void disconnected();
    // A failure of the link, for the user.
    void errorOccurred(const QString &message);

public slots:
    void addLowEnergyService(const QBluetoothUuid &uuid);
    void deviceConnected();
    void errorReceived(QLowEnergyController::Error error);
    void deviceDisconnected();
    void serviceScanDone();
    void serviceDetailsDiscovered(QLowEnergyService::ServiceState newState);

private:
    void dropController();

    QLowEnergyController *m_controller = nullptr;
    BluetoothDiscoverDevices *m_discovery;
    QList<QLowEnergyService *> m_services;
    QLowEnergyService *m_currentService = nullptr;
    QBluetoothDeviceInfo m_currentDevice;
    bool m_randomAddress = false;
};
