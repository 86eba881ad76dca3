#include "app/kolvexcore.h"
#include "download/userlinefile.h"
#include "calc/lbl.h"
#include "core/linesource.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "download/hitranonlinedownloader.h"
#include "sensors/sensors.h"
#include "failingfilewriter.h"
#include "hitranstandinserver.h"
#include "offlinesettings.h"

#include "testfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A feed without lines.
class EmptyFeed : public LineFeed
{
public:
    bool next(LineBatch &batch) override
    {
        batch.clear();
        return false;
    }
    qint64 expectedRecordCount() const override { return 0; }
};

// A line source that records what the core asks of it and answers when the
// test says so.
class ScriptedLineSource : public LineSource
{
public:
    using LineSource::LineSource;

    void prepare(const LineRequest &asked) override
    {
        request = asked;
        ++preparations;
    }
    std::unique_ptr<LineFeed> takeFeed() override
    {
        ++feedsTaken;
        return std::make_unique<EmptyFeed>();
    }
    QString origin() const override { return QStringLiteral("the scripted lines"); }
    void cancel() override { ++cancels; }

    LineRequest request;
    int preparations = 0;
    int feedsTaken = 0;
    int cancels = 0;
};

KolvexCore::Settings settingsFor(const QTemporaryDir &dir)
{
    return offlineSettings(dir.path());
}

} // namespace

// Start-up in a fresh data folder and the calculate / cancel / finish sequence.
class TestKolvexCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startInFreshFolderInstallsShippedData();
    void startKeepsFilesAlreadyInTheDataFolder();
    void fullDiskAtFirstStartLeavesNoFileHalfWritten();
    void filesDamagedEarlierArePutBackAndNamed();
    void globalIdsNamingOneTableTwiceArePutBack();
    void compactPartitionSumsThatAreNoFile_data();
    void compactPartitionSumsThatAreNoFile();
    void firstStartDownloadsWhatIsMissing();
    void startWithoutNetworkFinishesAndRefusesToCalculate();
    void startWithStalledServerEndsAtTheTimeLimit();
    void lineFileIsFirstParFileByName();
    void calculateRunsOnceAndFinishesOnUnsuccessfulDownload();
    void calculateFinishesWhenLineDataRunsOut();
    void lineByLineWithoutRequestDoesNothing();
    void cancelReachesTheLineSource();
    void calculateRefusesWhatCannotBeCalculated_data();
    void calculateRefusesWhatCannotBeCalculated();

private:
    QTemporaryDir m_dir;
    KolvexCore *m_core = nullptr;
};

void TestKolvexCore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_core = new KolvexCore(settingsFor(m_dir), this);
    // Without network the parameter file download fails, and the user is told
    // once in a note that needs no answer: the built-in tables serve.
    QVERIFY(m_core->note().contains(QStringLiteral("molparam.txt")));
    QVERIFY(m_core->note().contains(QStringLiteral("built-in tables")));
    QCOMPARE(m_core->okDialogText(), QStringLiteral("undefined"));
    // Until the partition sums are read, nothing can be calculated; the user
    // is told that the program is still starting, not blamed on the network.
    QVERIFY(!m_core->tipsLoaded());
    m_core->calculate();
    QVERIFY(!m_core->calculationIsRunning());
    QVERIFY(m_core->okDialogText().startsWith(QStringLiteral("Kolvex is still starting")));
    m_core->setOkDialogText(QString());
    QTRY_VERIFY(m_core->tipsLoaded());
}

