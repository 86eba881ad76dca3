#pragma once

#include "bluezstandin.h"
#include "mainwindowundertest.h"
#include "remote/remotecontrol.h"
#include "ui/remotecontrolqml.h"

#include <QStringList>
#include <QWebSocket>

#include <memory>

// The main window with the BlueZ stand-in (adapter hci0 and one device, "Lab
// laptop") and a peer that connects over WebSocket (loopback) and keeps what
// the program sends it.
class PeerWindowUnderTest : public MainWindowUnderTest
{
public:
    ~PeerWindowUnderTest();

    // The stand-in, then the core (a device search ends after 300 ms) and the window.
    void start();
    // The program serves WebSockets on a port free now on 127.0.0.1 and
    // broadcasts manual input; nothing is received yet.
    void serveWebSockets();
    // The peer leaves, connectivity is off, the screen on top closes and a
    // dialog still open is answered.
    void reset();

    // Connects the peer; true once the program counts it, with its address.
    bool connectPeer();
    QWebSocket *peer() { return m_peer.get(); }
    RemoteControl *remote() { return core()->remoteControl(); }
    RemoteControlQml *remoteQml() { return views()->remoteControl(); }

    // A TCP port free now on 127.0.0.1; 0 when none could be had.
    static quint16 freePort();

    QStringList received;   // by the peer, in order

private:
    BluezStandIn m_bluez;   // before anything uses Bluetooth
    std::unique_ptr<QWebSocket> m_peer;
};
