#include "download/hitranonlinedownloader.h"
#include "download/linefilestore.h"
#include "download/linesourcechain.h"
#include "download/normalizeddownloadregionsfinder.h"

#include "linesourcesundertest.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>

using Failure = HitranStandInServer::Failure;

// Where a calculation's lines come from: the order of the sources in each
// usage mode, what the user is told when lines come from elsewhere, and a
// download broken off and continued from local lines.
class TestLineSourceChain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void orderOfTheSources_data();
    void orderOfTheSources();
    void refusedRanges_data();
    void refusedRanges();
    void localDataStatus_data();
    void localDataStatus();
    void fallback_data();
    void fallback();
    void everyTimeFailureContinuesFromLocalLines();
    void damagedLineFileOfTheUser_data();
    void damagedLineFileOfTheUser();

private:
    std::unique_ptr<LineSourcesUnderTest> m_t;
};

void TestLineSourceChain::initTestCase()
{
    // Only loopback traffic, never through a proxy of the environment.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestLineSourceChain::init()
{
    m_t = std::make_unique<LineSourcesUnderTest>();
    QVERIFY(m_t->isValid());
}

void TestLineSourceChain::cleanup()
{
    m_t.reset();
}

void TestLineSourceChain::orderOfTheSources_data()
{
    QTest::addColumn<int>("usage");
    QTest::addColumn<bool>("userFile");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("downloads");
    QTest::newRow("segmented: the service before your file")
        << 0 << true << QStringLiteral("regions stored on this device") << true;
    QTest::newRow("complete: your file before the service") << 1 << true << QStringLiteral("HITRAN2012.par") << false;
    QTest::newRow("complete without your file: the service")
        << 1 << false << QStringLiteral("regions stored on this device") << true;
    QTest::newRow("every time: the service, streamed")
        << 2 << true << QStringLiteral("downloaded for this calculation") << true;
}

// With every source able to serve, the first in the usage mode's order does,
// and the user is told nothing.
void TestLineSourceChain::orderOfTheSources()
{
    QFETCH(int, usage);
    QFETCH(bool, userFile);
    QFETCH(QString, origin);
    QFETCH(bool, downloads);
    if (userFile)
        QVERIFY(QFile::copy(LineSourcesUnderTest::fixture(), m_t->userLineFile()));
    QVERIFY(m_t->downloader().setUsage(usage));
    QVERIFY(!m_t->downloader().setUsage(3));   // no such mode: the one set stays
    QCOMPARE(m_t->downloader().usage(), usage);
    const LineSourceRun run = m_t->calculate(2060.0, 2100.0);
    QVERIFY(run.completed);
    QVERIFY(!run.positions.isEmpty());
    QVERIFY2(m_t->chain().origin().contains(origin), qPrintable(m_t->chain().origin()));
    QVERIFY(!m_t->chain().isSample());
    QCOMPARE(m_t->server().requestCount(QStringLiteral("/lbl/api")) > 0, downloads);
    QCOMPARE(m_t->notes, QStringList());
    QCOMPARE(m_t->dialogs, QStringList());
}

void TestLineSourceChain::refusedRanges_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::newRow("below zero") << -5.0 << 100.0;
    QTest::newRow("above the table") << 49000.0 << 60000.0;
    QTest::newRow("empty") << 2000.0 << 2000.0;
    QTest::newRow("reversed") << 2300.0 << 2000.0;
    QTest::newRow("not a number") << qQNaN() << 2000.0;
}

void TestLineSourceChain::refusedRanges()
{
    QFETCH(double, start);
    QFETCH(double, end);
    const LineSourceRun run = m_t->calculate(start, end);
    QVERIFY(run.unsuccessful);
    QVERIFY(!run.completed);
    QCOMPARE(m_t->dialogs.size(), 1);
    QVERIFY2(m_t->dialogs.first().contains(QStringLiteral("0 - 50000 cm-1")), qPrintable(m_t->dialogs.first()));
    QCOMPARE(m_t->server().requests().size(), 0);
}

void TestLineSourceChain::localDataStatus_data()
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

