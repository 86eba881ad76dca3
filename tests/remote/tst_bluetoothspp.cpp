#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "bluetooth/bluetoothdiscoverdevices.h"
#include "bluezstandin.h"
#include "core/xaxis.h"
#include "offlinesettings.h"
#include "remote/bluetoothspp.h"
#include "remote/chatclient.h"
#include "remote/chatserver.h"
#include "remote/linechannel.h"
#include "remote/remotecontrol.h"
#include "spectrumqueries.h"
#include "ui/remotecontrolqml.h"

#include <QBluetoothLocalDevice>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// Whether this kernel has Bluetooth sockets; where it has, RFCOMM servers
// and sockets would reach for a real radio.
bool kernelHasBluetoothSockets()
{
    const int fd = ::socket(31 /* AF_BLUETOOTH */, SOCK_STREAM, 3 /* BTPROTO_RFCOMM */);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

// The Bluetooth serial link: the server and client sides on local socket
// pairs in place of RFCOMM sockets (line rules, trimming, the bound on a line,
// replies, a whole session with a calculation, the connected marks and texts),
// and against the BlueZ stand-in what it allows: the adapter, the device
// search, and the server and service search failing as they do without a radio.
class TestBluetoothSpp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void serverLinkRunsAWholeSession();
    void serverPeerHangingUp();
    void clientLinkLinesAreNotTrimmed();
    void lostClientLinkIsShown();
    void overlongLineIsDroppedAndTheLinkStays();
    void serverWithoutARadio();
    void connectingWithoutARadio();

private:
    // A connected pair of local sockets: the peer's end, and this device's end
    // for the transport.
    QLocalSocket *connectPair(QLocalSocket **ourEnd);
    QStringList readLines(QLocalSocket *peer, int count);

    BluezStandIn m_bluez;   // before anything uses Bluetooth
    QTemporaryDir m_folder;
    KolvexCore *m_core = nullptr;
    SpectraResultsQml *m_results = nullptr;
    RemoteControlQml *m_view = nullptr;
    BluetoothSpp *m_bluetooth = nullptr;
    QLocalServer m_pairServer;
    QList<QLocalSocket *> m_peers;
};

