#include "download/replyguard.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>

namespace {

QString seconds(int milliseconds)
{
    return QString::number(milliseconds / 1000.0, 'g', 3);
}

} // namespace

ReplyGuard::ReplyGuard(QNetworkReply *reply, const Limits &limits)
    : QObject(reply)
    , m_reply(reply)
    , m_limits(limits)
{
    m_inactivity.setSingleShot(true);
    m_total.setSingleShot(true);
    connect(&m_inactivity, &QTimer::timeout, this, [this] { stop(Stop::Inactive); });
    connect(&m_total, &QTimer::timeout, this, [this] { stop(Stop::TimeLimit); });
    m_origin = reply->request().url();
    connect(reply, &QNetworkReply::downloadProgress, this, &ReplyGuard::progress);
    connect(reply, &QNetworkReply::redirected, this, &ReplyGuard::redirected);
    connect(reply, &QNetworkReply::finished, this, [this] {
        m_inactivity.stop();
        m_total.stop();
    });
    m_inactivity.start(std::max(1, m_limits.inactivityMs));
    m_total.start(std::max(1, m_limits.totalMs));
}

ReplyGuard *ReplyGuard::watch(QNetworkReply *reply, const Limits &limits)
{
    return new ReplyGuard(reply, limits);
}

void ReplyGuard::progress(qint64 received, qint64 total)
{
    // A length announced beyond the bound ends the transfer before the bytes come.
    if (received > m_limits.maxBytes || total > m_limits.maxBytes) {
        stop(Stop::TooLarge);
        return;
    }
    // Bytes are arriving: the inactivity limit counts from the last of them.
    m_inactivity.start(std::max(1, m_limits.inactivityMs));
}

void ReplyGuard::restrictRedirects(QNetworkRequest &request)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
}

QString ReplyGuard::redirectProblem(const QUrl &from, const QUrl &to)
{
    const QString host = from.host();
    if (to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 && !host.isEmpty()
        && to.host().compare(host, Qt::CaseInsensitive) == 0)
        return QString();
    return QStringLiteral("The server sent the request on to %1; only a redirect to the same host (%2) over "
                          "HTTPS is followed, so that the login is never sent elsewhere or in clear.")
        .arg(to.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery), host);
}

void ReplyGuard::redirected(const QUrl &target)
{
    // Asked for every redirect of a request made with restrictRedirects();
    // the redirects of one request are all judged against where it began.
    if (redirectProblem(m_origin, target).isEmpty()) {
        emit m_reply->redirectAllowed();
        return;
    }
    m_refusedRedirect = target;
    stop(Stop::Redirected);
}

void ReplyGuard::stop(Stop why)
{
    if (m_stop != Stop::None || m_reply->isFinished())
        return;
    m_stop = why;
    m_inactivity.stop();
    m_total.stop();
    m_reply->abort();
}

QString ReplyGuard::limitProblem(const QNetworkReply *reply)
{
    const ReplyGuard *guard = reply->findChild<ReplyGuard *>(QString(), Qt::FindDirectChildrenOnly);
    switch (guard ? guard->m_stop : Stop::None) {
    case Stop::Inactive:
        return QStringLiteral("The server did not answer within %1 s.").arg(seconds(guard->m_limits.inactivityMs));
    case Stop::TimeLimit:
        return QStringLiteral("The transfer did not complete within %1 s.").arg(seconds(guard->m_limits.totalMs));
    case Stop::TooLarge:
        return QStringLiteral("The reply was larger than %1 MB, more than a good one can be.")
            .arg(QString::number(double(guard->m_limits.maxBytes) / (1 << 20), 'g', 4));
    case Stop::Redirected:
        return redirectProblem(guard->m_origin, guard->m_refusedRedirect);
    case Stop::None:
        break;
    }
    return QString();
}

QString ReplyGuard::problem(QNetworkReply *reply, const QByteArray &body)
{
    const QString limit = limitProblem(reply);
    if (!limit.isEmpty())
        return limit;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("The transfer was cancelled.");
    if (status != 0 && status != 200)
        return QStringLiteral("The server answered with HTTP status %1.").arg(status);
    const QString network = networkFailure(reply);
    if (!network.isEmpty())
        return network;
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    if (status != 200)
        return QStringLiteral("The server sent no valid answer.");
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    // With a compressed transfer the length counts the compressed bytes.
    if (length.isValid() && reply->rawHeader("Content-Encoding").isEmpty()
        && length.toLongLong() != body.size())
        return QStringLiteral("The reply was cut short.");
    return QString();
}

QString ReplyGuard::networkFailure(const QNetworkReply *reply)
{
    // Qt numbers the network-layer errors below 100 and the proxy errors below 200.
    const int error = int(reply->error());
    if (error <= 0 || error >= 200 || reply->error() == QNetworkReply::OperationCanceledError)
        return QString();
    QString reason = reply->errorString();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("Network failure: %1.").arg(reason);
}
