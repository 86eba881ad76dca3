#include "download/serverlogin.h"


#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

ServerLogin::ServerLogin(QObject *parent)
    : QObject(parent)
{
}

QNetworkAccessManager *ServerLogin::networkManager()
{
    if (m_networkManagerSource)
        return m_networkManagerSource();
    if (!m_ownNetworkManager)
        m_ownNetworkManager = new QNetworkAccessManager(this);
    return m_ownNetworkManager;
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
    QNetworkAccessManager *manager = networkManager();
    manager->setCookieJar(new QNetworkCookieJar(manager));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    // The form is never sent on: a redirect is the login's answer.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = manager->post(request, formBody(m_userName, m_password));
    QNetworkReply *reply = m_reply;
    ReplyGuard::watch(reply, m_limits);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void ServerLogin::finish(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    // The login's own reply is not examined beyond arriving: a limit it broke
    // or a connection that failed is a failure, any status an answer.
    const QString limit = ReplyGuard::limitProblem(reply);
    if (!limit.isEmpty()) {
        emit authenticationFailed(QStringLiteral("The login failed: %1").arg(limit));
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0) {
        const QString network = ReplyGuard::networkFailure(reply);
        emit authenticationFailed(network.isEmpty() ? QStringLiteral("The login failed: %1").arg(reply->errorString())
                                                    : network);
        return;
    }
    emit authenticationSuccessful();
}
