#include "download/hitranonlinedownloader.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/serverlogin.h"

#include "core/params.h"
#include "hitranstandinserver.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <sys/stat.h>

using Failure = HitranStandInServer::Failure;

namespace {

QString fixture()
{
    return QStringLiteral(KOLVEX_TEST_DATA "/lines/standin-lines.par");
}

// Runs a calculation's line-data road as the core and the engine do: fetch, then
// prepare and take chunks until the end. Returns the positions of all records.
struct Run
{
    bool completed = false;
    bool unsuccessful = false;
    QVector<double> positions;
    int chunks = 0;
    // Of the feed of local lines: the records it counted, and what it found
    // wrong with them.
    qint64 expected = 0;
    QString feedProblem;
};

template<typename Predicate>
bool waitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QTest::qWait(5);
    return done();
}

Run runCalculation(HitranOnlineDownloader &downloader, double start, double end, int timeoutMs = 10000)
{
    Run run;
    QSignalSpy complete(&downloader, &LineSource::hitranDownloadComplete);
    QSignalSpy failed(&downloader, &LineSource::hitranDownloadUnsuccessful);
    downloader.setCalcStart(start);
    downloader.setCalcEnd(end);
    downloader.fetchForCalculation();
    waitFor([&] { return complete.count() + failed.count() > 0; }, timeoutMs);
    run.completed = complete.count() == 1;
    run.unsuccessful = failed.count() > 0;
    if (!run.completed)
        return run;
    downloader.prepareLineData();
    // Lines in files come as a feed, read here; downloaded ones batch by batch,
    // until the source says that a feed reads the rest.
    LineBatch batch;
    const auto readFeed = [&](std::unique_ptr<LineFeed> feed) {
        while (feed->next(batch)) {
            ++run.chunks;
            for (const LineRecord &r : batch)
                run.positions << r.wavenumber;
        }
        run.expected = feed->expectedRecordCount();
        run.feedProblem = feed->problem();
    };
    if (std::unique_ptr<LineFeed> feed = downloader.takeLineFeed()) {
        readFeed(std::move(feed));
        return run;
    }
    bool finished = false;
    QObject context;
    QObject::connect(&downloader, &LineSource::dataAvailable, &context, [&] {
        ++run.chunks;
        for (const LineRecord &r : downloader.lineRecords())
            run.positions << r.wavenumber;
    });
    QObject::connect(&downloader, &LineSource::noMoreDataAvailable, &context, [&] { finished = true; });
    QObject::connect(&downloader, &LineSource::lineFeedReady, &context, [&] {
        readFeed(downloader.takeLineFeed());
        finished = true;
    });
    int guard = 0;
    while (!finished && ++guard < 10000) {
        const int before = run.chunks;
        downloader.requestNextChunk();
        if (!waitFor([&] { return finished || run.chunks > before; }, timeoutMs))
            break;
    }
    return run;
}

} // namespace

class TestHitranOnlineDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void queryUrl();
    void refusedRanges_data();
    void refusedRanges();
    void localDataStatus_data();
    void localDataStatus();
    void segmentedDownloadStoresAndReuses_data();
    void segmentedDownloadStoresAndReuses();
    void singleRegionRequest();
    void completeUsageReadsCumulativeFile();
    void everyTimeUsageStoresNothing();
    void linesOfTheReachAreFetchedAndRead();
    void loginPrecedesRequests();
    void insecureLoginRefused();
    void failedRegionIsNeverStored_data();
    void failedRegionIsNeverStored();
    void cancelInTheMiddle();
    void fallback_data();
    void fallback();
    void everyTimeFailureContinuesFromLocalLines();
    void damagedLineFileOfTheUser_data();
    void damagedLineFileOfTheUser();

