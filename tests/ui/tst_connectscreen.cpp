#include "app/kolvexcore.h"
#include "bluetooth/bluetoothdiscoverdevices.h"
#include "bluezstandin.h"
#include "core/params.h"
#include "mainwindowundertest.h"
#include "remote/bluetoothspp.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "ui/notifierqml.h"
#include "ui/remotecontrolqml.h"
#include "ui/viewobjects.h"

#include <QDir>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QTcpServer>
#include <QWebSocket>
#include <QtTest>

namespace {

QQuickItem *findControl(QObject *root, const QString &path)
{
    return MainWindowUnderTest::findControl(root, path);
}

} // namespace

// The connection screens (Bluetooth on the BlueZ stand-in), and the settings
// screens mirroring values changed by hand to a peer connected over WebSocket
// (loopback), while values that came from the peer are not sent back.
class TestConnectScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void connectScreensOpenAndClose();
    void menuOpensTheConnectScreen();
    void modeAndBroadcastSwitch();
    void bluetoothClientScreen();
    void portNumberScreenMovesTheServer();
    void manualChangeReachesThePeer_data();
    void manualChangeReachesThePeer();
    void nothingIsSentWithBroadcastOff();
    void calcIsSentToThePeer();
    void peerChangesAreNotEchoed_data();
    void peerChangesAreNotEchoed();

private:
    bool connectPeer();

    BluezStandIn m_bluez;   // before anything uses Bluetooth
    MainWindowUnderTest m_ui;
    RemoteControl *m_remote = nullptr;
    RemoteControlQml *m_remoteQml = nullptr;
    std::unique_ptr<QWebSocket> m_peer;
    QStringList m_received;
};

void TestConnectScreen::initTestCase()
{
    QVERIFY2(m_bluez.start(), qPrintable(m_bluez.errorString()));
    QVERIFY(!m_bluez.addAdapter(QStringLiteral("hci0"), QStringLiteral("kolvex-test")).isEmpty());
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:66"), QStringLiteral("Lab laptop")).isEmpty());
    m_ui.createCore();
    m_ui.core()->bluetooth()->discovery()->setDiscoveryTimeout(300);
    m_ui.openWindow();
    m_remote = m_ui.core()->remoteControl();
    m_remoteQml = m_ui.views()->remoteControl();
    // Offline, start-up notes that the tables could not be fetched; no dialog waits.
    QVERIFY(m_ui.core()->note().contains(QLatin1String("molparam.txt")));
    QVERIFY(!m_ui.window()->findChild<QObject *>(QStringLiteral("okDialog"))->property("opened").toBool());
    QCOMPARE(m_ui.core()->okDialogText(), QStringLiteral("undefined"));   // never shown
    // From here on an empty text means the last dialog was answered.
    m_ui.core()->setOkDialogText(QString());
    m_ui.checkNoProblems();
}

void TestConnectScreen::cleanupTestCase()
{
    m_ui.close();
}

static quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

void TestConnectScreen::init()
{
    // A port free now on 127.0.0.1; the server restarts on it.
    const quint16 port = freePort();
    QVERIFY(port != 0);
    m_remoteQml->setPortNumber(QString::number(port));
    m_remoteQml->setCommunicationMode(RemoteControl::WebSocketMode);
    QVERIFY(m_ui.core()->webSockets()->isListening());
    QCOMPARE(m_ui.core()->webSockets()->serverPort(), port);
    m_remoteQml->setBroadcastManualInput(true);
    m_received.clear();
}

void TestConnectScreen::cleanup()
{
    if (m_peer) {
        m_peer->close();
        QTRY_VERIFY(m_ui.core()->webSockets()->peerAddressText().isEmpty());
        m_peer.reset();
    }
    m_remoteQml->setCommunicationMode(RemoteControl::NoCommunication);
    if (QObject *screen = m_ui.window()->property("currentScreen").value<QObject *>())
        QMetaObject::invokeMethod(screen, "close");
    QTest::qWait(20);
    if (!m_ui.core()->okDialogText().isEmpty()) {
        QTest::keyClick(m_ui.window(), Qt::Key_Escape);
        QTRY_COMPARE(m_ui.core()->okDialogText(), QString());
    }
    m_ui.checkNoProblems();
}

