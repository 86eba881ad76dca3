#include "bluezstandin.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {

const QString mockInterface = QStringLiteral("org.bluez.Mock");

// A system bus that lets its clients own and call everything.
const char busConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:dir=%1</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// Debian's interpreter, which has the python3-dbusmock package; another
// python3 on the PATH may not.
QString python()
{
    const QString system = QStringLiteral("/usr/bin/python3");
    return QFileInfo::exists(system) ? system : QStringLiteral("python3");
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

BluezStandIn::BluezStandIn()
    : m_connectionName(QStringLiteral("kolvex-bluez-stand-in"))
{
}

BluezStandIn::~BluezStandIn()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    stop(m_mock);
    stop(m_bus);
}

bool BluezStandIn::fail(const QString &message)
{
    m_error = message;
    stop(m_mock);
    stop(m_bus);
    return false;
}

bool BluezStandIn::start()
{
    if (!m_folder.isValid())
        return fail(QStringLiteral("No temporary folder for the bus."));
    const QString configPath = m_folder.filePath(QStringLiteral("system-bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)
        || config.write(QString::fromLatin1(busConfiguration).arg(m_folder.path()).toUtf8()) < 0)
        return fail(QStringLiteral("Cannot write the bus configuration."));
    config.close();

    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address")});
    if (!m_bus.waitForStarted(5000))
        return fail(QStringLiteral("dbus-daemon cannot be started (package dbus-daemon): ") + m_bus.errorString());
    QDeadlineTimer deadline(10000);
    while (!m_bus.canReadLine() && !deadline.hasExpired() && m_bus.state() == QProcess::Running)
        m_bus.waitForReadyRead(200);
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    if (m_address.isEmpty())
        return fail(QStringLiteral("dbus-daemon did not say where it listens: ")
                    + QString::fromUtf8(m_bus.readAllStandardError()));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    m_mock.setProcessEnvironment(environment);
    // It logs every call on standard output; its complaints stay readable.
    m_mock.setStandardOutputFile(QProcess::nullDevice());
    m_mock.start(python(), {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                            QStringLiteral("--template"), QStringLiteral("bluez5")});
    if (!m_mock.waitForStarted(5000))
        return fail(QStringLiteral("python3 cannot be started: ") + m_mock.errorString());

    QDBusConnection bus = QDBusConnection::connectToBus(m_address, m_connectionName);
    if (!bus.isConnected())
        return fail(QStringLiteral("Cannot reach the stand-in's bus: ") + bus.lastError().message());
    while (!bus.interface()->isServiceRegistered(QStringLiteral("org.bluez"))) {
        if (m_mock.state() != QProcess::Running)
            return fail(QStringLiteral("The BlueZ stand-in ended at once (is python3-dbusmock installed?): ")
                        + QString::fromUtf8(m_mock.readAllStandardError()));
        if (deadline.hasExpired())
            return fail(QStringLiteral("The BlueZ stand-in did not appear on the bus."));
        QThread::msleep(50);
    }
    return true;
}

QDBusMessage BluezStandIn::call(const QString &path, const QString &interface, const QString &method,
                                const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection(m_connectionName).call(message, QDBus::Block, 10000);
}

QString BluezStandIn::addAdapter(const QString &name, const QString &systemName)
{
    const QDBusMessage reply = call(QStringLiteral("/"), mockInterface, QStringLiteral("AddAdapter"), {name, systemName});
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString() : QString();
}

bool BluezStandIn::removeAdapter(const QString &name)
{
    return call(QStringLiteral("/"), mockInterface, QStringLiteral("RemoveAdapterWithDevices"), {name}).type()
        == QDBusMessage::ReplyMessage;
}

QString BluezStandIn::addDevice(const QString &adapter, const QString &address, const QString &name)
{
    const QDBusMessage reply = call(QStringLiteral("/"), mockInterface, QStringLiteral("AddDevice"), {adapter, address, name});
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString() : QString();
}

bool BluezStandIn::setAdapterPowered(const QString &name, bool powered)
{
    const QVariantList arguments{QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Powered"),
                                 QVariant::fromValue(QDBusVariant(powered))};
    return call(QStringLiteral("/org/bluez/") + name, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Set"), arguments)
               .type()
        == QDBusMessage::ReplyMessage;
}
