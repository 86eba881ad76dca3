#pragma once

#include "sensors/gattservice.h"

#include <QPointer>

class QLowEnergyService;

// A GATT service of a connected device, as QtBluetooth discovered it. The
// service object belongs to its controller; once the controller has gone,
// every call does nothing.
class LowEnergyGattService : public GattService
{
public:
    explicit LowEnergyGattService(QLowEnergyService *service);

    QBluetoothUuid serviceUuid() const override;
    QList<QBluetoothUuid> characteristicUuids() const override;
    bool writeNotificationConfig(const QBluetoothUuid &characteristic, const QByteArray &value) override;
    void writeCharacteristic(const QBluetoothUuid &characteristic, const QByteArray &value) override;

private:
    QPointer<QLowEnergyService> m_service;
};
