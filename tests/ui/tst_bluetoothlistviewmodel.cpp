#include "bluetooth/bluetoothdiscoverdevices.h"
#include "bluezstandin.h"
#include "ui/bluetoothlistviewmodel.h"

#include <QSignalSpy>
#include <QtTest>

// Device discovery and the device list against the BlueZ stand-in: what the
// list says before, during and after a search, without an adapter or with it
// switched off, the rows in discovery order and the connected mark.
class TestBluetoothListViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void beforeAnySearch();
    void searchWithoutUsableAdapter();
    void searchThatFindsNothing();
    void devicesInDiscoveryOrder();
    void connectedDeviceIsMarked();
    void colourOfARow();

private:
    QStringList rows() const;
    bool search();

    // Started first: QtBluetooth keeps the first bus it finds.
    BluezStandIn m_bluez;
    std::unique_ptr<BluetoothDiscoverDevices> m_discovery;
    std::unique_ptr<BluetoothListViewModel> m_model;
};

void TestBluetoothListViewModel::initTestCase()
{
    QVERIFY2(m_bluez.start(), qPrintable(m_bluez.errorString()));
    m_discovery = std::make_unique<BluetoothDiscoverDevices>();
    // The stand-in reports its devices at once; a search need not last 5 s.
    m_discovery->setDiscoveryTimeout(300);
    m_model = std::make_unique<BluetoothListViewModel>(nullptr, m_discovery.get());
}

QStringList TestBluetoothListViewModel::rows() const
{
    QStringList names;
    for (int row = 0; row < m_model->rowCount(); ++row)
        names.append(m_model->data(m_model->index(row), BluetoothListViewModel::DeviceNameRole).toString());
    return names;
}

// Runs one search to its end; false when it did not start.
bool TestBluetoothListViewModel::search()
{
    QSignalSpy started(m_discovery.get(), &BluetoothDiscoverDevices::deviceDiscoveryStarted);
    QSignalSpy finished(m_discovery.get(), &BluetoothDiscoverDevices::deviceDiscoveryFinished);
    m_discovery->startDiscovery(false);
    return started.count() == 1 && finished.wait(10000);
}

void TestBluetoothListViewModel::beforeAnySearch()
{
    QCOMPARE(rows(), QStringList{QStringLiteral("Press \"Discover devices\" first.")});
    QCOMPARE(m_discovery->connectedDeviceIndex(), -1);
    QCOMPARE(m_discovery->selectedDeviceIndex(), 0);
}

void TestBluetoothListViewModel::searchWithoutUsableAdapter()
{
    // No adapter at all, then one that is switched off: the list says why,
    // and no search is announced that would never end.
    QSignalSpy started(m_discovery.get(), &BluetoothDiscoverDevices::deviceDiscoveryStarted);
    QSignalSpy failed(m_discovery.get(), &BluetoothDiscoverDevices::deviceDiscoveryFailed);
    m_discovery->startDiscovery(false);
    QCOMPARE(rows(), QStringList{QStringLiteral("No Bluetooth adapter found.")});

    QVERIFY(!m_bluez.addAdapter(QStringLiteral("hci0"), QStringLiteral("kolvex-test")).isEmpty());
    QVERIFY(m_bluez.setAdapterPowered(QStringLiteral("hci0"), false));
    m_discovery->startDiscovery(false);
    QCOMPARE(rows(), QStringList{QStringLiteral("Bluetooth is switched off.")});
    QCOMPARE(failed.count(), 2);
    QCOMPARE(started.count(), 0);

    // Switched on again, the same adapter searches.
    QVERIFY(m_bluez.setAdapterPowered(QStringLiteral("hci0"), true));
    QVERIFY(search());
}

void TestBluetoothListViewModel::searchThatFindsNothing()
{
    QSignalSpy finished(m_discovery.get(), &BluetoothDiscoverDevices::deviceDiscoveryFinished);
    m_discovery->startDiscovery(false);
    // While it runs, the list says so.
    QCOMPARE(rows(), QStringList{QStringLiteral("Scanning in progress...")});
    QVERIFY(finished.wait(10000));
    QCOMPARE(rows(), QStringList{QStringLiteral("No bluetooth devices in range")});
}

void TestBluetoothListViewModel::devicesInDiscoveryOrder()
{
    // The stand-in reports its devices in the order of their addresses, which
    // here is not the order of their names; the one without a name is listed
    // by its address.
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:01"), QStringLiteral("Zeta lab laptop")).isEmpty());
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:02"), QString()).isEmpty());
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:03"), QStringLiteral("Alpha terminal")).isEmpty());
    QVERIFY(search());
    const QStringList expected{QStringLiteral("Zeta lab laptop"), QStringLiteral("11:22:33:44:55:02"),
                               QStringLiteral("Alpha terminal")};
    QCOMPARE(rows(), expected);
}

void TestBluetoothListViewModel::connectedDeviceIsMarked()
{
    QSignalSpy connected(m_discovery.get(), &BluetoothDiscoverDevices::connected);
    QSignalSpy disconnected(m_discovery.get(), &BluetoothDiscoverDevices::disconnected);
    m_discovery->setSelectedDeviceIndex(2);
    m_discovery->setDeviceConnected();
    QCOMPARE(connected.count(), 1);
    QCOMPARE(m_discovery->connectedDeviceIndex(), 2);
    QCOMPARE(rows().value(2), QStringLiteral("Alpha terminal - Connected"));
    QCOMPARE(rows().value(0), QStringLiteral("Zeta lab laptop"));

    // Selecting another row does not move the mark; a disconnect removes it.
    m_discovery->setSelectedDeviceIndex(0);
    m_model->updateDisplayed();
    QCOMPARE(rows().value(2), QStringLiteral("Alpha terminal - Connected"));
    m_discovery->setDeviceDisconnected();
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(m_discovery->connectedDeviceIndex(), -1);
    QCOMPARE(rows().value(2), QStringLiteral("Alpha terminal"));
}

void TestBluetoothListViewModel::colourOfARow()
{
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    const QModelIndex row = m_model->index(1);
    QVERIFY(m_model->setData(row, QStringLiteral("#3daee9"), BluetoothListViewModel::ColorRole));
    QCOMPARE(m_model->data(row, BluetoothListViewModel::ColorRole).toString(), QStringLiteral("#3daee9"));
    QCOMPARE(m_model->data(m_model->index(0), BluetoothListViewModel::ColorRole).toString(), QString());
    // The same colour again is no change; a name cannot be written.
    QVERIFY(!m_model->setData(row, QStringLiteral("#3daee9"), BluetoothListViewModel::ColorRole));
    QVERIFY(!m_model->setData(row, QStringLiteral("x"), BluetoothListViewModel::DeviceNameRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), row);
}

QTEST_GUILESS_MAIN(TestBluetoothListViewModel)
#include "tst_bluetoothlistviewmodel.moc"
