#include "download/filedownloader.h"
#include "download/hitranonlinedownloader.h"
#include "download/hitranrequestdata.h"
#include "download/replyguard.h"
#include "download/tipsfilesdownloader.h"

#include "hitranstandinserver.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Failure = HitranStandInServer::Failure;

// Partition-sum files and the two parameter files, fetched from the stand-in.
class TestTipsFilesDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void tipsRun_data();
    void tipsRun();
    void tipsRunAlwaysAnnouncesItsEnd();
    void parameterFiles_data();
    void parameterFiles();
    void redirectRule_data();
    void redirectRule();
    void redirectsElsewhereAreNotFollowed();

private:
    QString serverFolder() const { return m_dir->filePath(QStringLiteral("server")); }
    QString tipsFolder() const { return m_dir->filePath(QStringLiteral("data/TIPS")); }
    QString dataFolder() const { return m_dir->filePath(QStringLiteral("data")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HitranStandInServer> m_server;
    std::vector<Molecule> m_molecules;
};

static void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestTipsFilesDownloader::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestTipsFilesDownloader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(serverFolder()));
    QVERIFY(QDir().mkpath(tipsFolder()));
    // Three isotopologues with partition-sum files on the server, one without.
    m_molecules.assign(2, Molecule());
    m_molecules[0].isotopologues.resize(2);
    m_molecules[0].isotopologues[0].globalId = 1;
    m_molecules[0].isotopologues[1].globalId = 2;
    m_molecules[1].isotopologues.resize(2);
    m_molecules[1].isotopologues[0].globalId = 7;
    m_molecules[1].isotopologues[1].globalId = 8;
    for (Isotopologue *iso : {&m_molecules[0].isotopologues[0], &m_molecules[0].isotopologues[1],
                              &m_molecules[1].isotopologues[0]})
        iso->listedInGlobalIds = true;
    for (int id : {1, 2, 7, 8})
        writeFile(serverFolder() + QStringLiteral("/q%1.txt").arg(id), QByteArray("   1   1.0%1\n").replace("%1", QByteArray::number(id)));
    m_server = std::make_unique<HitranStandInServer>();
    m_server->setTipsFolder(serverFolder());
    QVERIFY(m_server->start());
}

void TestTipsFilesDownloader::cleanup()
{
    m_server.reset();
    m_dir.reset();
}

void TestTipsFilesDownloader::tipsRun_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("failingFile");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QStringList>("requested");
    QTest::addColumn<bool>("success");

    const QStringList all{QStringLiteral("q1.txt"), QStringLiteral("q2.txt"), QStringLiteral("q7.txt")};
    QTest::newRow("all missing") << QStringList() << QString() << 0 << all << true;
    QTest::newRow("all present") << all << QString() << 0 << QStringList() << true;
    QTest::newRow("one present") << QStringList{QStringLiteral("q2.txt")} << QString() << 0
                                 << QStringList{QStringLiteral("q1.txt"), QStringLiteral("q7.txt")} << true;
    QTest::newRow("first fails with 404") << QStringList() << QStringLiteral("q1.txt") << int(Failure::NotFound)
                                          << all << true;
    QTest::newRow("middle cut short") << QStringList() << QStringLiteral("q2.txt") << int(Failure::CutShort)
                                      << all << true;
    QTest::newRow("last never answers") << QStringList() << QStringLiteral("q7.txt") << int(Failure::NeverAnswer)
                                        << all << true;
    QTest::newRow("every file fails") << QStringList() << QStringLiteral("/data/Q/") << int(Failure::ServerError)
                                      << all << false;
    QTest::newRow("middle is a web page") << QStringList() << QStringLiteral("q2.txt") << int(Failure::HtmlPage)
                                          << all << true;
    QTest::newRow("first never ends") << QStringList() << QStringLiteral("q1.txt") << int(Failure::Endless)
                                      << all << true;
}