private:
    std::unique_ptr<Params> m_params;
    std::unique_ptr<HitranStandInServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HitranOnlineDownloader> m_downloader;
    QStringList m_notifications;
    QStringList m_dialogs;
    QStringList m_notes;   // messages that need no answer (lines from elsewhere)

    QString downloads() const { return m_dir->filePath(QStringLiteral("HITRAN-downloads")); }
    QStringList storedFiles() const
    {
        return QDir(downloads()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

void TestHitranOnlineDownloader::initTestCase()
{
    // Only loopback traffic, never through a proxy of the environment.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestHitranOnlineDownloader::init()
{
    m_params = std::make_unique<Params>();
    m_server = std::make_unique<HitranStandInServer>();
    m_server->setGlobalIds(m_params->molecules());
    m_server->setLineFile(fixture());
    QVERIFY(m_server->start());
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir().mkpath(downloads());

    m_downloader = std::make_unique<HitranOnlineDownloader>();
    m_downloader->setServiceBaseUrl(m_server->baseUrl());
    m_downloader->setLoginUrl(m_server->baseUrl() + QStringLiteral("/login/"));
    m_downloader->setAllowInsecureLogin(true);
    m_downloader->setMainDataFolder(m_dir->path());
    m_downloader->setCumulativeFileName(QStringLiteral("HITRAN2012.par"));
    m_downloader->setDownloadsFolder(downloads());
    m_downloader->setMolecules(&m_params->molecules());
    m_downloader->setRecordsPerChunk(150);
    m_downloader->setNetworkTimeout(1500);
    m_notifications.clear();
    m_dialogs.clear();
    m_notes.clear();
    connect(m_downloader.get(), &LineSource::note, this,
            [this](const QString &, const QString &text) { m_notes << text; });
    connect(m_downloader.get(), &LineSource::notify, this,
            [this](const QString &message, double, bool, bool) { m_notifications << message; });
    connect(m_downloader.get(), &LineSource::openOkDialog, this, [this](const QString &text) { m_dialogs << text; });
}

void TestHitranOnlineDownloader::cleanup()
{
    m_downloader.reset();
    m_server.reset();
    m_dir.reset();
    m_params.reset();
}

void TestHitranOnlineDownloader::queryUrl()
{
    std::vector<Molecule> molecules(2);
    molecules[0].isotopologues.resize(2);
    molecules[0].isotopologues[0].globalId = 7;
    molecules[0].isotopologues[1].globalId = 1;
    molecules[1].isotopologues.resize(2);
    molecules[1].isotopologues[0].globalId = 2;
    molecules[1].isotopologues[1].globalId = -1;   // cannot be requested
    molecules[1].selected = false;                 // requested all the same
    HitranOnlineDownloader downloader;
    downloader.setServiceBaseUrl(QStringLiteral("https://hitran.example/"));
    downloader.setMolecules(&molecules);
    QCOMPARE(downloader.lineQueryUrl(2000.0, 2050.0),
             QStringLiteral("https://hitran.example/lbl/api?iso_ids_list=1%2C2%2C7&numin=2000&numax=2050"));
    downloader.setLoginFirst(true);
    QCOMPARE(downloader.lineQueryUrl(2000.5, 20000.0),
             QStringLiteral("https://hitran.example/lbl/5?output_format_id=1&iso_ids_list=1%2C2%2C7"
                            "&numin=2000.5&numax=20000"));
}

void TestHitranOnlineDownloader::refusedRanges_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::newRow("below zero") << -5.0 << 100.0;
    QTest::newRow("above the table") << 49000.0 << 60000.0;
    QTest::newRow("empty") << 2000.0 << 2000.0;
    QTest::newRow("reversed") << 2300.0 << 2000.0;
    QTest::newRow("not a number") << qQNaN() << 2000.0;
}

void TestHitranOnlineDownloader::refusedRanges()
{
    QFETCH(double, start);
    QFETCH(double, end);
    const Run run = runCalculation(*m_downloader, start, end);
    QVERIFY(run.unsuccessful);
    QVERIFY(!run.completed);
    QCOMPARE(m_dialogs.size(), 1);
    QVERIFY2(m_dialogs.first().contains(QStringLiteral("0 - 50000 cm-1")), qPrintable(m_dialogs.first()));
    QCOMPARE(m_server->requests().size(), 0);
}

void TestHitranOnlineDownloader::localDataStatus_data()
{
    QTest::addColumn<bool>("cumulative");
    QTest::addColumn<int>("regions");
    QTest::addColumn<int>("status");
    QTest::newRow("nothing") << false << 0 << 0;
    QTest::newRow("some regions") << false << 3 << 2;
    QTest::newRow("all regions") << false << 132 << 1;
    QTest::newRow("cumulative only") << true << 0 << 10;
    QTest::newRow("cumulative and all") << true << 132 << 11;
    QTest::newRow("cumulative and some") << true << 131 << 12;
}

void TestHitranOnlineDownloader::localDataStatus()
{
    QFETCH(bool, cumulative);
    QFETCH(int, regions);
    QFETCH(int, status);
    if (cumulative)
        QVERIFY(QFile::copy(fixture(), m_dir->filePath(QStringLiteral("HITRAN2012.par"))));
    for (int k = 0; k < regions; ++k) {
        QFile file(downloads() + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(k));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // A stray file never makes the set look complete.
    QFile stray(downloads() + QStringLiteral("/readme.txt"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    QCOMPARE(m_downloader->localDataStatus(), status);
}

void TestHitranOnlineDownloader::segmentedDownloadStoresAndReuses_data()
{
    QTest::addColumn<bool>("crlf");
    QTest::newRow("LF replies") << false;
    QTest::newRow("CRLF replies") << true;
}

void TestHitranOnlineDownloader::segmentedDownloadStoresAndReuses()
{
    QFETCH(bool, crlf);
    m_server->setCrlf(crlf);
    const Run run = runCalculation(*m_downloader, 1900.0, 2310.0);
    QVERIFY(run.completed);
    // Regions 85 (1860-1930) to 92 (2275-2335), stored whole under their names.
    QCOMPARE(m_server->requestCount(QStringLiteral("/lbl/api")), 8);
    QCOMPARE(storedFiles().size(), 8);
    for (int k = 85; k <= 92; ++k) {
        QFile file(downloads() + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(k));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), m_server->linesBetween(NormalizedDownloadRegionsFinder::boundary(k),
                                                        NormalizedDownloadRegionsFinder::boundary(k + 1)));
    }
    QVERIFY(m_notifications.contains(QStringLiteral("Searching HITRAN parts\navailable on your device.")));
    QVERIFY(m_notifications.contains(
        QStringLiteral("Downloading HITRAN, file 1 of 8\nFile spectral range: 1860 - 1930 cm-1")));
    QVERIFY(m_notifications.contains(
        QStringLiteral("Downloading HITRAN, file 8 of 8\nFile spectral range: 2275 - 2335 cm-1")));
    QVERIFY(m_dialogs.isEmpty());

    // The run receives exactly the records of the range, in order, in chunks.
    QVector<double> expected;
    LineFileStore parser;
    parser.takeDownloaded(m_server->linesBetween(1900.0, 2310.0));
    for (const LineRecord &r : parser.batch()) {
        if (r.wavenumber < 2310.0)
            expected << r.wavenumber;
    }
    QVERIFY(expected.size() > 1000);
    QCOMPARE(run.positions, expected);
    QVERIFY(run.chunks >= expected.size() / 150);

    // A second calculation of the range finds everything stored: no request.
    const int before = m_server->requests().size();
    const Run again = runCalculation(*m_downloader, 1950.0, 2300.0);
    QVERIFY(again.completed);
    QCOMPARE(m_server->requests().size(), before);
    QVERIFY(!again.positions.isEmpty());
}

void TestHitranOnlineDownloader::singleRegionRequest()
{
    const Run run = runCalculation(*m_downloader, 2060.0, 2070.0);
    QVERIFY(run.completed);
    QCOMPARE(m_server->requests().size(), 1);
    QVERIFY(m_notifications.contains(
        QStringLiteral("Downloading HITRAN, file 1 of 1\nFile spectral range: 2050 - 2090 cm-1")));
    QVERIFY(!run.positions.isEmpty());
    for (double position : run.positions)
        QVERIFY(position >= 2060.0 && position < 2070.0);
}

void TestHitranOnlineDownloader::completeUsageReadsCumulativeFile()
{
    QVERIFY(QFile::copy(fixture(), m_dir->filePath(QStringLiteral("HITRAN2012.par"))));
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::CompleteUsage));
    QVERIFY(!m_downloader->setUsage(3));
    QCOMPARE(m_downloader->usage(), 1);
    const Run run = runCalculation(*m_downloader, 2059.0, 2300.0);
    QVERIFY(run.completed);
    QCOMPARE(m_server->requests().size(), 0);
    QCOMPARE(storedFiles().size(), 0);
    LineFileStore parser;
    parser.takeDownloaded(m_server->linesBetween(2059.0, 2300.0));
    QVector<double> expected;
    for (const LineRecord &r : parser.batch()) {
        if (r.wavenumber < 2300.0)
            expected << r.wavenumber;
    }
    QCOMPARE(run.positions, expected);
    QCOMPARE(run.expected, qint64(expected.size()));
    QVERIFY(m_dialogs.isEmpty());
}

void TestHitranOnlineDownloader::everyTimeUsageStoresNothing()
{
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::EveryTimeUsage));
    const Run run = runCalculation(*m_downloader, 2055.0, 2300.0);
    QVERIFY(run.completed);
    QCOMPARE(storedFiles().size(), 0);
    // Regions 88 to 92, the outer ones clipped to the range.
    const QList<HitranStandInServer::Request> requests = m_server->requests();
    QCOMPARE(requests.size(), 5);
    QVERIFY(requests.first().target.endsWith("&numin=2055&numax=2090"));
    QVERIFY(requests.last().target.endsWith("&numin=2275&numax=2300"));
    QCOMPARE(run.chunks, 5);
    QVERIFY(m_notifications.contains(
        QStringLiteral("Downloading HITRAN data 5 of 5\nRegion spectral range: 2275 - 2300 cm-1")));
    QVERIFY(!run.positions.isEmpty());
    QVERIFY(m_dialogs.isEmpty());
}