void TestKolvexCore::startInFreshFolderInstallsShippedData()
{
    QCOMPARE(QDir(m_dir.path() + "/TIPS").entryList(QDir::Files).size(), 125);
    QVERIFY(QFile::exists(m_dir.path() + "/globalid.txt"));
    QVERIFY(QDir(m_dir.path() + "/HITRAN-downloads").exists());
    QVERIFY(QDir(m_dir.path() + "/results").exists());
    QVERIFY(m_core->tipsLoaded());
    QVERIFY(!m_core->calculationIsRunning());
    const Isotopologue &cf4 = m_core->params()->molecule(41).isotopologues[0];
    QVERIFY(cf4.tipsLoaded);
    QCOMPARE(cf4.partitionSum(296.0), 121272.7072);
    // The global-number file marks what can be downloaded.
    QVERIFY(m_core->params()->molecule(0).isotopologues[0].listedInGlobalIds);
    QVERIFY(!m_core->params()->molecule(33).isotopologues[0].listedInGlobalIds);
    QCOMPARE(m_core->xAxis()->numPoints(), 10000);
    QCOMPARE(m_core->xAxis()->units(), quint8(XAxis::WavelengthMicron));
    QCOMPARE(m_core->pathLengthUnit()->unit, quint8(PathLengthUnit::Metre));
}

void TestKolvexCore::startKeepsFilesAlreadyInTheDataFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.path() + "/TIPS"));
    {
        QFile own(dir.path() + "/TIPS/q1.txt");
        QVERIFY(own.open(QIODevice::WriteOnly));
        for (int t = 1; t <= 400; ++t)
            own.write(QByteArray::number(t).rightJustified(4) + "          2.50000000\n");
    }
    KolvexCore core(settingsFor(dir));
    QTRY_VERIFY(core.tipsLoaded());
    QCOMPARE(core.params()->molecule(0).isotopologues[0].partitionSum(296.0), 2.5);
    QCOMPARE(core.params()->tipsTemperatures().size(), std::size_t(400));
    QCOMPARE(QDir(dir.path() + "/TIPS").entryList(QDir::Files).size(), 125);
}

// A disk that fills up during the first start: no shipped file is left half
// written (each is whole or absent), the user is told, and a later start with
// space again installs everything and calculates.
void TestKolvexCore::fullDiskAtFirstStartLeavesNoFileHalfWritten()
{
    QTemporaryDir dir;
    KolvexCore::Settings settings = settingsFor(dir);
    FailingFileWriter fullDisk(3000);   // globalid.txt (1900 bytes) fits, no partition-sum table does
    settings.fileWriter = &fullDisk;
    {
        KolvexCore core(settings);
        QVERIFY2(core.okDialogText().contains(QStringLiteral("could not put its shipped data")),
                 qPrintable(core.okDialogText()));
        QTRY_VERIFY(core.startupDone());
        QVERIFY(!core.tipsLoaded());
        QCOMPARE(QDir(dir.filePath("TIPS")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QFile shipped(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/globalid.txt"));
        QFile installed(dir.filePath("globalid.txt"));
        QVERIFY(shipped.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll(), shipped.readAll());
        // Saving the settings on the full disk leaves no configuration file behind.
        core.saveConfiguration();
        QVERIFY(!QFile::exists(core.configFilePath()));
    }
    settings.fileWriter = nullptr;
    KolvexCore again(settings);
    QTRY_VERIFY(again.tipsLoaded());
    QCOMPARE(QDir(dir.filePath("TIPS")).entryList(QDir::Files).size(), 125);
}

// What a full disk or another program left behind earlier: an empty
// globalid.txt, an empty and an unreadable partition-sum table, a FIFO as
// config.txt. Start-up neither hangs nor calculates wrongly: the shipped
// copies are put back, the user learns which, and the FIFO counts as a
// damaged configuration file.
void TestKolvexCore::filesDamagedEarlierArePutBackAndNamed()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("TIPS")));
    for (const char *name : {"globalid.txt", "TIPS/q7.txt"}) {
        QFile empty(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    QVERIFY(TestFile::makeEndlessNode(dir.filePath("TIPS/q8.txt")));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("config.txt")).constData(), 0600), 0);
    KolvexCore core(settingsFor(dir));
    QVERIFY2(core.okDialogText().contains(QStringLiteral("globalid.txt could not be used: it assigns no global number "
                                                         "to an isotopologue Kolvex knows. The shipped copy was put back")),
             qPrintable(core.okDialogText()));
    QTRY_VERIFY(core.tipsLoaded());
    const QString told = core.okDialogText();
    QVERIFY2(told.contains(QStringLiteral("q7.txt (CO2): the file is empty; the shipped copy was put back")),
             qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("q8.txt (CO2): it is not a regular file; the shipped copy was put back")),
             qPrintable(told));
    QVERIFY(core.params()->molecule(0).isotopologues[0].listedInGlobalIds);
    for (std::size_t i : {0, 1})
        QVERIFY(core.params()->molecule(1).isotopologues[i].tipsLoaded);
    core.params()->pathConditions().temperature = 1000.0;
    QVERIFY(SettingRules::temperatureProblem(1000.0, *core.params()).isEmpty());
}