void TestTipsFilesDownloader::tipsRun()
{
    QFETCH(QStringList, present);
    QFETCH(QString, failingFile);
    QFETCH(int, failure);
    QFETCH(QStringList, requested);
    QFETCH(bool, success);

    for (const QString &name : present)
        writeFile(tipsFolder() + QLatin1Char('/') + name, "present");
    if (!failingFile.isEmpty())
        m_server->setFailure(failingFile, Failure(failure));

    TipsFilesDownloader tips;
    tips.setTipsFolder(tipsFolder());
    tips.setTipsBaseUrl(m_server->baseUrl() + QStringLiteral("/data/Q/"));
    tips.setMolecules(&m_molecules);
    tips.setServiceHost(QStringLiteral("127.0.0.1"));
    tips.setTimeout(1000);
    QSignalSpy done(&tips, &TipsFilesDownloader::tipsFilesDownloaded);
    QSignalSpy notified(&tips, &TipsFilesDownloader::notify);
    tips.start();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 8000);
    QCOMPARE(done.first().first().toBool(), success);

    QStringList sent;
    for (const auto &request : m_server->requests())
        sent << QString::fromLatin1(request.target).section(QLatin1Char('/'), -1);
    QCOMPARE(sent, requested);   // q8 is not listed: never requested

    // Every file obtained is there with the server's content; a failed one is absent.
    int written = 0;
    for (const QString &name : {QStringLiteral("q1.txt"), QStringLiteral("q2.txt"), QStringLiteral("q7.txt")}) {
        QFile file(tipsFolder() + QLatin1Char('/') + name);
        const bool failed = !failingFile.isEmpty() && (name == failingFile || failingFile.startsWith(QLatin1Char('/')));
        QCOMPARE(file.exists(), present.contains(name) || !failed);
        if (file.exists() && !present.contains(name)) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll().endsWith(name.mid(1, name.size() - 5).toLatin1() + "\n"));
            ++written;
        }
    }
    QVERIFY(!QFile::exists(tipsFolder() + QStringLiteral("/q8.txt")));
    // The banner ends hidden.
    QVERIFY(!notified.isEmpty());
    QCOMPARE(notified.last().at(2).toBool(), false);
    // A progress text after each download that succeeded, except for the last file.
    for (int i = 0; i + 1 < notified.size(); ++i)
        QVERIFY(notified.at(i).first().toString().contains(QStringLiteral("Acquired TIPS file: ")));
    QVERIFY(notified.size() - 1 <= written);
    const QStringList remaining = QDir(tipsFolder()).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : remaining)
        QVERIFY2(name.endsWith(QLatin1String(".txt")), qPrintable(name));   // no temporary left over
}

void TestTipsFilesDownloader::tipsRunAlwaysAnnouncesItsEnd()
{
    HitranOnlineDownloader downloader;
    downloader.setServiceBaseUrl(m_server->baseUrl());
    downloader.setTipsBaseUrl(m_server->baseUrl() + QStringLiteral("/data/Q/"));
    downloader.setTipsFolder(tipsFolder());
    downloader.setMolecules(&m_molecules);
    downloader.setNetworkTimeout(1000);
    m_server->setFailure(QStringLiteral("/data/Q/"), Failure::NeverAnswer);
    QSignalSpy complete(&downloader, &HitranOnlineDownloader::tipsDownloadComplete);
    QSignalSpy dialog(&downloader, &LineSource::problem);
    downloader.downloadTips();
    QTRY_COMPARE_WITH_TIMEOUT(complete.count(), 1, 8000);
    QVERIFY(!downloader.lastTipsDownloadSucceeded());
    QCOMPARE(dialog.count(), 1);
    QCOMPARE(dialog.first().first().toString(), QStringLiteral("Error downloading TIPS files\nfrom HITRANonline (127.0.0.1)"));
}

void TestTipsFilesDownloader::parameterFiles_data()
{
    QTest::addColumn<bool>("molparamPresent");
    QTest::addColumn<bool>("globalIdPresent");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("requests");
    QTest::newRow("both missing") << false << false << int(Failure::None) << 2;
    QTest::newRow("molparam present") << true << false << int(Failure::None) << 1;
    QTest::newRow("both present") << true << true << int(Failure::None) << 0;
    QTest::newRow("never answers") << false << false << int(Failure::NeverAnswer) << 2;
    QTest::newRow("web pages") << false << false << int(Failure::HtmlPage) << 2;
    QTest::newRow("a byte every 200 ms") << false << false << int(Failure::Drip) << 2;
    QTest::newRow("endless") << false << false << int(Failure::Endless) << 2;
}