// Lines centred up to the reach outside the range are downloaded (the requests
// name the widened range, never beyond 0 cm-1) and read, from downloads and
// from a line file alike; the messages still name the calculation's range.
void TestHitranOnlineDownloader::linesOfTheReachAreFetchedAndRead()
{
    m_downloader->setLineReach(12.5);
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::EveryTimeUsage));
    const Run run = runCalculation(*m_downloader, 2065.0, 2290.0);
    QVERIFY(run.completed);
    // Regions 88 (2050-2090) to 92 (2275-2335), the outer ones clipped to 2052.5 and 2302.5.
    const QList<HitranStandInServer::Request> requests = m_server->requests();
    QCOMPARE(requests.size(), 5);
    QVERIFY(requests.first().target.endsWith("&numin=2052.5&numax=2090"));
    QVERIFY(requests.last().target.endsWith("&numin=2275&numax=2302.5"));
    LineFileStore parser;
    parser.takeDownloaded(m_server->linesBetween(2052.5, 2302.5));
    QVector<double> expected;
    for (const LineRecord &r : parser.batch())
        expected << r.wavenumber;
    QVERIFY(expected.first() < 2065.0 && expected.last() > 2290.0);
    QCOMPARE(run.positions, expected);

    // The user's line file: the same lines.
    QVERIFY(QFile::copy(fixture(), m_dir->filePath(QStringLiteral("HITRAN2012.par"))));
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::CompleteUsage));
    const Run local = runCalculation(*m_downloader, 2065.0, 2290.0);
    QVERIFY(local.completed);
    QCOMPARE(local.positions, expected);

    // Near 0 cm-1 the widened range starts at 0; a failing service names the range.
    m_downloader->setServiceBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("HITRAN2012.par"))));
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::SegmentedUsage));
    m_downloader->setLineReach(50.0);
    m_notes.clear();
    const Run low = runCalculation(*m_downloader, 5.0, 20.0);
    QVERIFY(low.completed);
    QCOMPARE(m_downloader->lineRangeStart(), 0.0);
    QCOMPARE(m_downloader->lineRangeEnd(), 70.0);
    QCOMPARE(m_notes.size(), 1);
    QVERIFY2(m_notes.first().contains(QStringLiteral("The spectrum (5 - 20 cm-1)")), qPrintable(m_notes.first()));
}