// A globalid.txt that gives CO2 628's number (9) to CO2 627 too would have
// one of them calculated with the other's partition sums: the shipped copy
// is put back, the user learns why, and each isotopologue has its own table.
void TestKolvexCore::globalIdsNamingOneTableTwiceArePutBack()
{
    QTemporaryDir dir;
    QFile shipped(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/globalid.txt"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QByteArray original = shipped.readAll();
    QByteArray twice = original;
    QVERIFY(twice.contains("\n8\t2\t2\tyes\n"));
    twice.replace("\n8\t2\t2\tyes\n", "\n9\t2\t2\tyes\n");
    {
        QFile file(dir.filePath("globalid.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(twice);
    }
    KolvexCore core(settingsFor(dir));
    QVERIFY2(core.okDialogText().contains(QStringLiteral(
                 "globalid.txt could not be used: it gives the global number 9 to both isotopologue 2 of CO2 and "
                 "isotopologue 3 of CO2. The shipped copy was put back.")),
             qPrintable(core.okDialogText()));
    QFile installed(dir.filePath("globalid.txt"));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(), original);
    QTRY_VERIFY(core.tipsLoaded());
    // Q(296 K) of CO2 627 and 628 from their own tables (the 296 K lines of the
    // shipped q8.txt and q9.txt).
    QCOMPARE(core.params()->molecule(1).isotopologues[1].globalId, 8);
    QCOMPARE(core.params()->molecule(1).isotopologues[1].partitionSum(296.0), 576.64381);
    QCOMPARE(core.params()->molecule(1).isotopologues[2].partitionSum(296.0), 607.80771);
}

void TestKolvexCore::compactPartitionSumsThatAreNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a device node") << "device";
}

// The compact partition-sum file replaced by a FIFO (which nothing writes)
// or by a link to a device node: start-up neither waits for the FIFO nor
// turns the device into a file, and the tables come from their texts.
void TestKolvexCore::compactPartitionSumsThatAreNoFile()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("device") && ::geteuid() != 0)
        QSKIP("Making a device node (mknod) needs root; the FIFO row covers start-up.");
    QTemporaryDir dir;
    QTemporaryDir nodes;
    QVERIFY(QDir().mkpath(dir.filePath("TIPS")));
    const QString compact = dir.filePath("TIPS/.partition-sums.bin");
    const QString node = kind == QLatin1String("fifo") ? compact : nodes.filePath("null");
    const QByteArray name = QFile::encodeName(node);
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else {
        QCOMPARE(::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)), 0);
        QVERIFY(QFile::link(node, compact));
    }
    KolvexCore core(settingsFor(dir));
    QTRY_VERIFY(core.tipsLoaded());
    QCOMPARE(core.params()->molecule(1).isotopologues[0].partitionSum(296.0), 286.09382);
    struct stat entry;
    QCOMPARE(::lstat(name.constData(), &entry), 0);
    QCOMPARE(entry.st_mode & S_IFMT, kind == QLatin1String("fifo") ? mode_t(S_IFIFO) : mode_t(S_IFCHR));
    QCOMPARE(::lstat(QFile::encodeName(compact).constData(), &entry), 0);
    QCOMPARE(entry.st_mode & S_IFMT, kind == QLatin1String("fifo") ? mode_t(S_IFIFO) : mode_t(S_IFLNK));
}

