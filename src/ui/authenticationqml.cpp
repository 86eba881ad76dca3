#include "ui/authenticationqml.h"

#include "app/kolvexcore.h"
#include "download/hitranonlinedownloader.h"
#include "download/serverlogin.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QUrl>

#include <algorithm>

AuthenticationQml::AuthenticationQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
    , m_store(core->dataFolder() + QLatin1Char('/') + CredentialStore::fileName())
{
    // A kept login is used from the start.
    if (m_store.load(&m_userName, &m_password)) {
        m_storeUserName = !m_userName.isEmpty();
        m_storePassword = !m_password.isEmpty();
        HitranOnlineDownloader *downloader = m_core->downloader();
        downloader->setLoginUserName(m_userName);
        downloader->setLoginPassword(m_password);
        downloader->setLoginFirst(!m_userName.isEmpty() && !m_password.isEmpty());
    }
}

AuthenticationQml::~AuthenticationQml() = default;

void AuthenticationQml::setUserName(const QString &userName)
{
    if (m_userName == userName)
        return;
    m_userName = userName;
    emit userNameChanged();
}

void AuthenticationQml::setPassword(const QString &password)
{
    if (m_password == password)
        return;
    m_password = password;
    emit passwordChanged();
}

void AuthenticationQml::setStoreUserName(bool store)
{
    if (m_storeUserName == store)
        return;
    m_storeUserName = store;
    emit storeUserNameChanged();
}

void AuthenticationQml::setStorePassword(bool store)
{
    if (m_storePassword == store)
        return;
    m_storePassword = store;
    emit storePasswordChanged();
}

void AuthenticationQml::setStatus(const QString &status)
{
    m_status = status;
    emit statusChanged();
}

void AuthenticationQml::apply()
{
    HitranOnlineDownloader *downloader = m_core->downloader();
    downloader->setLoginUserName(m_userName);
    downloader->setLoginPassword(m_password);
    downloader->setLoginFirst(!m_userName.isEmpty() && !m_password.isEmpty());
    if (!m_store.save(m_storeUserName ? m_userName : QString(), m_storePassword ? m_password : QString()))
        m_core->setOkDialogText(QStringLiteral("The login could not be kept in\n%1").arg(m_store.filePath()));
}

void AuthenticationQml::testAuthentication()
{
    if (m_testRunning)
        return;
    if (m_userName.isEmpty() || m_password.isEmpty()) {
        setStatus(QStringLiteral("Enter the email address and the password first."));
        return;
    }
    apply();
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    // A fresh login each time, with its own session.
    delete m_login;
    m_login = new ServerLogin(this);
    m_login->setNetworkManager(m_network);
    m_login->setLoginUrl(m_core->downloader()->serviceBaseUrl() + QStringLiteral("/login/"));
    m_login->setUserName(m_userName);
    m_login->setPassword(m_password);
    m_login->setAllowInsecure(m_allowInsecure);
    m_login->setTimeout(15000);
    const QUrl loginUrl(m_login->loginUrl());
    connect(m_login, &ServerLogin::authenticationSuccessful, this, [this, loginUrl] {
        // The service answers every login form; only an accepted one opens a session.
        const auto cookies = m_network->cookieJar()->cookiesForUrl(loginUrl);
        const bool accepted = std::any_of(cookies.begin(), cookies.end(), [](const QNetworkCookie &cookie) {
            return cookie.name() == "sessionid" && !cookie.value().isEmpty();
        });
        finishTest(accepted ? QStringLiteral("The HITRANonline service accepted the login.")
                            : QStringLiteral("The HITRANonline service did not accept this email address and password."));
    });
    connect(m_login, &ServerLogin::authenticationFailed, this, [this](const QString &message) {
        // The login's own messages say what failed, the network or the login.
        finishTest(message);
    });
    m_testRunning = true;
    emit testRunningChanged();
    setStatus(QStringLiteral("Logging in ..."));
    m_login->login();
}

void AuthenticationQml::finishTest(const QString &status)
{
    m_testRunning = false;
    emit testRunningChanged();
    setStatus(status);
}
