#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkReply;

// Keeps one network reply within its limits and judges it once it has
// finished. A reply is ended when no bytes arrive for the inactivity limit,
// when the whole transfer takes longer than the time limit (a server that
// sends a byte every few seconds would otherwise never end), or when its body
// grows beyond what a good reply of its kind can be (an endless reply would
// otherwise fill the memory). A reply is good only when it arrived whole,
// without a network error, with HTTP status 200.
class ReplyGuard : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int inactivityMs = 30000;               // longest wait for the next bytes
        int totalMs = 10 * 60 * 1000;           // longest whole transfer
        qint64 maxBytes = qint64(256) << 20;    // largest body a good reply can have
    };

    // Watches reply from now on; the guard is the reply's child and goes with it.
    static ReplyGuard *watch(QNetworkReply *reply, const Limits &limits);

    // Empty for a good reply, otherwise why it is not, in words for the user.
    static QString problem(QNetworkReply *reply, const QByteArray &body);
    // Which limit ended the reply, in words for the user; empty when none did.
    static QString limitProblem(const QNetworkReply *reply);
    // When the network did not carry the reply (no connection, host not
    // found, refused, proxy), the reason in words; otherwise empty.
    static QString networkFailure(const QNetworkReply *reply);

private:
    enum class Stop { None, Inactive, TimeLimit, TooLarge };

    ReplyGuard(QNetworkReply *reply, const Limits &limits);
    void progress(qint64 received, qint64 total);
    void stop(Stop why);

    QNetworkReply *m_reply;
    Limits m_limits;
    QTimer m_inactivity;
    QTimer m_total;
    Stop m_stop = Stop::None;
};