void TestKolvexCore::firstStartDownloadsWhatIsMissing()
{
    QTemporaryDir dir;
    QTemporaryDir served;
    for (const char *name : {"q1.txt", "q2.txt", "q7.txt"})
        QVERIFY(QFile::copy(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS/") + name,
                            served.filePath(QString::fromLatin1(name))));
    HitranStandInServer server;
    QVERIFY(server.start());
    server.setTipsFolder(served.path());
    server.setMolparamFile(QStringLiteral(KOLVEX_TEST_DATA "/hitran/molparam-hitran2020.txt"));
    server.setGlobalIdFile(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/globalid.txt"));

    KolvexCore::Settings settings = offlineSettings(dir.path());
    settings.serviceBaseUrl = server.baseUrl();
    settings.productBaseUrl = server.baseUrl();
    settings.useBundledData = false;
    KolvexCore core(settings);
    // The parameter files are in place and read before the constructor returns.
    QVERIFY(QFile::exists(dir.filePath("molparam.txt")));
    QVERIFY(QFile::exists(dir.filePath("globalid.txt")));
    QCOMPARE(core.params()->molecule(1).isotopologues.size(), std::size_t(12));
    QVERIFY(core.params()->molecule(0).isotopologues[0].listedInGlobalIds);

    // The partition sums follow: the three the server has are stored and read,
    // the others fail one by one without ending the run.
    QTRY_VERIFY_WITH_TIMEOUT(core.tipsLoaded(), 30000);
    QCOMPARE(QDir(dir.filePath("TIPS")).entryList(QDir::Files).size(), 3);
    QVERIFY(server.requestCount(QStringLiteral("/data/Q/")) > 100);
    QVERIFY(core.params()->molecule(1).isotopologues[0].tipsLoaded);
    QVERIFY(!core.params()->molecule(1).isotopologues[1].tipsLoaded);

    // A second start finds everything and asks for nothing but the missing tables.
    const int requestsBefore = server.requests().size();
    KolvexCore again(settings);
    QTRY_VERIFY_WITH_TIMEOUT(again.tipsLoaded(), 30000);
    QCOMPARE(server.requestCount(QStringLiteral("molparam")), 1);
    QCOMPARE(server.requestCount(QStringLiteral("globalid")), 1);
    QVERIFY(server.requests().size() > requestsBefore);
}

void TestKolvexCore::startWithoutNetworkFinishesAndRefusesToCalculate()
{
    QTemporaryDir dir;
    KolvexCore::Settings settings = offlineSettings(dir.path());
    settings.useBundledData = false;
    QElapsedTimer clock;
    clock.start();
    KolvexCore core(settings);
    QSignalSpy tipsRun(core.downloader(), &HitranOnlineDownloader::tipsDownloadComplete);
    QTRY_COMPARE_WITH_TIMEOUT(tipsRun.count(), 1, 10000);
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(!core.tipsLoaded());
    QVERIFY(!core.okDialogText().isEmpty());
    QCOMPARE(core.params()->moleculeCount(), 49);
    QCOMPARE(core.params()->molecule(1).isotopologues.size(), std::size_t(11));
    core.calculate();
    QVERIFY(!core.calculationIsRunning());
    QVERIFY(core.okDialogText().startsWith(QStringLiteral("TIPS files unavailable")));
}

void TestKolvexCore::startWithStalledServerEndsAtTheTimeLimit()
{
    QTemporaryDir dir;
    HitranStandInServer server;
    QVERIFY(server.start());
    server.setFailure(QStringLiteral("molparam"), HitranStandInServer::Failure::NeverAnswer);
    KolvexCore::Settings settings = offlineSettings(dir.path());
    settings.serviceBaseUrl = server.baseUrl();
    settings.startupNetworkTimeout = 300;
    QElapsedTimer clock;
    clock.start();
    KolvexCore core(settings);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!QFile::exists(dir.filePath("molparam.txt")));
    QVERIFY(core.note().contains(QStringLiteral("molparam.txt")));
    QTRY_VERIFY(core.tipsLoaded());
    QCOMPARE(core.params()->molecule(1).isotopologues.size(), std::size_t(11));
}

