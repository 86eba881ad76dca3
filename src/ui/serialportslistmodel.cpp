#include "ui/serialportslistmodel.h"

#include "app/kolvexcore.h"
#include "remote/serialport.h"

SerialPortsListModel::SerialPortsListModel(QObject *parent, KolvexCore *core)
    : QAbstractListModel(parent)
    , m_port(core ? core->serialPort() : nullptr)
{
    updateDisplayed();
}

int SerialPortsListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_names.size();
}

QVariant SerialPortsListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_names.size() || role != PortNameRole)
        return QVariant();
    return m_names.at(index.row());
}

QHash<int, QByteArray> SerialPortsListModel::roleNames() const
{
    return {{PortNameRole, "portName"}};
}

void SerialPortsListModel::updateDisplayed()
{
    beginResetModel();
    m_names = m_port ? m_port->availablePortNames() : QStringList();
    if (m_names.isEmpty())
        m_names.append(QStringLiteral("Unavailable"));
    endResetModel();
}
