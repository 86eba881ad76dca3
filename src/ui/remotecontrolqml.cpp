#include "ui/remotecontrolqml.h"

#include "remote/remotecontrol.h"
#include "remote/websockets.h"

#include <QDebug>
#include <QDesktopServices>
#include <QSettings>
#include <QUrl>

RemoteControlQml::RemoteControlQml(QObject *parent, RemoteControl *remoteControl, WebSockets *webSockets)
    : QObject(parent)
    , m_remoteControl(remoteControl)
    , m_webSockets(webSockets)
    , m_connectedString(serviceUuid())
{
    if (!m_remoteControl || !m_webSockets)
        return;
    m_communicationMode = m_remoteControl->communicationMode();
    m_broadcastManualInput = m_remoteControl->broadcastManualInput();
    m_portNumber = QString::number(m_webSockets->port());
    m_webSockets->setAllowWebPages(QSettings().value(allowWebPagesKey(), false).toBool());
    connect(m_webSockets, &WebSockets::connectedStateChanged, this, &RemoteControlQml::setConnectedState);
}

bool RemoteControlQml::allowWebPages() const
{
    return m_webSockets && m_webSockets->allowWebPages();
}

void RemoteControlQml::setAllowWebPages(bool allow)
{
    if (!m_webSockets || allow == m_webSockets->allowWebPages())
        return;
    m_webSockets->setAllowWebPages(allow);
    QSettings().setValue(allowWebPagesKey(), allow);
    emit allowWebPagesChanged();
}

void RemoteControlQml::setCommunicationMode(int mode)
{
    if (mode == m_communicationMode || !m_remoteControl)
        return;
    m_remoteControl->setCommunicationMode(mode);
    m_communicationMode = m_remoteControl->communicationMode();
    emit communicationModeChanged();
    emit remoteDeviceIpAddressChanged();
}

void RemoteControlQml::setBroadcastManualInput(bool broadcast)
{
    if (broadcast == m_broadcastManualInput || !m_remoteControl)
        return;
    m_broadcastManualInput = broadcast;
    m_remoteControl->setBroadcastManualInput(broadcast);
    emit broadcastManualInputChanged();
}

QString RemoteControlQml::portNumber() const
{
    return m_portNumber;
}

void RemoteControlQml::setPortNumber(const QString &text)
{
    if (text == m_portNumber || text.isEmpty() || !m_webSockets)
        return;
    m_portNumber = text;
    bool ok = false;
    const ushort port = m_locale.toUShort(text.trimmed(), &ok);
    m_webSockets->setPort(ok ? port : 0);
    emit portNumberChanged();
    emit remoteDeviceIpAddressChanged();
}

QString RemoteControlQml::kolvexDeviceIpAddress() const
{
    return WebSockets::deviceAddressText();
}

QString RemoteControlQml::remoteDeviceIpAddress() const
{
    return m_webSockets ? m_webSockets->peerAddressText() : QString();
}

void RemoteControlQml::setSelectedBluetoothDeviceIndex(int index)
{
    if (index == m_selectedBluetoothDeviceIndex)
        return;
    m_selectedBluetoothDeviceIndex = index;
    emit selectedBluetoothDeviceIndexChanged();
}

QString RemoteControlQml::connectButtonText() const
{
    return m_connectedBluetoothDeviceIndex != -1 ? QStringLiteral(" Disconnect ") : QStringLiteral("  Connect  ");
}

void RemoteControlQml::setConnectedState()
{
    emit remoteDeviceIpAddressChanged();
    emit connectButtonTextChanged();
}

void RemoteControlQml::setConnectedToBluetoothServer(const QString &name)
{
    m_connectedString = QStringLiteral("Connected device: ") + name;
    emit connectedStringChanged();
}

void RemoteControlQml::setDisconnectedFromBluetoothServer(const QString &name)
{
    Q_UNUSED(name)
    m_connectedString = serviceUuid();
    emit connectedStringChanged();
}

void RemoteControlQml::openUrl(const QString &webAddress)
{
    QDesktopServices::openUrl(QUrl(webAddress));
}

// The Bluetooth transport plugs in here; until then there is nothing to
// discover or connect to.
void RemoteControlQml::discoverDevices()
{
    qDebug() << "Bluetooth device discovery is not available.";
}

void RemoteControlQml::connectBluetooth()
{
    qDebug() << "Connected device index: " << m_connectedBluetoothDeviceIndex;
}

void RemoteControlQml::broadcastCommand(const QString &command, int index)
{
    if (m_remoteControl)
        m_remoteControl->broadcastValue(command, index);
}

void RemoteControlQml::sendMessage(const QString &message)
{
    if (m_remoteControl)
        m_remoteControl->sendReply(message);
}
