#pragma once

#include "remote/transport.h"

#include <QStringList>

// A transport for tests: receive() hands text in as a peer would send it, and
// every reply is kept in order.
class FakeTransport : public Transport
{
    Q_OBJECT

public:
    explicit FakeTransport(QObject *parent = nullptr);

    QString name() const override { return QStringLiteral("fake"); }
    bool isConnected() const override { return m_connected; }
    void send(const QString &text) override { m_replies.append(text); }
    void setEnabled(bool enabled) override { m_enabled = enabled; }

    void receive(const QString &text, quint64 peer = 0) { emit commandReceived(text, peer); }
    void leave(quint64 peer) { emit peerLeft(peer); }
    void setConnected(bool connected) { m_connected = connected; }
    bool enabled() const { return m_enabled; }
    // The replies so far, which are then forgotten.
    QStringList takeReplies();

private:
    bool m_connected = true;
    bool m_enabled = false;
    QStringList m_replies;
};
