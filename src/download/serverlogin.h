#pragma once

#include "download/replyguard.h"

#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Logs in to the HITRANonline service with its login form. The form is sent
// form-encoded, so that any character of a password arrives intact, and only over
// HTTPS unless plain HTTP is allowed explicitly (the local test server).
// The session cookie lands in the cookie jar of the network manager in use; the
// line-data requests share that manager so that they are sent logged in.
class ServerLogin : public QObject
{
    Q_OBJECT

public:
    explicit ServerLogin(QObject *parent = nullptr);

    void setLoginUrl(const QString &url) { m_loginUrl = url; }
    QString loginUrl() const { return m_loginUrl; }
    void setUserName(const QString &userName) { m_userName = userName; }
    void setPassword(const QString &password) { m_password = password; }
    void setAllowInsecure(bool allow) { m_allowInsecure = allow; }
    void setTimeout(int milliseconds) { m_limits.inactivityMs = milliseconds; }
    // Longest whole login, milliseconds.
    void setTimeLimit(int milliseconds) { m_limits.totalMs = milliseconds; }
    // Uses another network manager (and its cookie jar) instead of its own,
    // given at once or by a source asked at each login.
    void setNetworkManager(QNetworkAccessManager *manager)
    {
        m_networkManagerSource = [manager] { return manager; };
    }
    void setNetworkManagerSource(std::function<QNetworkAccessManager *()> source)
    {
        m_networkManagerSource = std::move(source);
    }

    // "email=<user>&password=<password>", each value percent-encoded.
    static QByteArray formBody(const QString &userName, const QString &password);

    void login();

signals:
    // The login reply arrived (its content is not examined).
    void authenticationSuccessful();
    // The login could not be sent or no reply arrived in time.
    void authenticationFailed(const QString &message);

private:
    void finish(QNetworkReply *reply);
    // The manager of the next login; its own is made when first needed.
    QNetworkAccessManager *networkManager();

    QString m_loginUrl;
    std::function<QNetworkAccessManager *()> m_networkManagerSource;
    QNetworkAccessManager *m_ownNetworkManager = nullptr;
    QString m_userName;
    QString m_password;
    QNetworkReply *m_reply = nullptr;
    // The reply is a web page of some kilobytes.
    ReplyGuard::Limits m_limits{30000, 2 * 60 * 1000, qint64(4) << 20};
    bool m_allowInsecure = false;
};