void TestKolvexCore::lineFileIsFirstParFileByName()
{
    QTemporaryDir dir;
    QCOMPARE(UserLineFile::chooseFileName(dir.path()), QStringLiteral("HITRAN2012.par"));
    for (const char *name : {"zz.par", "notes.txt", "HITRAN2020.par", "b.par"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir().mkpath(dir.filePath("a.par")));   // a folder, not a line file
    QCOMPARE(UserLineFile::chooseFileName(dir.path()), QStringLiteral("HITRAN2020.par"));

    // Without a regular one, what is there is taken, so that the user is told
    // why it cannot serve instead of nothing.
    QTemporaryDir others;
    QVERIFY(QDir().mkpath(others.filePath("b.par")));
    QCOMPARE(mkfifo(QFile::encodeName(others.filePath("a.par")).constData(), 0600), 0);
    QCOMPARE(UserLineFile::chooseFileName(others.path()), QStringLiteral("a.par"));
    QVERIFY(QFile::remove(others.filePath("a.par")));
    QCOMPARE(UserLineFile::chooseFileName(others.path()), QStringLiteral("b.par"));
}

void TestKolvexCore::calculateRunsOnceAndFinishesOnUnsuccessfulDownload()
{
    ScriptedLineSource source;
    m_core->setLineSource(&source);
    QSignalSpy spectra(m_core, &KolvexCore::updateSpectra);
    QSignalSpy banner(m_core, &KolvexCore::notify);

    QVERIFY(m_core->sensors()->isSampling());
    m_core->calculate();
    QVERIFY(m_core->calculationIsRunning());
    QVERIFY(m_core->lblRequested());
    // The path conditions hold still while a calculation runs.
    QVERIFY(!m_core->sensors()->isSampling());
    QCOMPARE(source.preparations, 1);
    QCOMPARE(source.request.start, 2000.0);
    QCOMPARE(source.request.end, 2300.0);
    // The lines just outside the range whose wings reach into it are asked for too.
    QVERIFY(source.request.lineStart < 2000.0);
    QVERIFY(source.request.lineEnd > 2300.0);
    QCOMPARE(source.request.molecules, &m_core->params()->molecules());

    m_core->calculate();   // ignored while running
    QCOMPARE(source.preparations, 1);

    emit source.failed(QStringLiteral("no lines"));
    QVERIFY(!m_core->calculationIsRunning());
    QVERIFY(!m_core->lblRequested());
    QVERIFY(m_core->sensors()->isSampling());
    QCOMPARE(source.feedsTaken, 0);
    QCOMPARE(spectra.count(), 1);
    QVERIFY(!banner.isEmpty());
    QCOMPARE(banner.last().at(2).toBool(), false);

    // A late second report of the same end changes nothing.
    emit source.failed(QStringLiteral("no lines"));
    QCOMPARE(spectra.count(), 1);
    m_core->setLineSource(nullptr);
}

void TestKolvexCore::calculateFinishesWhenLineDataRunsOut()
{
    ScriptedLineSource source;
    m_core->setLineSource(&source);
    QSignalSpy spectra(m_core, &KolvexCore::updateSpectra);
    m_core->calculate();
    emit source.ready();
    QCOMPARE(source.feedsTaken, 1);
    // The engine asks for lines on its own thread; the end comes by the event loop.
    QTRY_VERIFY(!m_core->calculationIsRunning());
    QVERIFY(!spectra.isEmpty());
    QCOMPARE(spectra.last().at(0).toBool(), true);
    QCOMPARE(spectra.last().at(1).toBool(), true);

    // The next calculation starts again.
    m_core->calculate();
    QCOMPARE(source.preparations, 2);
    emit source.failed(QString());
    QVERIFY(!m_core->calculationIsRunning());
    m_core->setLineSource(nullptr);
}

void TestKolvexCore::lineByLineWithoutRequestDoesNothing()
{
    ScriptedLineSource source;
    m_core->setLineSource(&source);
    emit source.ready();
    m_core->calculateLineByLine();
    QCOMPARE(source.feedsTaken, 0);
    QVERIFY(!m_core->calculationIsRunning());
    m_core->setLineSource(nullptr);
}

void TestKolvexCore::cancelReachesTheLineSource()
{
    ScriptedLineSource source;
    m_core->setLineSource(&source);
    m_core->calculate();
    m_core->cancelCalculation();
    QCOMPARE(source.cancels, 1);
    emit source.failed(QString());
    QVERIFY(!m_core->calculationIsRunning());
    QVERIFY(m_core->sensors()->isSampling());
    // A new calculation runs: the cancel was for the last one.
    m_core->calculate();
    QCOMPARE(source.preparations, 2);
    emit source.ready();
    QTRY_VERIFY(!m_core->calculationIsRunning());
    QVERIFY(!m_core->lbl()->cancelled());
    m_core->setLineSource(nullptr);
}

void TestKolvexCore::calculateRefusesWhatCannotBeCalculated_data()
{
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("minWavenumber");
    QTest::addColumn<double>("maxWavenumber");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("message");
    QTest::newRow("below the partition sums") << 50.0 << 2000.0 << 2300.0 << 100 << "70 K to 3000 K";
    QTest::newRow("above the partition sums") << 3500.0 << 2000.0 << 2300.0 << 100 << "70 K to 3000 K";
    QTest::newRow("no temperature") << 0.0 << 2000.0 << 2300.0 << 100 << "above 0 K";
    QTest::newRow("one grid point") << 296.0 << 2000.0 << 2300.0 << 1 << "number of points";
    QTest::newRow("too many points") << 296.0 << 2000.0 << 2300.0 << 50000000 << "number of points";
    QTest::newRow("empty range") << 296.0 << 2300.0 << 2300.0 << 100 << "above its start";
    QTest::newRow("beyond 50000 cm-1") << 296.0 << 2000.0 << 60000.0 << 100 << "0 to 50000";
}

void TestKolvexCore::calculateRefusesWhatCannotBeCalculated()
{
    QFETCH(double, temperature);
    QFETCH(double, minWavenumber);
    QFETCH(double, maxWavenumber);
    QFETCH(int, points);
    QFETCH(QString, message);

    ScriptedLineSource source;
    m_core->setLineSource(&source);
    PathConditions &path = m_core->params()->pathConditions();
    const PathConditions saved = path;
    const XAxis savedGrid = *m_core->xAxis();
    path.temperature = temperature;
    m_core->xAxis()->setMinWavenumber(minWavenumber);
    m_core->xAxis()->setMaxWavenumber(maxWavenumber);
    m_core->xAxis()->setNumPoints(points);

    m_core->calculate();
    QVERIFY(!m_core->calculationIsRunning());
    QVERIFY(m_core->sensors()->isSampling());
    QCOMPARE(source.preparations, 0);
    QVERIFY2(m_core->okDialogText().contains(message), qPrintable(m_core->okDialogText()));

    path = saved;
    *m_core->xAxis() = savedGrid;
    m_core->setOkDialogText(QString());
    m_core->setLineSource(nullptr);
}

QTEST_GUILESS_MAIN(TestKolvexCore)
#include "tst_kolvexcore.moc"
