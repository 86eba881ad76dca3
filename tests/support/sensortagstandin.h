#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

class BluezStandIn;

// A TI SensorTag on the BlueZ stand-in, as BlueZ shows a low-energy device to
// its clients: a device whose Connect() connects and resolves its services,
// and under it the GATT objects of the tag's humidity service (F000AA20-...:
// data AA21 with notifications, configuration AA22, period AA23) and
// barometer service (AA40: data AA41, configuration AA42, period AA44), each
// data characteristic with its client configuration descriptor. A write
// leaves its bytes in the characteristic's Value, StartNotify sets
// Notifying, and notify() sends a notification as BlueZ does (a change of
// Value). Qt drives such objects through its BlueZ D-Bus low-energy backend
// (BLUETOOTH_FORCE_DBUS_LE_VERSION selects it). The objects are made by a
// small python3-dbus program on the stand-in's bus.
class SensorTagStandIn
{
public:
    explicit SensorTagStandIn(BluezStandIn &bluez);

    // Adds the tag to an adapter of the stand-in; false, with errorString(),
    // when it cannot.
    bool add(const QString &adapter, const QString &address, const QString &name);
    QString errorString() const { return m_error; }

    // The Value of the characteristic with this fragment ("AA22"): the bytes
    // last written to it, or last notified.
    QByteArray value(const QString &fragment);
    bool notifying(const QString &fragment);
    // Sends a notification from a data characteristic.
    bool notify(const QString &fragment, const QByteArray &bytes);
    bool connected();

private:
    QString characteristicPath(const QString &fragment) const;
    QVariant property(const QString &path, const QString &interface, const QString &name);

    BluezStandIn &m_bluez;
    QString m_devicePath;
    QHash<QString, QString> m_characteristics;   // "AA21": its object path
    QString m_error;
};
