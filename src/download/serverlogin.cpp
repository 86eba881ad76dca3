#include "download/serverlogin.h"

#include "download/replycheck.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

ServerLogin::ServerLogin(QObject *parent)
    : QObject(parent)
    , m_networkManager(new QNetworkAccessManager(this))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_reply) {
            m_timedOut = true;
            m_reply->abort();
        }
    });
}

QByteArray ServerLogin::formBody(const QString &userName, const QString &password)
{
    return "email=" + QUrl::toPercentEncoding(userName) + "&password="
        + QUrl::toPercentEncoding(password);
}

void ServerLogin::login()
{
    const QUrl url(m_loginUrl);
    if (!url.isValid() || url.host().isEmpty()) {
        emit authenticationFailed(QStringLiteral("The login address \"%1\" is not valid.").arg(m_loginUrl));
        return;
    }
    if (url.scheme() != QLatin1String("https") && !m_allowInsecure) {
        emit authenticationFailed(QStringLiteral("The login to %1 was not sent: the password is only "
                                                 "ever sent over an encrypted (HTTPS) connection.")
                                      .arg(url.host()));
        return;
    }
    if (m_reply) {
        QNetworkReply *previous = m_reply;
        m_reply = nullptr;
        previous->disconnect(this);
        previous->abort();
        previous->deleteLater();
    }
    // A fresh session: cookies of an earlier login are dropped.
    m_networkManager->setCookieJar(new QNetworkCookieJar(m_networkManager));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    m_timedOut = false;
    m_reply = m_networkManager->post(request, formBody(m_userName, m_password));
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this, [this] { m_timer->start(m_timeoutMs); });
    m_timer->start(m_timeoutMs);
}

void ServerLogin::finish(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    m_timer->stop();
    if (m_timedOut) {
        emit authenticationFailed(QStringLiteral("The login server did not answer within %1 s.")
                                      .arg(QString::number(m_timeoutMs / 1000.0, 'g', 3)));
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0) {
        const QString network = ReplyCheck::networkFailure(reply);
        emit authenticationFailed(network.isEmpty() ? QStringLiteral("The login failed: %1").arg(reply->errorString())
                                                    : network);
        return;
    }
    emit authenticationSuccessful();
}