void TestHitranOnlineDownloader::loginPrecedesRequests()
{
    m_downloader->setLoginFirst(true);
    m_downloader->setLoginUserName(QStringLiteral("user@example.org"));
    const QString password = QStringLiteral("p&ss=w+rd %ü");
    m_downloader->setLoginPassword(password);
    const Run run = runCalculation(*m_downloader, 2060.0, 2100.0);
    QVERIFY(run.completed);
    QVERIFY2(m_dialogs.isEmpty(), qPrintable(m_dialogs.join(QLatin1Char('\n'))));
    const QList<HitranStandInServer::Request> requests = m_server->requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests.at(0).method, QByteArray("POST"));
    QCOMPARE(requests.at(0).contentType, QByteArray("application/x-www-form-urlencoded"));
    const QUrlQuery form(QString::fromLatin1(requests.at(0).body));
    QCOMPARE(form.queryItemValue(QStringLiteral("email"), QUrl::FullyDecoded), QStringLiteral("user@example.org"));
    QCOMPARE(QUrl::fromPercentEncoding(requests.at(0).body.mid(requests.at(0).body.indexOf("password=") + 9)),
             password);
    // The line queries go to the logged-in path, with the session cookie: the
    // stand-in refuses them otherwise and nothing would be stored.
    QVERIFY(requests.at(1).target.startsWith("/lbl/5?output_format_id=1&iso_ids_list="));
    QVERIFY(!requests.at(1).cookie.isEmpty());
    QCOMPARE(storedFiles().size(), 2);
    QVERIFY(!run.positions.isEmpty());
}