bool TestConnectScreen::connectPeer()
{
    m_peer = std::make_unique<QWebSocket>();
    connect(m_peer.get(), &QWebSocket::textMessageReceived, this,
            [this](const QString &text) { m_received.append(text); });
    QSignalSpy connected(m_peer.get(), &QWebSocket::connected);
    m_peer->open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_ui.core()->webSockets()->serverPort())));
    if (!connected.wait(5000))
        return false;
    // The program counts the peer once its address is known.
    if (!QTest::qWaitFor([this] { return m_remote->isConnected(); }, 5000))
        return false;
    return m_remoteQml->remoteDeviceIpAddress() == QLatin1String("127.0.0.1");
}

void TestConnectScreen::connectScreensOpenAndClose()
{
    QVERIFY(connectPeer());
    for (const QString &file : {QStringLiteral("Connect.qml"), QStringLiteral("PortNumber.qml"),
                                QStringLiteral("BluetoothClientConnect.qml")}) {
        QPointer<QObject> screen = m_ui.openScreen(file);
        QVERIFY2(screen, qPrintable(file));
        for (bool landscape : {false, true}) {
            m_ui.setOrientation(landscape);
            auto *item = qobject_cast<QQuickItem *>(screen.data());
            QVERIFY(item && item->isVisible());
            QCOMPARE(item->width(), m_ui.window()->contentItem()->width());
            m_ui.shoot(QFileInfo(file).baseName() + (landscape ? QStringLiteral("-landscape") : QStringLiteral("-portrait")));
        }
        m_ui.setOrientation(false);
        if (file == QLatin1String("Connect.qml")) {
            // The screen shows what the remote control reports.
            QVERIFY(findControl(screen, QStringLiteral("webSocketsGroup"))->isVisible());
            QCOMPARE(findControl(screen, QStringLiteral("portNumberText"))->property("text").toString(),
                     QString::number(m_ui.core()->webSockets()->serverPort()));
            QVERIFY(findControl(screen, QStringLiteral("peerAddress"))->property("text").toString().contains(
                QLatin1String("127.0.0.1")));
            QVERIFY(findControl(screen, QStringLiteral("deviceAddresses"))->property("text").toString().contains(
                m_remoteQml->kolvexDeviceIpAddress()));
            m_remoteQml->setCommunicationMode(RemoteControl::BluetoothMode);
            QTest::qWait(60);
            QVERIFY(findControl(screen, QStringLiteral("bluetoothGroup"))->isVisible());
            QVERIFY(findControl(screen, QStringLiteral("bluetoothService"))->property("text").toString().contains(
                QLatin1String("00001101-0000-1000-8000-00805f9b34fb")));
            QCOMPARE(findControl(screen, QStringLiteral("bluetoothConnectButton"))->property("text").toString(),
                     m_remoteQml->connectButtonText());
            // Chosen as a client, the device offers no service: the text says what a client does.
            QVERIFY(screen->setProperty("bluetoothEntry", 2));
            const QString client = findControl(screen, QStringLiteral("bluetoothService"))->property("text").toString();
            QVERIFY2(client.contains(QLatin1String("As a client")) && !client.contains(QLatin1String("server")),
                     qPrintable(client));
            QVERIFY(screen->setProperty("bluetoothEntry", 1));
            // Without an adapter the screen says why nothing is served.
            QCOMPARE(findControl(screen, QStringLiteral("bluetoothStatus"))->property("text").toString(),
                     m_remoteQml->bluetoothStatus());
            QVERIFY(!m_remoteQml->bluetoothStatus().isEmpty());
            m_ui.shoot(QStringLiteral("Connect-bluetooth-portrait"));
            m_remoteQml->setCommunicationMode(RemoteControl::SerialPortMode);
            QTest::qWait(60);
            QVERIFY(!findControl(screen, QStringLiteral("webSocketsGroup"))->isVisible());
            QVERIFY(findControl(screen, QStringLiteral("serialGroup"))->isVisible());
            // The settings show as their values: 115200 baud, 8 data bits, no parity, 1 stop bit.
            QCOMPARE(findControl(screen, QStringLiteral("baudRateChoice"))->property("currentText").toString(),
                     QStringLiteral("115200"));
            QCOMPARE(findControl(screen, QStringLiteral("dataBitsChoice"))->property("currentText").toString(),
                     QStringLiteral("8"));
            QCOMPARE(findControl(screen, QStringLiteral("parityChoice"))->property("currentText").toString(),
                     QStringLiteral("None"));
            QCOMPARE(findControl(screen, QStringLiteral("stopBitsChoice"))->property("currentText").toString(),
                     QStringLiteral("1"));
            QCOMPARE(findControl(screen, QStringLiteral("serialStatus"))->property("text").toString(),
                     QStringLiteral("No serial port chosen."));
            m_ui.shoot(QStringLiteral("Connect-serial-portrait"));
            m_remoteQml->setCommunicationMode(RemoteControl::WebSocketMode);
        }
        QMetaObject::invokeMethod(screen, "close");
        QTRY_VERIFY(screen.isNull());
        m_ui.checkNoProblems();
    }
}

