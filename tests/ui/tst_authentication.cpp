#include "app/kolvexcore.h"
#include "data/credentialstore.h"
#include "download/hitranonlinedownloader.h"
#include "hitranstandinserver.h"
#include "offlinesettings.h"
#include "ui/authenticationqml.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// The HITRANonline login of the Authenticate screen: kept on disk only as the
// user chooses, readable by the user alone, and tested against the service.
class TestAuthentication : public QObject
{
    Q_OBJECT

private slots:
    void keptOnlyWhenTicked_data();
    void keptOnlyWhenTicked();
    void testLoginTellsTheOutcome();
};

void TestAuthentication::keptOnlyWhenTicked_data()
{
    QTest::addColumn<bool>("storeUser");
    QTest::addColumn<bool>("storePassword");
    QTest::addColumn<QString>("keptUser");
    QTest::addColumn<QString>("keptPassword");
    const QString user = QStringLiteral("someone@example.org");
    const QString password = QStringLiteral("p&ss=wörd 1");
    QTest::newRow("nothing ticked") << false << false << QString() << QString();
    QTest::newRow("email only") << true << false << user << QString();
    QTest::newRow("both") << true << true << user << password;
}

void TestAuthentication::keptOnlyWhenTicked()
{
    QFETCH(bool, storeUser);
    QFETCH(bool, storePassword);
    QFETCH(QString, keptUser);
    QFETCH(QString, keptPassword);
    QTemporaryDir dir;
    KolvexCore core(offlineSettings(dir.path()));
    {
        AuthenticationQml auth(nullptr, &core);
        // An earlier run kept both; this run decides anew.
        QVERIFY(CredentialStore(auth.credentialFilePath()).save(QStringLiteral("old"), QStringLiteral("old")));
        auth.setUserName(QStringLiteral("someone@example.org"));
        auth.setPassword(QStringLiteral("p&ss=wörd 1"));
        auth.setStoreUserName(storeUser);
        auth.setStorePassword(storePassword);
        auth.apply();
        QCOMPARE(core.downloader()->loginFirst(), true);
        const QFileInfo info(auth.credentialFilePath());
        QCOMPARE(info.exists(), storeUser || storePassword);
        if (info.exists()) {
            struct stat status {};
            QCOMPARE(::stat(QFile::encodeName(info.filePath()).constData(), &status), 0);
            QCOMPARE(int(status.st_mode & 0777), 0600);
        }
    }
    // The next start reads back what was kept, and nothing else.
    AuthenticationQml next(nullptr, &core);
    QCOMPARE(next.userName(), keptUser);
    QCOMPARE(next.password(), keptPassword);
    QCOMPARE(next.storeUserName(), !keptUser.isEmpty());
    QCOMPARE(next.storePassword(), !keptPassword.isEmpty());
}

void TestAuthentication::testLoginTellsTheOutcome()
{
    QTemporaryDir dir;
    HitranStandInServer server;
    QVERIFY(server.start());
    KolvexCore::Settings settings = offlineSettings(dir.path());
    KolvexCore offline(settings);
    settings.serviceBaseUrl = server.baseUrl();
    KolvexCore online(settings);

    struct Case { KolvexCore *core; const char *expected; };
    // Offline the network failure is named as such, once ("The login failed:
    // The login failed: Host ... not found" said neither).
    for (const Case &c : {Case{&online, "The HITRANonline service accepted the login."},
                          Case{&offline, "Network failure: Connection refused."}}) {
        AuthenticationQml auth(nullptr, c.core);
        auth.setAllowInsecure(true);
        auth.testAuthentication();
        QVERIFY(auth.status().contains(QLatin1String("email address and the password")));
        auth.setUserName(QStringLiteral("someone@example.org"));
        auth.setPassword(QStringLiteral("secret"));
        auth.testAuthentication();
        QVERIFY(auth.testRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!auth.testRunning(), 20000);
        QCOMPARE(auth.status(), QLatin1String(c.expected));
    }
    QCOMPARE(server.requestCount(QStringLiteral("/login/")), 1);
}

QTEST_MAIN(TestAuthentication)
#include "tst_authentication.moc"