void TestHitranOnlineDownloader::insecureLoginRefused()
{
    ServerLogin login;
    login.setLoginUrl(m_server->baseUrl() + QStringLiteral("/login/"));
    QSignalSpy failed(&login, &ServerLogin::authenticationFailed);
    QSignalSpy succeeded(&login, &ServerLogin::authenticationSuccessful);
    login.login();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(succeeded.count(), 0);
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("HTTPS")));
    QTest::qWait(50);
    QCOMPARE(m_server->requests().size(), 0);
}

void TestHitranOnlineDownloader::failedRegionIsNeverStored_data()
{
    QTest::addColumn<int>("failure");
    QTest::addColumn<bool>("forCalculation");
    QTest::addColumn<QString>("reason");   // what the message must say; empty: not checked
    QTest::newRow("404") << int(Failure::NotFound) << true << QString();
    QTest::newRow("500") << int(Failure::ServerError) << true << QString();
    QTest::newRow("cut short") << int(Failure::CutShort) << true << QString();
    QTest::newRow("never answers") << int(Failure::NeverAnswer) << true << QString();
    QTest::newRow("500, complete download") << int(Failure::ServerError) << false << QString();
    QTest::newRow("never answers, complete download") << int(Failure::NeverAnswer) << false << QString();
    // Replies a server sends with status 200 that are no region's lines.
    QTest::newRow("cut inside a record, no length")
        << int(Failure::CutWithoutLength) << true << "end inside a record";
    QTest::newRow("a record, then HTML") << int(Failure::RecordThenHtml) << true << "is not line data from line 2 on";
    QTest::newRow("records of another range") << int(Failure::WrongRange) << true << "outside the range asked for";
    QTest::newRow("records of another range, complete download")
        << int(Failure::WrongRange) << false << "outside the range asked for";
    // Only the total time limit ends a drip, only the size bound an endless reply.
    QTest::newRow("a byte every 200 ms") << int(Failure::Drip) << true << "did not complete within 1.2 s";
    QTest::newRow("endless") << int(Failure::Endless) << true << "larger than 1 MB";
}

// The second region fails: the first stays stored, the failed one leaves no file
// (not even a temporary one), and the user is told.
void TestHitranOnlineDownloader::failedRegionIsNeverStored()
{
    QFETCH(int, failure);
    QFETCH(bool, forCalculation);
    QFETCH(QString, reason);
    m_server->setFailure(QStringLiteral("/lbl/api"), Failure(failure), 1);
    m_downloader->setRequestTimeLimit(Failure(failure) == Failure::Drip ? 1200 : 60000);
    m_downloader->setMaxLineReplyBytes(qint64(1) << 20);
    if (forCalculation) {
        const Run run = runCalculation(*m_downloader, 1925.0, 1935.0);
        // The calculation still runs, from the lines stored on the device.
        QVERIFY(run.completed);
        QVERIFY(!run.positions.isEmpty());
    } else {
        QSignalSpy complete(m_downloader.get(), &LineSource::hitranDownloadComplete);
        QSignalSpy failed(m_downloader.get(), &LineSource::hitranDownloadUnsuccessful);
        m_downloader->downloadCompleteHitran();
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        QCOMPARE(complete.count(), 0);
    }
    QTest::qWait(50);
    QCOMPARE(storedFiles(), QStringList{forCalculation ? QStringLiteral("85 - 1860 - 1930.par")
                                                       : QStringLiteral("0 - 0 - 3.par")});
    // A calculation goes on from other lines and says so in a note; the
    // complete download ends and needs the user's attention.
    const QStringList &messages = forCalculation ? m_notes : m_dialogs;
    QVERIFY(!messages.isEmpty());
    QVERIFY(messages.first().startsWith(QStringLiteral("Error downloading HITRAN data.")));
    QVERIFY2(messages.first().contains(reason), qPrintable(messages.first()));
    QVERIFY(!m_downloader->isDownloading());
}