// Each download ends with its completion signal, success or not; a failed one
// (a web page or a never ending reply with status 200 too) leaves no file and
// tells the user.
void TestTipsFilesDownloader::parameterFiles()
{
    QFETCH(bool, molparamPresent);
    QFETCH(bool, globalIdPresent);
    QFETCH(int, failure);
    QFETCH(int, requests);

    const QString molparamSource = QStringLiteral(KOLVEX_TEST_DATA "/hitran/molparam-hitran2020.txt");
    const QString globalIdSource = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/globalid.txt");
    m_server->setMolparamFile(molparamSource);
    m_server->setGlobalIdFile(globalIdSource);
    if (failure != int(Failure::None)) {
        m_server->setFailure(QStringLiteral("molparam"), Failure(failure));
        m_server->setFailure(QStringLiteral("globalid"), Failure(failure));
    }
    if (molparamPresent)
        writeFile(dataFolder() + QStringLiteral("/molparam.txt"), "mine");
    if (globalIdPresent)
        writeFile(dataFolder() + QStringLiteral("/globalid.txt"), "mine");

    HitranOnlineDownloader downloader;
    downloader.setServiceBaseUrl(m_server->baseUrl());
    downloader.setMolparamUrl(m_server->baseUrl() + QStringLiteral("/media/molparam.txt"));
    downloader.setGlobalIdUrl(m_server->baseUrl() + QStringLiteral("/exe/globalid.txt"));
    downloader.setDataFolder(dataFolder());
    downloader.setNetworkTimeout(1000);
    downloader.setRequestTimeLimit(1500);
    QSignalSpy molparamDone(&downloader, &HitranOnlineDownloader::molparamTxtDownloadComplete);
    QSignalSpy globalIdDone(&downloader, &HitranOnlineDownloader::globalIdTxtDownloadComplete);
    // The built-in tables stand in for a missing file: a note, not a dialog.
    QSignalSpy dialog(&downloader, &LineSource::problem);
    QSignalSpy note(&downloader, &LineSource::note);

    // As the start-up does: one after the other, each awaited.
    downloader.downloadMolparam();
    QTRY_COMPARE_WITH_TIMEOUT(molparamDone.count(), 1, 8000);
    downloader.downloadGlobalId();
    QTRY_COMPARE_WITH_TIMEOUT(globalIdDone.count(), 1, 8000);
    QCOMPARE(molparamDone.count(), 1);
    QCOMPARE(m_server->requests().size(), requests);

    for (const QString &name : {QStringLiteral("molparam.txt"), QStringLiteral("globalid.txt")}) {
        const bool present = name == QLatin1String("molparam.txt") ? molparamPresent : globalIdPresent;
        QFile source(name == QLatin1String("molparam.txt") ? molparamSource : globalIdSource);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray expected = source.readAll();
        QFile file(dataFolder() + QLatin1Char('/') + name);
        if (present) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("mine"));
        } else if (failure == int(Failure::None)) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), expected);
        } else {
            QVERIFY(!file.exists());
        }
    }
    QCOMPARE(dialog.count(), 0);
    if (failure == int(Failure::None)) {
        QCOMPARE(note.count(), 0);
    } else {
        QCOMPARE(note.count(), 2);
        QVERIFY(note.at(0).at(1).toString().startsWith(
            QStringLiteral("Error downloading the molparam.txt\nfile from HITRAN online (127.0.0.1)")));
        QVERIFY(note.at(1).at(1).toString().startsWith(
            QStringLiteral("Error downloading the globalid.txt\nfile from the Kolvex website (127.0.0.1)")));
    }
}

