#include "ui/bluetoothlistviewmodel.h"

#include "bluetooth/bluetoothdiscoverdevices.h"

BluetoothListViewModel::BluetoothListViewModel(QObject *parent, BluetoothDiscoverDevices *discovery)
    : QAbstractListModel(parent)
    , m_discovery(discovery)
    , m_statusText(QStringLiteral("Press \"Discover devices\" first."))
{
    if (m_discovery) {
        connect(m_discovery, &BluetoothDiscoverDevices::deviceDiscoveryStarted, this,
                &BluetoothListViewModel::setDeviceDiscoveryStarted);
        connect(m_discovery, &BluetoothDiscoverDevices::deviceDiscoveryFinished, this,
                &BluetoothListViewModel::setDeviceDiscoveryFinished);
        connect(m_discovery, &BluetoothDiscoverDevices::connected, this, &BluetoothListViewModel::setDeviceConnected);
        connect(m_discovery, &BluetoothDiscoverDevices::disconnected, this,
                &BluetoothListViewModel::setDeviceDisconnected);
        connect(m_discovery, &BluetoothDiscoverDevices::deviceDiscoveryFailed, this,
                &BluetoothListViewModel::setDeviceDiscoveryFailed);
    }
    populateList();
}

int BluetoothListViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant BluetoothListViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role == DeviceNameRole)
        return m_rows.at(index.row()).first;
    if (role == ColorRole)
        return m_rows.at(index.row()).second;
    return QVariant();
}

bool BluetoothListViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != ColorRole)
        return false;
    const QString color = value.toString();
    if (m_rows.at(index.row()).second == color)
        return false;
    m_rows[index.row()].second = color;
    emit dataChanged(index, index, {ColorRole});
    return true;
}

Qt::ItemFlags BluetoothListViewModel::flags(const QModelIndex &index) const
{
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

QHash<int, QByteArray> BluetoothListViewModel::roleNames() const
{
    return {{DeviceNameRole, "deviceName"}, {ColorRole, "color"}};
}

void BluetoothListViewModel::setDeviceDiscoveryStarted()
{
    m_statusText = QStringLiteral("Scanning in progress...");
    populateList();
}

void BluetoothListViewModel::setDeviceDiscoveryFinished()
{
    m_statusText = QStringLiteral("No bluetooth devices in range");
    populateList();
}

void BluetoothListViewModel::setDeviceConnected()
{
    populateList();
}

void BluetoothListViewModel::setDeviceDisconnected()
{
    populateList();
}

void BluetoothListViewModel::setDeviceDiscoveryFailed(const QString &message)
{
    m_statusText = message;
    populateList();
}

void BluetoothListViewModel::updateDisplayed()
{
    populateList();
}

void BluetoothListViewModel::populateList()
{
    beginResetModel();
    m_rows.clear();
    const auto devices = m_discovery ? m_discovery->discoveredDevices() : QList<QBluetoothDeviceInfo>();
    const int connectedIndex = m_discovery ? m_discovery->connectedDeviceIndex() : -1;
    for (int i = 0; i < devices.size(); ++i) {
        QString name = devices.at(i).name();
        if (name.isEmpty())
            name = devices.at(i).address().toString();
        if (i == connectedIndex)
            name += QStringLiteral(" - Connected");
        m_rows.append({name, QString()});
    }
    const int deviceCount = m_rows.size();
    if (m_rows.isEmpty())
        m_rows.append({m_statusText, QString()});
    endResetModel();
    if (deviceCount != m_deviceCount) {
        m_deviceCount = deviceCount;
        emit deviceCountChanged();
    }
}
