#pragma once

#include <QAbstractListModel>
#include <QStringList>

class KolvexCore;
class SerialPort;

// The serial ports the transport offers, or the single row "Unavailable".
class SerialPortsListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles { PortNameRole = Qt::UserRole + 1 };

    explicit SerialPortsListModel(QObject *parent = nullptr, KolvexCore *core = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void updateDisplayed();

private:
    SerialPort *m_port = nullptr;
    QStringList m_names;
};