void TestConnectScreen::menuOpensTheConnectScreen()
{
    QPointer<QObject> menu = m_ui.openScreen(QStringLiteral("Menu.qml"));
    QVERIFY(menu);
    QVERIFY(menu->setProperty("page", 2));
    QTest::qWait(200);
    QQuickItem *entry = findControl(menu, QStringLiteral("menuEntryConnect"));
    QVERIFY(entry && entry->isEnabled() && entry->isVisible());
    m_ui.click(entry);
    QTRY_VERIFY(menu.isNull());
    QObject *screen = m_ui.window()->property("currentScreen").value<QObject *>();
    QVERIFY(screen);
    QCOMPARE(screen->objectName(), QStringLiteral("connectScreen"));
}

void TestConnectScreen::modeAndBroadcastSwitch()
{
    QObject *screen = m_ui.openScreen(QStringLiteral("Connect.qml"));
    QVERIFY(screen);
    // "Disable connectivity" closes the server; WebSockets opens it again.
    m_ui.click(findControl(screen, QStringLiteral("modeList/option4")));
    QCOMPARE(m_remote->communicationMode(), int(RemoteControl::NoCommunication));
    QVERIFY(!m_ui.core()->webSockets()->isListening());
    QTRY_VERIFY(findControl(screen, QStringLiteral("disabledText"))->isVisible());
    m_ui.click(findControl(screen, QStringLiteral("modeList/option3")));
    QCOMPARE(m_remote->communicationMode(), int(RemoteControl::SerialPortMode));
    m_ui.click(findControl(screen, QStringLiteral("modeList/option0")));
    QCOMPARE(m_remote->communicationMode(), int(RemoteControl::WebSocketMode));
    QVERIFY(m_ui.core()->webSockets()->isListening());

    QQuickItem *broadcast = findControl(screen, QStringLiteral("broadcastSwitch"));
    QVERIFY(broadcast && broadcast->property("checked").toBool());
    m_ui.click(broadcast);
    QVERIFY(!m_remote->broadcastManualInput());
    QVERIFY(!broadcast->property("checked").toBool());
    m_ui.click(broadcast);
    QVERIFY(m_remote->broadcastManualInput());
    // A change made elsewhere shows on the switch.
    m_remoteQml->setBroadcastManualInput(false);
    QVERIFY(!broadcast->property("checked").toBool());

    // The screen says where the server listens and that anyone on the network
    // can connect; web pages stay out until the user lets them in, and the
    // choice is kept in the program's settings.
    const QString listening = findControl(screen, QStringLiteral("listeningText"))->property("text").toString();
    QVERIFY2(listening.contains(QStringLiteral("port ") + m_remoteQml->portNumber()), qPrintable(listening));
    QVERIFY(listening.contains(QStringLiteral("Anyone on the network can connect.")));
    QQuickItem *webPages = findControl(screen, QStringLiteral("allowWebPagesSwitch"));
    QVERIFY(webPages && !webPages->property("checked").toBool());
    QVERIFY(!m_ui.core()->webSockets()->allowWebPages());
    m_ui.click(webPages);
    QVERIFY(m_ui.core()->webSockets()->allowWebPages());
    QVERIFY(QSettings().value(RemoteControlQml::allowWebPagesKey()).toBool());
    m_ui.click(webPages);
    QVERIFY(!m_ui.core()->webSockets()->allowWebPages());
    QVERIFY(!QSettings().value(RemoteControlQml::allowWebPagesKey()).toBool());
}

