#pragma once

#include "data/credentialstore.h"

#include <QObject>
#include <QString>

class KolvexCore;
class QNetworkAccessManager;
class ServerLogin;

// The Authenticate screen's object: the HITRANonline e-mail and password for
// the line-data downloads, kept in the data folder only when the user ticks
// "Store email" / "Store passwd", and a test login that tells the user whether
// the service answered.
class AuthenticationQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString userName READ userName WRITE setUserName NOTIFY userNameChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(bool storeUserName READ storeUserName WRITE setStoreUserName NOTIFY storeUserNameChanged)
    Q_PROPERTY(bool storePassword READ storePassword WRITE setStorePassword NOTIFY storePasswordChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool testRunning READ testRunning NOTIFY testRunningChanged)

public:
    explicit AuthenticationQml(QObject *parent = nullptr, KolvexCore *core = nullptr);
    ~AuthenticationQml() override;

    QString userName() const { return m_userName; }
    void setUserName(const QString &userName);
    QString password() const { return m_password; }
    void setPassword(const QString &password);
    bool storeUserName() const { return m_storeUserName; }
    void setStoreUserName(bool store);
    bool storePassword() const { return m_storePassword; }
    void setStorePassword(bool store);
    QString status() const { return m_status; }
    bool testRunning() const { return m_testRunning; }
    QString credentialFilePath() const { return m_store.filePath(); }
    // Lets the test login go over plain HTTP (the local test server).
    void setAllowInsecure(bool allow) { m_allowInsecure = allow; }

    // Hands the login to the downloader and keeps (or forgets) it on disk as chosen.
    Q_INVOKABLE void apply();
    Q_INVOKABLE void testAuthentication();

signals:
    void userNameChanged();
    void passwordChanged();
    void storeUserNameChanged();
    void storePasswordChanged();
    void statusChanged();
    void testRunningChanged();

private:
    void setStatus(const QString &status);
    void finishTest(const QString &status);

    KolvexCore *m_core;
    CredentialStore m_store;
    QString m_userName;
    QString m_password;
    bool m_storeUserName = false;
    bool m_storePassword = false;
    bool m_allowInsecure = false;
    QString m_status;
    bool m_testRunning = false;
    QNetworkAccessManager *m_network = nullptr;
    ServerLogin *m_login = nullptr;
};
