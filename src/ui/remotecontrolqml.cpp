#include "ui/remotecontrolqml.h"

#include "bluetooth/bluetoothdiscoverdevices.h"
#include "core/settingrules.h"
#include "remote/bluetoothspp.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "ui/numbertext.h"

#include <QDebug>
#include <QDesktopServices>
#include <QSettings>
#include <QUrl>

RemoteControlQml::RemoteControlQml(QObject *parent, RemoteControl *remoteControl, WebSockets *webSockets,
                                   BluetoothSpp *bluetooth)
    : QObject(parent)
    , m_remoteControl(remoteControl)
    , m_webSockets(webSockets)
    , m_bluetooth(bluetooth)
    , m_connectedString(serviceUuid())
{
    if (m_bluetooth) {
        BluetoothDiscoverDevices *discovery = m_bluetooth->discovery();
        connect(discovery, &BluetoothDiscoverDevices::connected, this, &RemoteControlQml::connectButtonTextChanged);
        connect(discovery, &BluetoothDiscoverDevices::disconnected, this, &RemoteControlQml::connectButtonTextChanged);
        connect(m_bluetooth, &BluetoothSpp::connectedToServer, this, &RemoteControlQml::setConnectedToBluetoothServer);
        connect(m_bluetooth, &BluetoothSpp::disconnectedFromServer, this,
                &RemoteControlQml::setDisconnectedFromBluetoothServer);
        connect(m_bluetooth, &BluetoothSpp::statusTextChanged, this, &RemoteControlQml::bluetoothStatusChanged);
    }
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
    enterPortNumber(text);
}

QString RemoteControlQml::enterPortNumber(const QString &text)
{
    if (text.trimmed() == m_portNumber || !m_webSockets)
        return QString();
    int port = 0;
    QString problem = NumberText::parseWhole(text, &port);
    if (problem.isEmpty())
        problem = SettingRules::portProblem(port);
    if (!problem.isEmpty())
        return problem;
    m_portNumber = QString::number(port);
    m_webSockets->setPort(port);
    emit portNumberChanged();
    emit remoteDeviceIpAddressChanged();
    return QString();
}

QString RemoteControlQml::kolvexDeviceIpAddress() const
{
    return WebSockets::deviceAddressText();
}

QString RemoteControlQml::remoteDeviceIpAddress() const
{
    return m_webSockets ? m_webSockets->peerAddressText() : QString();
}

int RemoteControlQml::selectedBluetoothDeviceIndex() const
{
    return m_bluetooth ? m_bluetooth->discovery()->selectedDeviceIndex() : 0;
}

void RemoteControlQml::setSelectedBluetoothDeviceIndex(int index)
{
    if (index == selectedBluetoothDeviceIndex() || !m_bluetooth)
        return;
    m_bluetooth->discovery()->setSelectedDeviceIndex(index);
    emit selectedBluetoothDeviceIndexChanged();
}

QString RemoteControlQml::connectButtonText() const
{
    const bool connected = m_bluetooth && m_bluetooth->discovery()->connectedDeviceIndex() != -1;
    return connected ? QStringLiteral(" Disconnect ") : QStringLiteral("  Connect  ");
}

QString RemoteControlQml::bluetoothStatus() const
{
    return m_bluetooth ? m_bluetooth->statusText() : QString();
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

void RemoteControlQml::discoverDevices()
{
    if (m_bluetooth)
        m_bluetooth->discovery()->startDiscovery(false);
}

// Toggles: a connected device is disconnected, otherwise the selected one is
// connected to.
void RemoteControlQml::connectBluetooth()
{
    if (!m_bluetooth)
        return;
    const int connectedIndex = m_bluetooth->discovery()->connectedDeviceIndex();
    qDebug() << "Connected device index: " << connectedIndex;
    if (connectedIndex != -1)
        m_bluetooth->stopClients();
    else
        m_bluetooth->connectToSelectedDevice();
}

void RemoteControlQml::sendMessage(const QString &message)
{
    if (m_remoteControl)
        m_remoteControl->sendReply(message);
}