// "Bluetooth client" serves Bluetooth and opens the client screen, which finds
// the stand-in's device, marks the row chosen and tells why the connection
// fails without a radio.
void TestConnectScreen::bluetoothClientScreen()
{
    QPointer<QObject> connectScreen = m_ui.openScreen(QStringLiteral("Connect.qml"));
    QVERIFY(connectScreen);
    // cleanup() closes the top screen only; the one underneath goes too, even
    // when a check fails, so that it does not cover the main form later.
    const auto closeConnectScreen = qScopeGuard([&connectScreen] {
        if (connectScreen)
            QMetaObject::invokeMethod(connectScreen, "close");
    });
    m_ui.click(findControl(connectScreen, QStringLiteral("modeList/option2")));
    QCOMPARE(m_remote->communicationMode(), int(RemoteControl::BluetoothMode));
    QTRY_VERIFY(m_ui.window()->property("currentScreen").value<QObject *>());
    QObject *screen = m_ui.window()->property("currentScreen").value<QObject *>();
    QCOMPARE(screen->objectName(), QStringLiteral("bluetoothClientScreen"));
    QQuickItem *list = findControl(screen, QStringLiteral("deviceList"));
    // Before a search the one row is the status text, which cannot be chosen.
    QCOMPARE(list->property("count").toInt(), 1);
    m_ui.click(findControl(screen, QStringLiteral("device0")));
    QTest::qWait(60);
    QCOMPARE(findControl(screen, QStringLiteral("device0"))->property("color").value<QColor>(), QColor(Qt::transparent));

    m_ui.click(findControl(screen, QStringLiteral("discoverButton")));
    QTRY_VERIFY_WITH_TIMEOUT(findControl(screen, QStringLiteral("device0/deviceText")), 10000);
    QTRY_COMPARE(findControl(screen, QStringLiteral("device0/deviceText"))->property("text").toString(),
                 QStringLiteral("Lab laptop"));
    m_ui.click(findControl(screen, QStringLiteral("device0")));
    QCOMPARE(m_remoteQml->selectedBluetoothDeviceIndex(), 0);
    QVERIFY(findControl(screen, QStringLiteral("device0"))->property("color").value<QColor>() != QColor(Qt::transparent));
    m_ui.shoot(QStringLiteral("BluetoothClientConnect-found"));

    QQuickItem *connectButton = findControl(screen, QStringLiteral("connectButton"));
    QCOMPARE(connectButton->property("text").toString(), QStringLiteral("  Connect  "));
    m_ui.click(connectButton);
    QTRY_VERIFY_WITH_TIMEOUT(findControl(screen, QStringLiteral("bluetoothStatus"))->property("text").toString().startsWith(
                                 QStringLiteral("The service search on Lab laptop failed")),
                             20000);
    QCOMPARE(connectButton->property("text").toString(), QStringLiteral("  Connect  "));
    // A new search rebuilds the list; the chosen device stays marked.
    m_ui.click(findControl(screen, QStringLiteral("discoverButton")));
    QTest::qWait(100);
    QTRY_VERIFY_WITH_TIMEOUT(findControl(screen, QStringLiteral("device0/deviceText"))->property("text").toString()
                                 == QLatin1String("Lab laptop"), 10000);
    QTRY_VERIFY(findControl(screen, QStringLiteral("device0"))->property("color").value<QColor>() != QColor(Qt::transparent));
    m_ui.shoot(QStringLiteral("BluetoothClientConnect-failed"));

    // Closing it goes back to the connection screen, which shows the same text.
    QPointer<QObject> clientScreen = screen;
    m_ui.click(findControl(screen, QStringLiteral("closeButton")));
    QTRY_VERIFY(clientScreen.isNull());
    QVERIFY(connectScreen);
    QVERIFY(findControl(connectScreen, QStringLiteral("bluetoothGroup"))->isVisible());
    QCOMPARE(findControl(connectScreen, QStringLiteral("bluetoothStatus"))->property("text").toString(),
             m_remoteQml->bluetoothStatus());
}

