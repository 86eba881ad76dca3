#pragma once

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QList>
#include <QObject>
#include <QString>

class QBluetoothLocalDevice;

// Finds the Bluetooth devices in range and remembers which of them the user
// selected and which one is connected. The remote control (a Serial Port
// Profile link) and the SensorTag (Bluetooth low energy) each have one.
//
// The adapter and the discovery agent are made at the first discovery, so
// that a program that never searches never talks to the Bluetooth service.
class BluetoothDiscoverDevices : public QObject
{
    Q_OBJECT

public:
    // How long a low-energy search runs before it is taken as finished, ms.
    static constexpr int lowEnergyDiscoveryTimeout = 5000;

    explicit BluetoothDiscoverDevices(QObject *parent = nullptr);
    ~BluetoothDiscoverDevices() override;

    // Starts a new search, low-energy devices only when `lowEnergy`; a search
    // under way is stopped first. Without an adapter, with the adapter
    // switched off or when the search cannot start, deviceDiscoveryFailed()
    // says why instead of deviceDiscoveryStarted().
    void startDiscovery(bool lowEnergy);
    // How long a search runs; tests shorten it (a stand-in answers at once).
    void setDiscoveryTimeout(int milliseconds);
    // The agent of the searches, null before the first one.
    QBluetoothDeviceDiscoveryAgent *agent() const { return m_agent; }
    // The devices found by the last search, in the order they were found.
    QList<QBluetoothDeviceInfo> discoveredDevices() const;

    // The row of the connected device, -1 when none.
    int connectedDeviceIndex() const { return m_connectedDeviceIndex; }
    int selectedDeviceIndex() const { return m_selectedDeviceIndex; }
    void setSelectedDeviceIndex(int index);

signals:
    void deviceDiscoveryStarted();
    void deviceDiscoveryFinished();
    void connected();
    void disconnected();
    // A search could not start or broke off; the message is for the user.
    void deviceDiscoveryFailed(const QString &message);

public slots:
    // The selected device is now the connected one.
    void setDeviceConnected();
    void setDeviceDisconnected();

private:
    void createAgent();
    void reportError(QBluetoothDeviceDiscoveryAgent::Error error);
    void fail(const QString &message);

    QBluetoothLocalDevice *m_localDevice = nullptr;
    QBluetoothDeviceDiscoveryAgent *m_agent = nullptr;
    int m_discoveryTimeout = lowEnergyDiscoveryTimeout;
    qint8 m_connectedDeviceIndex = -1;
    quint8 m_selectedDeviceIndex = 0;
};
