#include "sensors/lowenergygattservice.h"

#include <QLowEnergyService>

LowEnergyGattService::LowEnergyGattService(QLowEnergyService *service)
    : m_service(service)
{
}

QBluetoothUuid LowEnergyGattService::serviceUuid() const
{
    return m_service ? m_service->serviceUuid() : QBluetoothUuid();
}

QList<QBluetoothUuid> LowEnergyGattService::characteristicUuids() const
{
    QList<QBluetoothUuid> uuids;
    if (!m_service)
        return uuids;
    for (const QLowEnergyCharacteristic &characteristic : m_service->characteristics())
        uuids.append(characteristic.uuid());
    return uuids;
}

bool LowEnergyGattService::writeNotificationConfig(const QBluetoothUuid &characteristic, const QByteArray &value)
{
    if (!m_service)
        return false;
    const QLowEnergyDescriptor descriptor = m_service->characteristic(characteristic)
                                               .descriptor(QBluetoothUuid::ClientCharacteristicConfiguration);
    if (!descriptor.isValid())
        return false;
    m_service->writeDescriptor(descriptor, value);
    return true;
}

void LowEnergyGattService::writeCharacteristic(const QBluetoothUuid &characteristic, const QByteArray &value)
{
    if (!m_service)
        return;
    const QLowEnergyCharacteristic target = m_service->characteristic(characteristic);
    if (target.isValid())
        m_service->writeCharacteristic(target, value, QLowEnergyService::WriteWithResponse);
}