void TestConnectScreen::portNumberScreenMovesTheServer()
{
    const quint16 port = freePort();
    QVERIFY(port != 0 && port != m_ui.core()->webSockets()->serverPort());

    QPointer<QObject> screen = m_ui.openScreen(QStringLiteral("PortNumber.qml"));
    QVERIFY(screen);
    QQuickItem *input = findControl(screen, QStringLiteral("portInput/numberInput"));
    QQuickItem *apply = findControl(screen, QStringLiteral("applyButton"));
    // Not a port: refused beside the field, the screen stays and so does the server.
    const QString before = m_remoteQml->portNumber();
    m_ui.typeInto(input, QStringLiteral("70000"));
    m_ui.click(apply);
    QVERIFY(!screen.isNull());
    QCOMPARE(findControl(screen, QStringLiteral("portInput/numberProblem"))->property("text").toString(),
             QStringLiteral("The port number must be a whole number from 1 to 65535."));
    QCOMPARE(m_remoteQml->portNumber(), before);
    m_ui.typeInto(input, QString::number(port));
    m_ui.click(apply);
    QTRY_VERIFY(screen.isNull());
    QCOMPARE(m_remoteQml->portNumber(), QString::number(port));
    QCOMPARE(m_ui.core()->webSockets()->serverPort(), port);
    QVERIFY(m_ui.core()->webSockets()->isListening());
    QVERIFY(connectPeer());
}

