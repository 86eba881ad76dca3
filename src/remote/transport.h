#pragma once

#include <QObject>
#include <QString>

// One carrier of the command protocol: the WebSocket server, the serial line,
// the console program's standard input and output, a Bluetooth link. It hands
// on the text it receives, sends replies and tells whether a peer is there;
// what the text means is the business of the command processor
// (RemoteControl), which holds the transport of the chosen communication mode.
class Transport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A short name for log lines: "WebSocket", "serial port", "console".
    virtual QString name() const = 0;
    // Whether a reply sent now would reach a peer.
    virtual bool isConnected() const = 0;
    // Sends one reply, framed as the transport's peers expect (a WebSocket
    // text message, a line).
    virtual void send(const QString &text) = 0;
    // Starts (true) or stops (false) serving as the communication mode selects
    // this transport or another; a transport with nothing to start ignores it.
    virtual void setEnabled(bool enabled) = 0;

signals:
    // A piece of command text as it arrived from one peer (a number the
    // transport gives each of its peers; 0 where there is only one); one piece
    // may hold several commands or part of one.
    void commandReceived(const QString &message, quint64 peer);
    // A peer has gone (hung up, or was dropped): what it sent and is not yet
    // running is not run for nobody.
    void peerLeft(quint64 peer);
    void connectedStateChanged();
};
