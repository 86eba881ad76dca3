#include "peerwindowundertest.h"

#include "bluetooth/bluetoothdiscoverdevices.h"
#include "remote/bluetoothspp.h"
#include "remote/websockets.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

PeerWindowUnderTest::~PeerWindowUnderTest()
{
    m_peer.reset();
    // The core goes while the stand-in still serves it.
    close();
}

void PeerWindowUnderTest::start()
{
    QVERIFY2(m_bluez.start(), qPrintable(m_bluez.errorString()));
    QVERIFY(!m_bluez.addAdapter(QStringLiteral("hci0"), QStringLiteral("kolvex-test")).isEmpty());
    QVERIFY(!m_bluez.addDevice(QStringLiteral("hci0"), QStringLiteral("11:22:33:44:55:66"), QStringLiteral("Lab laptop"))
                 .isEmpty());
    createCore();
    core()->bluetooth()->discovery()->setDiscoveryTimeout(300);
    openWindow();
}

quint16 PeerWindowUnderTest::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

void PeerWindowUnderTest::serveWebSockets()
{
    // A port free now on 127.0.0.1; the server restarts on it.
    const quint16 port = freePort();
    QVERIFY(port != 0);
    remoteQml()->setPortNumber(QString::number(port));
    remoteQml()->setCommunicationMode(RemoteControl::WebSocketMode);
    QVERIFY(core()->webSockets()->isListening());
    QCOMPARE(core()->webSockets()->serverPort(), port);
    remoteQml()->setBroadcastManualInput(true);
    received.clear();
}

void PeerWindowUnderTest::reset()
{
    if (m_peer) {
        m_peer->close();
        QTRY_VERIFY(core()->webSockets()->peerAddressText().isEmpty());
        m_peer.reset();
    }
    remoteQml()->setCommunicationMode(RemoteControl::NoCommunication);
    if (QObject *screen = window()->property("currentScreen").value<QObject *>())
        QMetaObject::invokeMethod(screen, "close");
    QTest::qWait(20);
    if (!core()->okDialogText().isEmpty()) {
        QTest::keyClick(window(), Qt::Key_Escape);
        QTRY_COMPARE(core()->okDialogText(), QString());
    }
    checkNoProblems();
}

bool PeerWindowUnderTest::connectPeer()
{
    m_peer = std::make_unique<QWebSocket>();
    QObject::connect(m_peer.get(), &QWebSocket::textMessageReceived, m_peer.get(),
                     [this](const QString &text) { received.append(text); });
    QSignalSpy connected(m_peer.get(), &QWebSocket::connected);
    m_peer->open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(core()->webSockets()->serverPort())));
    if (!connected.wait(5000))
        return false;
    // The program counts the peer once its address is known.
    if (!QTest::qWaitFor([this] { return remote()->isConnected(); }, 5000))
        return false;
    return remoteQml()->remoteDeviceIpAddress() == QLatin1String("127.0.0.1");
}