void TestConnectScreen::manualChangeReachesThePeer_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");   // empty: the control is clicked
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("index");

    QTest::newRow("path") << "Pathlength.qml" << "pathField/numberInput" << "2.5" << "PATH" << 0;
    QTest::newRow("temperature") << "Temperature.qml" << "temperatureField/numberInput" << "250" << "TEMP" << 0;
    QTest::newRow("total pressure") << "TotalPressure.qml" << "pressureField/numberInput" << "2" << "TPRES" << 0;
    QTest::newRow("grid points") << "Wavelengths.qml" << "pointsField/numberInput" << "2001" << "NUMWNPTS" << 0;
    // In microns the start of the range is its highest wavenumber.
    QTest::newRow("start") << "Wavelengths.qml" << "startField/numberInput" << "4.5" << "EWAVE" << 0;
    QTest::newRow("end") << "Wavelengths.qml" << "endField/numberInput" << "4.8" << "SWAVE" << 0;
    QTest::newRow("y units") << "YAxis.qml" << "unitList/option1" << "" << "YUNITS" << 0;
    QTest::newRow("molecule selected") << "Molecules.qml" << "moleculeCheck2" << "" << "MSEL" << 2;
    QTest::newRow("concentration") << "Molecules.qml" << "moleculeConcentration3/numberInput" << "0.5" << "MCONC" << 3;
    QTest::newRow("access mode") << "HitranDownloadOptions.qml" << "accessList/option2" << "" << "HITOPT" << 0;
    QTest::newRow("line shape") << "LineOptions.qml" << "profileList/option0" << "" << "LSHAPE" << 0;
    QTest::newRow("threshold") << "LineOptions.qml" << "thresholdField/numberInput" << "7" << "LTHRESH" << 0;
    QTest::newRow("wing halfwidths") << "LineOptions.qml" << "wingSatField/numberInput" << "33" << "LWINGSAT" << 0;
    QTest::newRow("wing absolute") << "LineOptions.qml" << "wingAbsField/numberInput" << "4.5" << "LWINGABS" << 0;
    QTest::newRow("line shift") << "LineOptions.qml" << "lineShiftBox" << "" << "LSHIFTUSE" << 0;
    QTest::newRow("instrument function") << "InstrumentFunction.qml" << "functionList/option4" << "" << "INSTRFUNCT" << 0;
    QTest::newRow("instrument resolution") << "InstrumentFunction.qml" << "resolutionField/numberInput" << "0.75"
                                           << "INSTRRES" << 0;
    QTest::newRow("instrument wing") << "InstrumentFunction.qml" << "wingField/numberInput" << "12" << "INSTRWING" << 0;
    QTest::newRow("atmosphere applied") << "AtmosphericModelApply.qml" << "yesButton" << "" << "ATMMODEL" << 0;
    QTest::newRow("total shown") << "" << "totalButton" << "" << "TOTAL" << 0;
    QTest::newRow("radiance") << "" << "radianceButton" << "" << "YPARAM" << 0;
}

void TestConnectScreen::manualChangeReachesThePeer()
{
    QFETCH(QString, file);
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, command);
    QFETCH(int, index);

    if (command == QLatin1String("ATMMODEL")) {
        // A model other than the one in use, so that applying it changes the path.
        QObject *atmospheres = m_ui.engine()->rootContext()->contextProperty(QStringLiteral("atmListViewModel")).value<QObject *>();
        QVERIFY(atmospheres->setProperty("modelNum", 2));
    }
    QVERIFY(connectPeer());
    QObject *root = file.isEmpty() ? static_cast<QObject *>(m_ui.window()) : m_ui.openScreen(file);
    QVERIFY(root);
    const QString before = m_remote->queryValue(command, index, true);
    const double pathTemperature = m_ui.core()->params()->pathConditions().temperature;

    QQuickItem *item = findControl(root, control);
    QVERIFY2(item, qPrintable(control));
    if (typed.isEmpty())
        m_ui.click(item);
    else
        m_ui.typeInto(item, typed);

    // The value was taken without a complaint (a re-plot may have its own to tell).
    if (!file.isEmpty())
        QCOMPARE(m_ui.core()->okDialogText(), QString());
    const QString after = m_remote->queryValue(command, index, true);
    const QString prefix = QLatin1Char('#') + command + QLatin1Char(';')
        + (index > 0 ? QString::number(index) + QLatin1Char(';') : QString());
    // One set command per change; both ends of the range go together.
    QStringList expected{prefix + after};
    if (command == QLatin1String("SWAVE") || command == QLatin1String("EWAVE")) {
        expected = QStringList{QStringLiteral("#SWAVE;") + m_remote->queryValue(QStringLiteral("SWAVE"), 0, true),
                               QStringLiteral("#EWAVE;") + m_remote->queryValue(QStringLiteral("EWAVE"), 0, true)};
    }
    QTRY_COMPARE(m_received, expected);
    if (command == QLatin1String("ATMMODEL")) {
        QCOMPARE(after, QStringLiteral("2"));
        QVERIFY(m_ui.core()->params()->pathConditions().temperature != pathTemperature);
    } else {
        QVERIFY2(after != before, qPrintable(before));
    }
    QTest::qWait(100);
    QCOMPARE(m_received.size(), expected.size());

    // The message is a set command that another instance applies: back at the
    // old value, receiving it brings the new one.
    if (command == QLatin1String("TOTAL"))
        return;
    m_remote->applySetting(command, before, index);
    QCOMPARE(m_remote->queryValue(command, index, true), before);
    m_peer->sendTextMessage(prefix + after);
    QTRY_COMPARE(m_remote->queryValue(command, index, true), after);
}