void TestBluetoothSpp::initTestCase()
{
    QVERIFY2(m_bluez.start(), qPrintable(m_bluez.errorString()));
    QVERIFY(!m_bluez.addAdapter(QStringLiteral("hci0"), QStringLiteral("kolvex-test")).isEmpty());
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:66"), QStringLiteral("Lab laptop")).isEmpty());
    m_core = new KolvexCore(offlineSettings(m_folder.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    m_results = new SpectraResultsQml(nullptr, m_core);
    // Nothing draws in this test: the assembled curves count as the redrawn plot.
    connect(m_core, &KolvexCore::updateSpectra, m_core, [this] { m_core->updatePlotInProgress(false); });
    m_bluetooth = m_core->bluetooth();
    m_view = new RemoteControlQml(nullptr, m_core->remoteControl(), m_core->webSockets(), m_bluetooth);
    m_bluetooth->discovery()->setDiscoveryTimeout(300);
    QVERIFY(m_pairServer.listen(QStringLiteral("kolvex-bt-test-%1").arg(QCoreApplication::applicationPid())));
}

void TestBluetoothSpp::cleanupTestCase()
{
    delete m_view;
    delete m_results;
    delete m_core;
}

void TestBluetoothSpp::init()
{
    m_view->setCommunicationMode(RemoteControl::BluetoothMode);
}

void TestBluetoothSpp::cleanup()
{
    m_view->setCommunicationMode(RemoteControl::NoCommunication);
    qDeleteAll(m_peers);
    m_peers.clear();
    QCOMPARE(m_bluetooth->server()->clientCount(), 0);
    QCOMPARE(m_bluetooth->clientCount(), 0);
}

QLocalSocket *TestBluetoothSpp::connectPair(QLocalSocket **ourEnd)
{
    auto *peer = new QLocalSocket;
    m_peers.append(peer);
    peer->connectToServer(m_pairServer.serverName());
    if (!m_pairServer.waitForNewConnection(5000) || !peer->waitForConnected(5000))
        return nullptr;
    *ourEnd = m_pairServer.nextPendingConnection();
    (*ourEnd)->setParent(nullptr);
    return peer;
}

QStringList TestBluetoothSpp::readLines(QLocalSocket *peer, int count)
{
    QStringList lines;
    QDeadlineTimer deadline(60000);
    while (lines.size() < count && !deadline.hasExpired()) {
        if (!peer->canReadLine()) {
            QTest::qWait(10);
            continue;
        }
        QByteArray line = peer->readLine();
        // Every reply is one line ending in one line feed.
        if (!line.endsWith('\n'))
            return lines << QStringLiteral("(no line feed) ") + QString::fromUtf8(line);
        line.chop(1);
        lines.append(QString::fromUtf8(line));
    }
    return lines;
}

void TestBluetoothSpp::serverLinkRunsAWholeSession()
{
    QLocalSocket *ours = nullptr;
    QLocalSocket *peer = connectPair(&ours);
    QVERIFY(peer);
    QVERIFY(!m_core->remoteControl()->isConnected());
    m_bluetooth->server()->addClient(ours, QStringLiteral("Lab laptop"));
    QVERIFY(m_core->remoteControl()->isConnected());
    QCOMPARE(m_view->connectedString(), QStringLiteral("Connected device: Lab laptop"));

    // Two commands in one line run both; the white space around a line goes.
    peer->write("   #SWAVE;2100#EWAVE;2300\t \n#NUMWNPTS;201\n#SWAVE;?#NUMWNPTS;?  \r\n");
    QCOMPARE(readLines(peer, 2), (QStringList{"2100", "201"}));
    QCOMPARE(m_core->xAxis()->maxWavenumber(), 2300.0);

    // A calculation, READY when it is done, then its grid and a spectrum.
    peer->write("#CALC\n#RESULT;WNGRID\n" + spectrumQuery(QStringLiteral("CO")).toLatin1() + '\n');
    const QStringList replies = readLines(peer, 3);
    QCOMPARE(replies.size(), 3);
    QCOMPARE(replies.at(0), QStringLiteral("READY"));
    const QStringList grid = replies.at(1).split(QLatin1Char(';'));
    QCOMPARE(grid.size(), 201);
    QCOMPARE(grid.first(), QStringLiteral("2100"));
    QCOMPARE(grid.at(100), QStringLiteral("2200"));
    QCOMPARE(replies.at(2).split(QLatin1Char(';')).size(), 201);
}

void TestBluetoothSpp::serverPeerHangingUp()
{
    QLocalSocket *ours = nullptr;
    QLocalSocket *peer = connectPair(&ours);
    QVERIFY(peer);
    m_bluetooth->server()->addClient(ours, QStringLiteral("Lab laptop"));
    // A command sent just before the hang-up still runs.
    peer->write("#PATH;123\n");
    peer->flush();
    peer->disconnectFromServer();
    QTRY_COMPARE(m_bluetooth->server()->clientCount(), 0);
    QCOMPARE(m_core->remoteControl()->queryValue(QStringLiteral("PATH"), 0, true), QStringLiteral("123"));
    QVERIFY(!m_core->remoteControl()->isConnected());
    QCOMPARE(m_view->connectedString(), QStringLiteral("00001101-0000-1000-8000-00805f9b34fb"));
}

// This device as the client of another device's server: lines are taken as
// they come, and the replies go back over the same link.
void TestBluetoothSpp::clientLinkLinesAreNotTrimmed()
{
    QLocalSocket *ours = nullptr;
    QLocalSocket *peer = connectPair(&ours);
    QVERIFY(peer);
    m_bluetooth->discovery()->setSelectedDeviceIndex(0);
    m_bluetooth->addClientLink(ours, QStringLiteral("Remote server"));
    QCOMPARE(m_bluetooth->discovery()->connectedDeviceIndex(), 0);
    QCOMPARE(m_view->connectButtonText(), QStringLiteral(" Disconnect "));
    QVERIFY(m_core->remoteControl()->isConnected());

    peer->write("#DELIMITER;, \n#DELIMITER;?\n");
    QCOMPARE(readLines(peer, 1), QStringList{", "});
    m_core->remoteControl()->applySetting(QStringLiteral("DELIMITER"), QStringLiteral(";"), 0);

    // The button disconnects: the link closes and the mark goes.
    QSignalSpy closed(peer, &QLocalSocket::disconnected);
    m_view->connectBluetooth();
    QVERIFY(closed.wait(5000));
    QCOMPARE(m_bluetooth->clientCount(), 0);
    QCOMPARE(m_bluetooth->discovery()->connectedDeviceIndex(), -1);
    QCOMPARE(m_view->connectButtonText(), QStringLiteral("  Connect  "));
    QCOMPARE(m_view->bluetoothStatus(), QStringLiteral("Disconnected from Remote server."));
}

void TestBluetoothSpp::lostClientLinkIsShown()
{
    QLocalSocket *ours = nullptr;
    QLocalSocket *peer = connectPair(&ours);
    QVERIFY(peer);
    m_bluetooth->addClientLink(ours, QStringLiteral("Remote server"));
    QSignalSpy buttonText(m_view, &RemoteControlQml::connectButtonTextChanged);
    peer->disconnectFromServer();
    QTRY_COMPARE(m_bluetooth->clientCount(), 0);
    QCOMPARE(m_view->bluetoothStatus(), QStringLiteral("The link to Remote server was lost."));
    QCOMPARE(m_view->connectButtonText(), QStringLiteral("  Connect  "));
    QVERIFY(buttonText.count() >= 1);
    QVERIFY(!m_core->remoteControl()->isConnected());
}

// A peer that sends no line feed: the over-long line is dropped with a log
// line, the next line runs and the link stays up.
void TestBluetoothSpp::overlongLineIsDroppedAndTheLinkStays()
{
    QLocalSocket *ours = nullptr;
    QLocalSocket *peer = connectPair(&ours);
    QVERIFY(peer);
    m_bluetooth->server()->addClient(ours, QStringLiteral("Lab laptop"));
    QTest::ignoreMessage(QtWarningMsg, "A line of more than 1048576 bytes from Lab laptop was dropped.");
    const QByteArray flood(3 * LineChannel::maxLineLength, '#');
    for (int sent = 0; sent < flood.size(); sent += 65536) {
        peer->write(flood.mid(sent, 65536));
        peer->waitForBytesWritten(5000);
        QTest::qWait(1);
    }
    peer->write("\n#PATH;?\n");
    QCOMPARE(readLines(peer, 1), QStringList{m_core->remoteControl()->queryValue(QStringLiteral("PATH"), 0, false)});
    QCOMPARE(m_bluetooth->server()->clientCount(), 1);
    QVERIFY(peer->bytesAvailable() == 0);
}

// On the stand-in the adapter is found and made discoverable, but without a
// radio the RFCOMM server cannot bind: the screen's text says so and no
// device counts as connected.
void TestBluetoothSpp::serverWithoutARadio()
{
    if (kernelHasBluetoothSockets())
        QSKIP("This kernel has Bluetooth sockets: the server would bind to a real adapter here.");
    QCOMPARE(QBluetoothLocalDevice().hostMode(), QBluetoothLocalDevice::HostDiscoverable);
    QCOMPARE(m_view->bluetoothStatus(),
             QStringLiteral("The Bluetooth server cannot start: Cannot bind the server to the adapter 00:01:02:03:04:05."));
    QVERIFY(!m_bluetooth->server()->isListening());
    // Mode 0 stops everything and clears the text.
    m_view->setCommunicationMode(RemoteControl::NoCommunication);
    QCOMPARE(m_view->bluetoothStatus(), QString());

    // Without an adapter neither the server nor a connection starts, and the
    // screen says why.
    QVERIFY(m_bluez.removeAdapter(QStringLiteral("hci0")));
    QTRY_VERIFY(!QBluetoothLocalDevice().isValid());
    QTest::ignoreMessage(QtWarningMsg, "No Bluetooth adapter found.");
    m_view->setCommunicationMode(RemoteControl::BluetoothMode);
    QCOMPARE(m_view->bluetoothStatus(), QStringLiteral("No Bluetooth adapter found."));
    QVERIFY(!m_bluetooth->server()->isListening());
    m_view->setCommunicationMode(RemoteControl::NoCommunication);
    QVERIFY(!m_bluez.addAdapter(QStringLiteral("hci0"), QStringLiteral("kolvex-test")).isEmpty());
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:66"), QStringLiteral("Lab laptop")).isEmpty());
    QTRY_VERIFY(QBluetoothLocalDevice().isValid());
}

// Connecting to a found device: the service search and the RFCOMM socket need
// a radio, so both fail here, and the screen's text says how.
void TestBluetoothSpp::connectingWithoutARadio()
{
    if (kernelHasBluetoothSockets())
        QSKIP("This kernel has Bluetooth sockets: the search and the link would reach for a real device here.");
    BluetoothDiscoverDevices *discovery = m_bluetooth->discovery();
    QSignalSpy found(discovery, &BluetoothDiscoverDevices::deviceDiscoveryFinished);
    m_view->discoverDevices();
    QVERIFY(found.wait(10000));
    QCOMPARE(discovery->discoveredDevices().size(), 1);
    m_view->setSelectedBluetoothDeviceIndex(0);

    QSignalSpy searched(m_bluetooth, &BluetoothSpp::servicesDiscovered);
    m_view->connectBluetooth();
    QVERIFY(searched.wait(20000));
    QVERIFY2(m_view->bluetoothStatus().startsWith(QStringLiteral("The service search on Lab laptop failed: ")),
             qPrintable(m_view->bluetoothStatus()));
    QCOMPARE(m_bluetooth->clientCount(), 0);
    QCOMPARE(m_view->connectButtonText(), QStringLiteral("  Connect  "));

    // A service record as a search would give it: the socket cannot open.
    QBluetoothServiceInfo service;
    service.setDevice(discovery->discoveredDevices().first());
    QBluetoothServiceInfo::Sequence rfcomm;
    rfcomm << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::Rfcomm)) << QVariant::fromValue(quint8(1));
    QBluetoothServiceInfo::Sequence protocols;
    protocols << QVariant::fromValue(rfcomm);
    service.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList, protocols);
    ChatClient client;
    QSignalSpy ended(&client, &ChatClient::disconnected);
    QSignalSpy failed(&client, &ChatClient::errorOccurred);
    client.startClient(service);
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(failed.count(), 1);
    QVERIFY(failed.first().first().toString().startsWith(QStringLiteral("The link to Lab laptop failed: ")));
    QVERIFY(!client.isConnected());
}

QTEST_GUILESS_MAIN(TestBluetoothSpp)
#include "tst_bluetoothspp.moc"
