#include "sensortagstandin.h"

#include "bluezstandin.h"

#include <QDBusVariant>
#include <QFileInfo>
#include <QProcess>

namespace {

// Builds the tag with dbusmock's own interface (AddObject, AddMethod) on the
// stand-in's bus. Arguments: adapter, address, name; prints the device path
// and, a line each, every characteristic's fragment and path.
const char builder[] = R"py(
import sys
import dbus

adapter, address, name = sys.argv[1:4]
bus = dbus.SystemBus()
root = bus.get_object('org.bluez', '/')
device = dbus.Interface(root, 'org.bluez.Mock').AddDevice(adapter, address, name)
mock = dbus.Interface(root, 'org.freedesktop.DBus.Mock')

def methods(path, interface, entries):
    target = dbus.Interface(bus.get_object('org.bluez', path), 'org.freedesktop.DBus.Mock')
    for entry in entries:
        target.AddMethod(interface, *entry)

link = ("self.UpdateProperties('org.bluez.Device1', {'Connected': dbus.Boolean(%s, variant_level=1), "
        "'ServicesResolved': dbus.Boolean(%s, variant_level=1)})")
methods(device, 'org.bluez.Device1', [('Connect', '', '', link % (True, True)),
                                      ('Disconnect', '', '', link % (False, False))])

CHAR = 'org.bluez.GattCharacteristic1'
handle = 0x20
for service, characteristics in (('aa20', ('aa21', 'aa22', 'aa23')), ('aa40', ('aa41', 'aa42', 'aa44'))):
    service_path = '%s/service%04x' % (device, handle)
    handle += 1
    mock.AddObject(service_path, 'org.bluez.GattService1', {
        'UUID': dbus.String('f000%s-0451-4000-b000-000000000000' % service, variant_level=1),
        'Primary': dbus.Boolean(True, variant_level=1),
        'Device': dbus.ObjectPath(device, variant_level=1),
        'Includes': dbus.Array([], signature='o', variant_level=1),
    }, dbus.Array([], signature='(ssss)'))
    for i, characteristic in enumerate(characteristics):
        data = i == 0
        path = '%s/char%04x' % (service_path, handle)
        handle += 1
        print(characteristic.upper(), path)
        mock.AddObject(path, CHAR, {
            'UUID': dbus.String('f000%s-0451-4000-b000-000000000000' % characteristic, variant_level=1),
            'Service': dbus.ObjectPath(service_path, variant_level=1),
            'Value': dbus.Array([], signature='y', variant_level=1),
            'Notifying': dbus.Boolean(False, variant_level=1),
            'Flags': dbus.Array(['read', 'notify'] if data else ['read', 'write'], signature='s', variant_level=1),
        }, dbus.Array([], signature='(ssss)'))
        methods(path, CHAR, [
            ('ReadValue', 'a{sv}', 'ay', "ret = self.props['%s']['Value']" % CHAR),
            ('WriteValue', 'aya{sv}', '',
             "self.props['%s']['Value'] = dbus.Array(args[0], signature='y', variant_level=1)" % CHAR),
            ('StartNotify', '', '', "self.UpdateProperties('%s', {'Notifying': dbus.Boolean(True, variant_level=1)})" % CHAR),
            ('StopNotify', '', '', "self.UpdateProperties('%s', {'Notifying': dbus.Boolean(False, variant_level=1)})" % CHAR),
            ('Notify', 'ay', '',
             "self.UpdateProperties('%s', {'Value': dbus.Array(args[0], signature='y', variant_level=1)})" % CHAR),
        ])
        if data:
            descriptor = '%s/desc%04x' % (path, handle)
            handle += 1
            mock.AddObject(descriptor, 'org.bluez.GattDescriptor1', {
                'UUID': dbus.String('00002902-0000-1000-8000-00805f9b34fb', variant_level=1),
                'Characteristic': dbus.ObjectPath(path, variant_level=1),
                'Value': dbus.Array([0, 0], signature='y', variant_level=1),
            }, dbus.Array([], signature='(ssss)'))
            methods(descriptor, 'org.bluez.GattDescriptor1', [
                ('ReadValue', 'a{sv}', 'ay', "ret = self.props['org.bluez.GattDescriptor1']['Value']"),
                ('WriteValue', 'aya{sv}', '', ''),
            ])
print('device', device)
)py";

} // namespace

SensorTagStandIn::SensorTagStandIn(BluezStandIn &bluez)
    : m_bluez(bluez)
{
}

bool SensorTagStandIn::add(const QString &adapter, const QString &address, const QString &name)
{
    QProcess python;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_bluez.busAddress());
    python.setProcessEnvironment(environment);
    const QString interpreter = QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                                        : QStringLiteral("python3");
    python.start(interpreter, {QStringLiteral("-c"), QString::fromLatin1(builder), adapter, address, name});
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        m_error = QStringLiteral("The SensorTag could not be made: ") + QString::fromUtf8(python.readAllStandardError());
        return false;
    }
    const QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() != 2)
            continue;
        if (fields.first() == QLatin1String("device"))
            m_devicePath = fields.last();
        else
            m_characteristics.insert(fields.first(), fields.last());
    }
    return !m_devicePath.isEmpty() && m_characteristics.size() == 6;
}

QString SensorTagStandIn::characteristicPath(const QString &fragment) const
{
    return m_characteristics.value(fragment.toUpper());
}

QVariant SensorTagStandIn::property(const QString &path, const QString &interface, const QString &name)
{
    const QDBusMessage reply = m_bluez.call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                            QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QVariant();
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QByteArray SensorTagStandIn::value(const QString &fragment)
{
    return property(characteristicPath(fragment), QStringLiteral("org.bluez.GattCharacteristic1"),
                    QStringLiteral("Value"))
        .toByteArray();
}

bool SensorTagStandIn::notifying(const QString &fragment)
{
    return property(characteristicPath(fragment), QStringLiteral("org.bluez.GattCharacteristic1"),
                    QStringLiteral("Notifying"))
        .toBool();
}

bool SensorTagStandIn::notify(const QString &fragment, const QByteArray &bytes)
{
    return m_bluez.call(characteristicPath(fragment), QStringLiteral("org.bluez.GattCharacteristic1"),
                        QStringLiteral("Notify"), {bytes})
               .type()
        == QDBusMessage::ReplyMessage;
}

bool SensorTagStandIn::connected()
{
    return property(m_devicePath, QStringLiteral("org.bluez.Device1"), QStringLiteral("Connected")).toBool();
}