void TestHitranOnlineDownloader::cancelInTheMiddle()
{
    // The third region never answers; the user cancels while it is awaited.
    m_server->setFailure(QStringLiteral("/lbl/api"), Failure::NeverAnswer, 2);
    m_downloader->setNetworkTimeout(20000);
    QTimer::singleShot(400, m_downloader.get(), [this] { m_downloader->setCancelRequested(true); });
    const Run run = runCalculation(*m_downloader, 1900.0, 2310.0);
    QVERIFY(run.completed);
    QCOMPARE(storedFiles().size(), 2);
    // Had the cancel not ended the wait, the run would still be waiting for the
    // network time limit; no message follows a cancel.
    QVERIFY(m_dialogs.isEmpty());
    QVERIFY(m_notes.isEmpty());
    // Only the regions not yet stored are fetched next time.
    m_server->clearFailures();
    m_downloader->setCancelRequested(false);
    const Run again = runCalculation(*m_downloader, 1900.0, 2310.0);
    QVERIFY(again.completed);
    QCOMPARE(storedFiles().size(), 8);
    QCOMPARE(m_server->requestCount(QStringLiteral("/lbl/api")), 3 + 6);
}

void TestHitranOnlineDownloader::fallback_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<int>("usage");
    QTest::addColumn<QString>("origin");
    QTest::newRow("line file of the user") << QStringLiteral("cumulative") << 0 << QStringLiteral("HITRAN2012.par");
    QTest::newRow("stored regions") << QStringLiteral("regions") << 0 << QStringLiteral("stored earlier");
    QTest::newRow("shipped sample") << QString() << 0 << QStringLiteral("sample line list");
    QTest::newRow("offline without data") << QString() << 1 << QStringLiteral("sample line list");
}

// No service at all: the calculation runs from the user's local lines, else from
// the shipped sample, and the user learns where the lines came from.
void TestHitranOnlineDownloader::fallback()
{
    QFETCH(QString, local);
    QFETCH(int, usage);
    QFETCH(QString, origin);
    if (local == QLatin1String("cumulative"))
        QVERIFY(QFile::copy(fixture(), m_dir->filePath(QStringLiteral("HITRAN2012.par"))));
    if (local == QLatin1String("regions")) {
        QFile file(downloads() + QStringLiteral("/88 - 2050 - 2090.par"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_server->linesBetween(2050.0, 2090.0));
    }
    m_downloader->setServiceBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(m_downloader->setUsage(usage));
    const Run run = runCalculation(*m_downloader, 2000.0, 2300.0);
    QVERIFY(run.completed);
    QVERIFY(!run.positions.isEmpty());
    for (double position : run.positions)
        QVERIFY(position >= 2000.0 && position < 2300.0);
    QCOMPARE(m_dialogs, QStringList());
    QCOMPARE(m_notes.size(), 1);
    QVERIFY2(m_notes.first().contains(origin), qPrintable(m_notes.first()));
    QVERIFY(m_downloader->lineDataOrigin().contains(origin));
    QCOMPARE(m_downloader->usesSampleLines(), origin.contains(QLatin1String("sample")));
    if (origin.contains(QLatin1String("sample"))) {
        // The sample's contents are named, each molecule with the range its lines
        // cover (read off the shipped file), and it never counts as local data.
        QVERIFY2(m_notes.first().contains(QStringLiteral("CO2 2000-2300 cm-1")), qPrintable(m_notes.first()));
        QVERIFY(m_notes.first().contains(QStringLiteral("not the HITRAN database")));
        QCOMPARE(m_downloader->localDataStatus(), 0);
        QCOMPARE(storedFiles().size(), 0);
    }
}

void TestHitranOnlineDownloader::everyTimeFailureContinuesFromLocalLines()
{
    QVERIFY(QFile::copy(fixture(), m_dir->filePath(QStringLiteral("HITRAN2012.par"))));
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::EveryTimeUsage));
    // Region 88 arrives, region 89 fails: the rest comes from the local line file.
    m_server->setFailure(QStringLiteral("/lbl/api"), Failure::ServerError, 1);
    const Run run = runCalculation(*m_downloader, 2055.0, 2300.0);
    QVERIFY(run.completed);
    LineFileStore parser;
    parser.takeDownloaded(m_server->linesBetween(2055.0, 2300.0));
    QVector<double> expected;
    for (const LineRecord &r : parser.batch()) {
        if (r.wavenumber < 2300.0)
            expected << r.wavenumber;
    }
    QCOMPARE(run.positions, expected);
    QCOMPARE(m_notes.size(), 1);
    QVERIFY(m_notes.first().contains(QStringLiteral("2090 - 2300 cm-1")));
    QCOMPARE(storedFiles().size(), 0);
}