void TestTipsFilesDownloader::redirectRule_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("followed");
    QTest::newRow("same host, HTTPS") << "https://hitran.org/lbl/api" << "https://hitran.org/lbl/api?x=1" << true;
    QTest::newRow("HTTP to HTTPS, same host") << "http://hitran.org/data/Q/q1.txt" << "https://hitran.org/data/Q/q1.txt"
                                              << true;
    QTest::newRow("host in capitals") << "https://hitran.org/a" << "https://HITRAN.org/b" << true;
    QTest::newRow("another port, same host") << "https://hitran.org/a" << "https://hitran.org:8443/a" << true;
    QTest::newRow("another host") << "https://hitran.org/lbl/api" << "https://example.com/lbl/api" << false;
    QTest::newRow("a host that only begins alike") << "https://hitran.org/a" << "https://hitran.org.example.com/a"
                                                  << false;
    QTest::newRow("HTTPS to HTTP") << "https://hitran.org/lbl/5" << "http://hitran.org/lbl/5" << false;
    QTest::newRow("another scheme") << "https://hitran.org/a" << "ftp://hitran.org/a" << false;
}

// A redirect is followed only to the same host over HTTPS.
void TestTipsFilesDownloader::redirectRule()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, followed);
    const QString problem = ReplyGuard::redirectProblem(QUrl(from), QUrl(to));
    QCOMPARE(problem.isEmpty(), followed);
    if (!followed)
        QVERIFY2(problem.contains(QUrl(to).host()), qPrintable(problem));
}

// The service sends a request on to another host (here 127.0.0.2, another
// address of this machine) or to itself in clear: the redirect is not
// followed, so the other host never hears of the request (nor of the session
// cookie that goes with the line queries), and the failure names where it led.
void TestTipsFilesDownloader::redirectsElsewhereAreNotFollowed()
{
    HitranStandInServer elsewhere;
    if (!elsewhere.start(QHostAddress(QStringLiteral("127.0.0.2"))))
        QSKIP("No second loopback address (127.0.0.2) to stand for another host.");
    elsewhere.setTipsFolder(serverFolder());
    m_server->setRedirect(QStringLiteral("/data/Q/q1.txt"), elsewhere.baseUrl() + QStringLiteral("/data/Q/q1.txt"));
    m_server->setRedirect(QStringLiteral("/data/Q/q2.txt"), m_server->baseUrl() + QStringLiteral("/data/Q/q7.txt"));
    m_server->setRedirect(QStringLiteral("/lbl/api"), elsewhere.baseUrl() + QStringLiteral("/lbl/api?numin=1"));

    FileDownloader files;
    files.setSaveToFile(true);
    QSignalSpy done(&files, &FileDownloader::dataDownloaded);
    const QString target = tipsFolder() + QStringLiteral("/q1.txt");
    files.setUrl(m_server->baseUrl() + QStringLiteral("/data/Q/q1.txt"));
    files.setFilePath(target);
    files.download();
    QVERIFY(done.wait(20000));
    QVERIFY(!done.last().at(1).toBool());
    QVERIFY2(files.errorString().contains(QLatin1String("127.0.0.2")), qPrintable(files.errorString()));
    QVERIFY(!QFile::exists(target));

    // The same host, but in clear: not followed either (q7.txt is never asked for).
    files.setUrl(m_server->baseUrl() + QStringLiteral("/data/Q/q2.txt"));
    files.setFilePath(tipsFolder() + QStringLiteral("/q2.txt"));
    files.download();
    QVERIFY(done.wait(20000));
    QVERIFY(!done.last().at(1).toBool());
    QVERIFY2(files.errorString().contains(QLatin1String("HTTPS")), qPrintable(files.errorString()));
    QCOMPARE(m_server->requestCount(QStringLiteral("q7.txt")), 0);

    HitranRequestData lines;
    QSignalSpy returned(&lines, &HitranRequestData::hitranDataReturned);
    lines.setUrl(m_server->baseUrl() + QStringLiteral("/lbl/api?numin=2000&numax=2001"));
    lines.send();
    QVERIFY(returned.wait(20000));
    QVERIFY(!returned.last().at(1).toBool());
    QVERIFY2(lines.errorString().contains(QLatin1String("127.0.0.2")), qPrintable(lines.errorString()));

    QCOMPARE(elsewhere.requests().size(), 0);
}

QTEST_GUILESS_MAIN(TestTipsFilesDownloader)
#include "tst_tipsfilesdownloader.moc"
