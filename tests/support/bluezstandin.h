#pragma once

#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

// A stand-in for the Bluetooth service (BlueZ 5) for the tests: a D-Bus
// daemon of its own, configured as a system bus on a socket in a temporary
// folder, serving python3-dbusmock's "bluez5" template. QtBluetooth finds the
// adapters and devices added here as it finds real ones (adapter address,
// power, device discovery); there is no radio behind them, so RFCOMM sockets
// and servers and service (SDP) searches fail as on a machine without
// Bluetooth sockets.
//
// Both QtBluetooth and Qt's system-bus connection keep the first bus they
// find, so a test starts the stand-in before anything of the process uses
// Bluetooth, and keeps one stand-in for its whole run. Besides the calls of
// the template's own interface (org.bluez.Mock), call() reaches every object
// of the stand-in, including dbusmock's org.freedesktop.DBus.Mock interface
// (AddObject, AddProperties, AddMethods, AddTemplate), with which a test can
// build other devices, such as a low-energy one with GATT services.
class BluezStandIn
{
public:
    BluezStandIn();
    ~BluezStandIn();

    BluezStandIn(const BluezStandIn &) = delete;
    BluezStandIn &operator=(const BluezStandIn &) = delete;

    // Starts the bus and the stand-in and points DBUS_SYSTEM_BUS_ADDRESS at
    // it. False, with errorString() saying why, when dbus-daemon or
    // python3-dbusmock is missing (scripts/deps.sh installs both).
    bool start();
    QString errorString() const { return m_error; }
    QString busAddress() const { return m_address; }

    // An adapter named like "hci0" with its system name; its address is
    // derived from the digit the name ends in ("hci0": 00:01:02:03:04:05).
    // Returns its object path, empty on failure.
    QString addAdapter(const QString &name, const QString &systemName);
    bool removeAdapter(const QString &name);
    // A device seen by the adapter, with its address and name (alias); an
    // empty name makes a device without a name. Returns its object path.
    QString addDevice(const QString &adapter, const QString &address, const QString &name);
    // Switches an adapter on or off (its Powered property).
    bool setAdapterPowered(const QString &name, bool powered);

    // Calls `method` of `interface` on the object at `path` of the stand-in
    // and waits for the answer.
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {});

private:
    bool fail(const QString &message);

    QTemporaryDir m_folder;
    QProcess m_bus;
    QProcess m_mock;
    QString m_address;
    QString m_connectionName;
    QString m_error;
};