void TestHitranOnlineDownloader::damagedLineFileOfTheUser_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("empty") << "empty" << "it is empty";
    QTest::newRow("binary") << "binary" << "it is not a text file";
    QTest::newRow("no line end in 1 MB") << "one line" << "its first line is longer than";
    QTest::newRow("FIFO") << "fifo" << "it cannot be read (it is not a regular file)";
    QTest::newRow("folder") << "folder" << "it cannot be read (it is not a regular file)";
    QTest::newRow("records reversed") << "reversed" << "it is not sorted by wavenumber";
    QTest::newRow("two records swapped") << "swapped" << "is not sorted by wavenumber: a line at";
}

// The user's own line file serves offline use only when its records can be
// found: an empty, binary or endless-line file, a FIFO, a folder, or records out of
// wavenumber order are named, and the spectrum comes from other lines. A
// swap the probes of the whole file miss is found while the range is read.
void TestHitranOnlineDownloader::damagedLineFileOfTheUser()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    const QString path = m_dir->filePath(QStringLiteral("HITRAN2012.par"));
    QFile fixtureFile(fixture());
    QVERIFY(fixtureFile.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = fixtureFile.readAll().split('\n');
    lines.removeAll(QByteArray());
    QByteArray content;
    if (kind == QLatin1String("binary")) {
        content = QByteArray(20000, '\0');
    } else if (kind == QLatin1String("one line")) {
        content = QByteArray(1 << 20, '7');
    } else if (kind == QLatin1String("reversed")) {
        std::reverse(lines.begin(), lines.end());
        content = lines.join('\n') + '\n';
    } else if (kind == QLatin1String("swapped")) {
        // Two neighbours in the calculation's range change places.
        int i = 0;
        while (lines.at(i).mid(3, 12).trimmed().toDouble() < 2100.0)
            ++i;
        lines.swapItemsAt(i, i + 1);
        content = lines.join('\n') + '\n';
    }
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    m_downloader->setServiceBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(m_downloader->setUsage(HitranOnlineDownloader::CompleteUsage));
    const Run run = runCalculation(*m_downloader, 2000.0, 2300.0);
    QVERIFY(run.completed);
    // A disorder the probes miss is found by the feed as it reads; the engine
    // shows what the feed found once the calculation ends.
    const QStringList said = run.feedProblem.isEmpty() ? m_dialogs : m_dialogs + QStringList{run.feedProblem};
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().contains(QStringLiteral("Your line file HITRAN2012.par")), qPrintable(said.first()));
    QVERIFY2(said.first().contains(problem), qPrintable(said.first()));
    if (kind != QLatin1String("swapped"))
        QVERIFY(said.first().contains(QStringLiteral("sample line list")));
}

QTEST_GUILESS_MAIN(TestHitranOnlineDownloader)
#include "tst_hitranonlinedownloader.moc"
