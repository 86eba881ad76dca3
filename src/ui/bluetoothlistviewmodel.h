#pragma once

#include <QAbstractListModel>
#include <QPair>
#include <QString>
#include <QVector>

class BluetoothDiscoverDevices;

// The devices a Bluetooth search found, one row each (its name, or its address
// when it has none; the connected one marked), or a single row that says how
// the search stands. The screen keeps the colour of the selected row here.
class BluetoothListViewModel : public QAbstractListModel
{
    Q_OBJECT
    // The rows that are devices (0 while the single row is the status text).
    Q_PROPERTY(int deviceCount READ deviceCount NOTIFY deviceCountChanged)

public:
    enum Roles { DeviceNameRole = Qt::UserRole + 1, ColorRole };

    explicit BluetoothListViewModel(QObject *parent = nullptr, BluetoothDiscoverDevices *discovery = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString statusText() const { return m_statusText; }
    int deviceCount() const { return m_deviceCount; }

signals:
    void deviceCountChanged();

public slots:
    void setDeviceDiscoveryStarted();
    void setDeviceDiscoveryFinished();
    void setDeviceConnected();
    void setDeviceDisconnected();
    // A search that could not start or broke off: its message takes the place
    // of the status text.
    void setDeviceDiscoveryFailed(const QString &message);
    void updateDisplayed();
    void populateList();

private:
    BluetoothDiscoverDevices *m_discovery;
    QVector<QPair<QString, QString>> m_rows;   // device name, colour
    QString m_statusText;
    int m_deviceCount = 0;
};
