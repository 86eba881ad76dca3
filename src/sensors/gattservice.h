#pragma once

#include <QBluetoothUuid>
#include <QByteArray>
#include <QList>

// What the SensorTag needs of one GATT service of a connected low-energy
// device: its UUID, the UUIDs of its characteristics, and two kinds of write.
// LowEnergyGattService puts a QLowEnergyService behind it; tests put a fake
// that records the writes.
class GattService
{
public:
    virtual ~GattService() = default;

    virtual QBluetoothUuid serviceUuid() const = 0;
    virtual QList<QBluetoothUuid> characteristicUuids() const = 0;
    // Writes `value` to the client characteristic configuration descriptor
    // (0x2902) of the characteristic; false when it has none.
    virtual bool writeNotificationConfig(const QBluetoothUuid &characteristic, const QByteArray &value) = 0;
    // Writes `value` to the characteristic, with response.
    virtual void writeCharacteristic(const QBluetoothUuid &characteristic, const QByteArray &value) = 0;
};
