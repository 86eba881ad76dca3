#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;
class QNetworkRequest;

// Keeps one network reply within its limits and judges it once it has
// finished. A reply is ended when no bytes arrive for the inactivity limit,
// when the whole transfer takes longer than the time limit (a server that
// sends a byte every few seconds would otherwise never end), or when its body
// grows beyond what a good reply of its kind can be (an endless reply would
// otherwise fill the memory). A reply is good only when it arrived whole,
// without a network error, with HTTP status 200.
//
// A request made with restrictRedirects() follows a redirect only to the
// same host over HTTPS: the service's session cookie must never be sent to
// another host, nor anywhere in clear. Any other redirect ends the reply,
// and the problem names where it led.
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

    // Has the reply to `request` ask before it follows a redirect; the guard
    // then lets it follow only those redirectProblem() finds nothing wrong with.
    static void restrictRedirects(QNetworkRequest &request);
    // Why a redirect of a request for `from` to `to` is not followed: another
    // host, or not HTTPS. Empty when it is followed.
    static QString redirectProblem(const QUrl &from, const QUrl &to);

    // Empty for a good reply, otherwise why it is not, in words for the user.
    static QString problem(QNetworkReply *reply, const QByteArray &body);
    // Which limit ended the reply, in words for the user; empty when none did.
    static QString limitProblem(const QNetworkReply *reply);
    // When the network did not carry the reply (no connection, host not
    // found, refused, proxy), the reason in words; otherwise empty.
    static QString networkFailure(const QNetworkReply *reply);

private:
    enum class Stop { None, Inactive, TimeLimit, TooLarge, Redirected };

    ReplyGuard(QNetworkReply *reply, const Limits &limits);
    void progress(qint64 received, qint64 total);
    void redirected(const QUrl &target);
    void stop(Stop why);

    QNetworkReply *m_reply;
    Limits m_limits;
    QUrl m_origin;
    QUrl m_refusedRedirect;
    QTimer m_inactivity;
    QTimer m_total;
    Stop m_stop = Stop::None;
};
