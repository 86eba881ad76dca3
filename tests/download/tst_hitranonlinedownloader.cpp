#include "download/hitranonlinedownloader.h"
#include "download/linefilestore.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/serverlogin.h"

#include "linesourcesundertest.h"

#include <QFile>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

using Failure = HitranStandInServer::Failure;

// HITRANonline as a line source: the regions a calculation needs are fetched,
// checked and stored (or streamed), logins, failures and cancels.
class TestHitranOnlineDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void queryUrl();
    void segmentedDownloadStoresAndReuses_data();
    void segmentedDownloadStoresAndReuses();
    void singleRegionRequest();
    void linesOfTheReachAreFetchedAndRead();
    void loginPrecedesRequests();
    void insecureLoginRefused();
    void failedRegionIsNeverStored_data();
    void failedRegionIsNeverStored();
    void cancelInTheMiddle();

private:
    std::unique_ptr<LineSourcesUnderTest> m_t;
};

void TestHitranOnlineDownloader::initTestCase()
{
    // Only loopback traffic, never through a proxy of the environment.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestHitranOnlineDownloader::init()
{
    m_t = std::make_unique<LineSourcesUnderTest>();
    QVERIFY(m_t->isValid());
}

void TestHitranOnlineDownloader::cleanup()
{
    m_t.reset();
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

void TestHitranOnlineDownloader::segmentedDownloadStoresAndReuses_data()
{
    QTest::addColumn<bool>("crlf");
    QTest::newRow("LF replies") << false;
    QTest::newRow("CRLF replies") << true;
}

void TestHitranOnlineDownloader::segmentedDownloadStoresAndReuses()
{
    QFETCH(bool, crlf);
    m_t->server().setCrlf(crlf);
    const LineSourceRun run = m_t->calculate(1900.0, 2310.0);
    QVERIFY(run.completed);
    // Regions 85 (1860-1930) to 92 (2275-2335), stored whole under their names.
    QCOMPARE(m_t->server().requestCount(QStringLiteral("/lbl/api")), 8);
    QCOMPARE(m_t->storedFiles().size(), 8);
    for (int k = 85; k <= 92; ++k) {
        QFile file(m_t->downloads() + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(k));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), m_t->server().linesBetween(NormalizedDownloadRegionsFinder::boundary(k),
                                                        NormalizedDownloadRegionsFinder::boundary(k + 1)));
    }
    QVERIFY(m_t->notifications.contains(QStringLiteral("Searching HITRAN parts\navailable on your device.")));
    QVERIFY(m_t->notifications.contains(
        QStringLiteral("Downloading HITRAN, file 1 of 8\nFile spectral range: 1860 - 1930 cm-1")));
    QVERIFY(m_t->notifications.contains(
        QStringLiteral("Downloading HITRAN, file 8 of 8\nFile spectral range: 2275 - 2335 cm-1")));
    QVERIFY(m_t->dialogs.isEmpty());

    // The run receives exactly the records of the range, in order, in chunks.
    QVector<double> expected;
    LineFileStore parser;
    parser.takeDownloaded(m_t->server().linesBetween(1900.0, 2310.0));
    for (const LineRecord &r : parser.batch()) {
        if (r.wavenumber < 2310.0)
            expected << r.wavenumber;
    }
    QVERIFY(expected.size() > 1000);
    QCOMPARE(run.positions, expected);
    QVERIFY(run.chunks >= expected.size() / 150);

    // A second calculation of the range finds everything stored: no request.
    const int before = m_t->server().requests().size();
    const LineSourceRun again = m_t->calculate(1950.0, 2300.0);
    QVERIFY(again.completed);
    QCOMPARE(m_t->server().requests().size(), before);
    QVERIFY(!again.positions.isEmpty());
}

void TestHitranOnlineDownloader::singleRegionRequest()
{
    const LineSourceRun run = m_t->calculate(2060.0, 2070.0);
    QVERIFY(run.completed);
    QCOMPARE(m_t->server().requests().size(), 1);
    QVERIFY(m_t->notifications.contains(
        QStringLiteral("Downloading HITRAN, file 1 of 1\nFile spectral range: 2050 - 2090 cm-1")));
    QVERIFY(!run.positions.isEmpty());
    for (double position : run.positions)
        QVERIFY(position >= 2060.0 && position < 2070.0);
}