void TestConnectScreen::nothingIsSentWithBroadcastOff()
{
    QVERIFY(connectPeer());
    m_remoteQml->setBroadcastManualInput(false);
    QObject *screen = m_ui.openScreen(QStringLiteral("Pathlength.qml"));
    m_ui.typeInto(findControl(screen, QStringLiteral("pathField/numberInput")), QStringLiteral("3"));
    QTest::qWait(300);
    QCOMPARE(m_received, QStringList());
    // A message from the peer still gets its reply.
    m_peer->sendTextMessage(QStringLiteral("#PATH;?"));
    QTRY_COMPARE(m_received, QStringList{m_remote->queryValue(QStringLiteral("PATH"), 0, false)});
}

void TestConnectScreen::calcIsSentToThePeer()
{
    QVERIFY(connectPeer());
    m_ui.click(findControl(m_ui.window(), QStringLiteral("calcButton")));
    // The peer is told to calculate at once, then hears when this device is done.
    QTRY_VERIFY(!m_received.isEmpty());
    QCOMPARE(m_received.first(), QStringLiteral("#CALC;"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_ui.core()->calculationIsRunning(), 60000);
    QTRY_COMPARE(m_received, (QStringList{QStringLiteral("#CALC;"), QStringLiteral("READY")}));
}

void TestConnectScreen::peerChangesAreNotEchoed_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");

    QTest::newRow("path") << "Pathlength.qml" << "#PATH;4321" << "PATH" << 0 << "4321";
    QTest::newRow("temperature") << "Temperature.qml" << "#TEMP;310" << "TEMP" << 0 << "310";
    QTest::newRow("range") << "Wavelengths.qml" << "#SWAVE;2010#EWAVE;2390" << "EWAVE" << 0 << "2390";
    QTest::newRow("molecule") << "Molecules.qml" << "#MSEL;2;0#MCONC;2;55" << "MCONC" << 2 << "55";
    QTest::newRow("line shape") << "LineOptions.qml" << "#LSHAPE;2#LSHIFTUSE;0" << "LSHAPE" << 0 << "2";
    QTest::newRow("instrument") << "InstrumentFunction.qml" << "#INSTRFUNCT;4#INSTRRES;0.3" << "INSTRFUNCT" << 0 << "4";
    QTest::newRow("y units") << "YAxis.qml" << "#YUNITS;3" << "YUNITS" << 0 << "3";
    QTest::newRow("atmosphere") << "AtmosphericModel.qml" << "#ATMMODEL;4" << "ATMMODEL" << 0 << "4";
}

void TestConnectScreen::peerChangesAreNotEchoed()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(QString, command);
    QFETCH(int, index);
    QFETCH(QString, value);

    QVERIFY(connectPeer());
    QVERIFY(m_ui.openScreen(file));
    m_peer->sendTextMessage(message);
    QTRY_COMPARE(m_remote->queryValue(command, index, true), value);
    // The screen shows the new values; nothing goes back to the peer.
    QTest::qWait(300);
    QCOMPARE(m_received, QStringList());
}

QTEST_MAIN(TestConnectScreen)
#include "tst_connectscreen.moc"
