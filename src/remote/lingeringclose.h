#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

class QAbstractSocket;

// Closes a connection the way a peer that is still sending can hear it. A
// socket closed while the peer's bytes wait unread ends in a reset, which
// throws away what was sent last (a WebSocket close frame that says why).
// Instead, the connection is kept open after its socket closes: the sending
// side is shut, so that what was written goes out followed by the end, and
// what the peer still sends is read and dropped until it closes too, for
// a few seconds at most.
class LingeringClose : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = 5000;

    // From now on, the connection of socket lingers when the socket closes.
    static void watch(QAbstractSocket *socket, int timeoutMs = defaultTimeoutMs);

private:
    LingeringClose(int descriptor, int timeoutMs, QObject *parent);
    ~LingeringClose() override;
    void drain();

    int m_descriptor;
    QSocketNotifier m_notifier;
    QTimer m_timeout;
};