// Lines centred up to the reach outside the range are downloaded (the requests
// name the widened range, never beyond 0 cm-1) and read, from downloads and
// from a line file alike; the messages still name the calculation's range.
void TestHitranOnlineDownloader::linesOfTheReachAreFetchedAndRead()
{
    QVERIFY(m_t->downloader().setUsage(HitranOnlineDownloader::EveryTimeUsage));
    const LineSourceRun run = m_t->calculate(2065.0, 2290.0, 12.5);
    QVERIFY(run.completed);
    // Regions 88 (2050-2090) to 92 (2275-2335), the outer ones clipped to 2052.5 and 2302.5.
    const QList<HitranStandInServer::Request> requests = m_t->server().requests();
    QCOMPARE(requests.size(), 5);
    QVERIFY(requests.first().target.endsWith("&numin=2052.5&numax=2090"));
    QVERIFY(requests.last().target.endsWith("&numin=2275&numax=2302.5"));
    // Streamed a region at a time, and nothing stored.
    QCOMPARE(run.chunks, 5);
    QCOMPARE(m_t->storedFiles().size(), 0);
    QVERIFY2(m_t->notifications.contains(
                 QStringLiteral("Downloading HITRAN data 5 of 5\nRegion spectral range: 2275 - 2302.5 cm-1")),
             qPrintable(m_t->notifications.join(QLatin1Char('|'))));
    LineFileStore parser;
    parser.takeDownloaded(m_t->server().linesBetween(2052.5, 2302.5));
    QVector<double> expected;
    for (const LineRecord &r : parser.batch())
        expected << r.wavenumber;
    QVERIFY(expected.first() < 2065.0 && expected.last() > 2290.0);
    QCOMPARE(run.positions, expected);

    // The user's line file: the same lines.
    QVERIFY(QFile::copy(LineSourcesUnderTest::fixture(), m_t->userLineFile()));
    QVERIFY(m_t->downloader().setUsage(HitranOnlineDownloader::CompleteUsage));
    const LineSourceRun local = m_t->calculate(2065.0, 2290.0, 12.5);
    QVERIFY(local.completed);
    QCOMPARE(local.positions, expected);
    QCOMPARE(local.expected, qint64(expected.size()));

    // Near 0 cm-1 the widened range starts at 0; a failing service names the range.
    m_t->downloader().setServiceBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(QFile::remove(m_t->userLineFile()));
    QVERIFY(m_t->downloader().setUsage(HitranOnlineDownloader::SegmentedUsage));
    m_t->notes.clear();
    const LineRequest lowRequest = LineRequest::of(5.0, 20.0, 50.0, &m_t->params().molecules());
    QCOMPARE(lowRequest.lineStart, 0.0);
    QCOMPARE(lowRequest.lineEnd, 70.0);
    const LineSourceRun low = runLineSource(m_t->chain(), lowRequest);
    QVERIFY(low.completed);
    QCOMPARE(m_t->notes.size(), 1);
    QVERIFY2(m_t->notes.first().contains(QStringLiteral("The spectrum (5 - 20 cm-1)")), qPrintable(m_t->notes.first()));
}

void TestHitranOnlineDownloader::loginPrecedesRequests()
{
    m_t->downloader().setLoginFirst(true);
    m_t->downloader().setLoginUserName(QStringLiteral("user@example.org"));
    const QString password = QStringLiteral("p&ss=w+rd %ü");
    m_t->downloader().setLoginPassword(password);
    const LineSourceRun run = m_t->calculate(2060.0, 2100.0);
    QVERIFY(run.completed);
    QVERIFY2(m_t->dialogs.isEmpty(), qPrintable(m_t->dialogs.join(QLatin1Char('\n'))));
    const QList<HitranStandInServer::Request> requests = m_t->server().requests();
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
    QCOMPARE(m_t->storedFiles().size(), 2);
    QVERIFY(!run.positions.isEmpty());
}

void TestHitranOnlineDownloader::insecureLoginRefused()
{
    ServerLogin login;
    login.setLoginUrl(m_t->server().baseUrl() + QStringLiteral("/login/"));
    QSignalSpy failed(&login, &ServerLogin::authenticationFailed);
    QSignalSpy succeeded(&login, &ServerLogin::authenticationSuccessful);
    login.login();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(succeeded.count(), 0);
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("HTTPS")));
    QTest::qWait(50);
    QCOMPARE(m_t->server().requests().size(), 0);
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
    m_t->server().setFailure(QStringLiteral("/lbl/api"), Failure(failure), 1);
    m_t->downloader().setRequestTimeLimit(Failure(failure) == Failure::Drip ? 1200 : 60000);
    m_t->downloader().setMaxLineReplyBytes(qint64(1) << 20);
    if (forCalculation) {
        const LineSourceRun run = m_t->calculate(1925.0, 1935.0);
        // The calculation still runs, from the lines stored on the device.
        QVERIFY(run.completed);
        QVERIFY(!run.positions.isEmpty());
    } else {
        QSignalSpy ended(&m_t->downloader(), &HitranOnlineDownloader::completeDownloadEnded);
        m_t->downloader().downloadCompleteHitran();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    }
    QTest::qWait(50);
    QCOMPARE(m_t->storedFiles(), QStringList{forCalculation ? QStringLiteral("85 - 1860 - 1930.par")
                                                       : QStringLiteral("0 - 0 - 3.par")});
    // A calculation goes on from other lines and says so in a note; the
    // complete download ends and needs the user's attention.
    const QStringList &messages = forCalculation ? m_t->notes : m_t->dialogs;
    QVERIFY(!messages.isEmpty());
    QVERIFY(messages.first().startsWith(QStringLiteral("Error downloading HITRAN data.")));
    QVERIFY2(messages.first().contains(reason), qPrintable(messages.first()));
    QVERIFY(!m_t->downloader().isDownloading());
}

void TestHitranOnlineDownloader::cancelInTheMiddle()
{
    // The third region never answers; the user cancels while it is awaited.
    m_t->server().setFailure(QStringLiteral("/lbl/api"), Failure::NeverAnswer, 2);
    m_t->downloader().setNetworkTimeout(20000);
    QTimer::singleShot(400, &m_t->chain(), [this] { m_t->chain().cancel(); });
    const LineSourceRun run = m_t->calculate(1900.0, 2310.0);
    QVERIFY(run.completed);
    QCOMPARE(m_t->storedFiles().size(), 2);
    // Had the cancel not ended the wait, the run would still be waiting for the
    // network time limit; no message follows a cancel.
    QVERIFY(m_t->dialogs.isEmpty());
    QVERIFY(m_t->notes.isEmpty());
    // Only the regions not yet stored are fetched next time.
    m_t->server().clearFailures();
    const LineSourceRun again = m_t->calculate(1900.0, 2310.0);
    QVERIFY(again.completed);
    QCOMPARE(m_t->storedFiles().size(), 8);
    QCOMPARE(m_t->server().requestCount(QStringLiteral("/lbl/api")), 3 + 6);
}

QTEST_GUILESS_MAIN(TestHitranOnlineDownloader)
#include "tst_hitranonlinedownloader.moc"