void TestLineSourceChain::localDataStatus()
{
    QFETCH(bool, cumulative);
    QFETCH(int, regions);
    QFETCH(int, status);
    if (cumulative)
        QVERIFY(QFile::copy(LineSourcesUnderTest::fixture(), m_t->userLineFile()));
    for (int k = 0; k < regions; ++k) {
        QFile file(m_t->downloads() + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(k));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // A stray file never makes the set look complete.
    QFile stray(m_t->downloads() + QStringLiteral("/readme.txt"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    QCOMPARE(m_t->chain().localDataStatus(), status);
}

void TestLineSourceChain::fallback_data()
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
void TestLineSourceChain::fallback()
{
    QFETCH(QString, local);
    QFETCH(int, usage);
    QFETCH(QString, origin);
    if (local == QLatin1String("cumulative"))
        QVERIFY(QFile::copy(LineSourcesUnderTest::fixture(), m_t->userLineFile()));
    if (local == QLatin1String("regions")) {
        QFile file(m_t->downloads() + QStringLiteral("/88 - 2050 - 2090.par"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_t->server().linesBetween(2050.0, 2090.0));
    }
    m_t->downloader().setServiceBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(m_t->downloader().setUsage(usage));
    const LineSourceRun run = m_t->calculate(2000.0, 2300.0);
    QVERIFY(run.completed);
    QVERIFY(!run.positions.isEmpty());
    for (double position : run.positions)
        QVERIFY(position >= 2000.0 && position < 2300.0);
    QCOMPARE(m_t->dialogs, QStringList());
    QCOMPARE(m_t->notes.size(), 1);
    QVERIFY2(m_t->notes.first().contains(origin), qPrintable(m_t->notes.first()));
    QVERIFY(m_t->chain().origin().contains(origin));
    QCOMPARE(m_t->chain().isSample(), origin.contains(QLatin1String("sample")));
    if (origin.contains(QLatin1String("sample"))) {
        // The sample's contents are named, each molecule with the range its lines
        // cover (read off the shipped file), and it never counts as local data.
        QVERIFY2(m_t->notes.first().contains(QStringLiteral("CO2 2000-2300 cm-1")), qPrintable(m_t->notes.first()));
        QVERIFY(m_t->notes.first().contains(QStringLiteral("not the HITRAN database")));
        QCOMPARE(m_t->chain().localDataStatus(), 0);
        QCOMPARE(m_t->storedFiles().size(), 0);
    }
}

void TestLineSourceChain::everyTimeFailureContinuesFromLocalLines()
{
    QVERIFY(QFile::copy(LineSourcesUnderTest::fixture(), m_t->userLineFile()));
    QVERIFY(m_t->downloader().setUsage(HitranOnlineDownloader::EveryTimeUsage));
    // Region 88 arrives, region 89 fails: the rest comes from the local line file.
    m_t->server().setFailure(QStringLiteral("/lbl/api"), Failure::ServerError, 1);
    const LineSourceRun run = m_t->calculate(2055.0, 2300.0);
    QVERIFY(run.completed);
    LineFileStore parser;
    parser.takeDownloaded(m_t->server().linesBetween(2055.0, 2300.0));
    QVector<double> expected;
    for (const LineRecord &r : parser.batch()) {
        if (r.wavenumber < 2300.0)
            expected << r.wavenumber;
    }
    QCOMPARE(run.positions, expected);
    QCOMPARE(m_t->notes.size(), 1);
    QVERIFY(m_t->notes.first().contains(QStringLiteral("2090 - 2300 cm-1")));
    QCOMPARE(m_t->storedFiles().size(), 0);
}

void TestLineSourceChain::damagedLineFileOfTheUser_data()
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
void TestLineSourceChain::damagedLineFileOfTheUser()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    const QString path = m_t->userLineFile();
    QFile fixtureFile(LineSourcesUnderTest::fixture());
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
    m_t->downloader().setServiceBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(m_t->downloader().setUsage(HitranOnlineDownloader::CompleteUsage));
    const LineSourceRun run = m_t->calculate(2000.0, 2300.0);
    QVERIFY(run.completed);
    // A disorder the probes miss is found by the feed as it reads; the engine
    // shows what the feed found once the calculation ends.
    const QStringList said = run.feedProblem.isEmpty() ? m_t->dialogs : m_t->dialogs + QStringList{run.feedProblem};
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().contains(QStringLiteral("Your line file HITRAN2012.par")), qPrintable(said.first()));
    QVERIFY2(said.first().contains(problem), qPrintable(said.first()));
    if (kind != QLatin1String("swapped"))
        QVERIFY(said.first().contains(QStringLiteral("sample line list")));
}

QTEST_GUILESS_MAIN(TestLineSourceChain)
#include "tst_linesourcechain.moc"
