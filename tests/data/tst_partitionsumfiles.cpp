#include "core/params.h"
#include "core/settingrules.h"
#include "core/savefilewriter.h"
#include "data/compactpartitionsums.h"
#include "data/parameterfiles.h"
#include "testfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString hitranData = QStringLiteral(KOLVEX_TEST_DATA "/hitran");
const QString shippedTips = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS");

// A copy of the shipped partition-sum tables: reading them writes the compact
// copy beside them, which must not land in the repository.
bool copyShippedTips(const QTemporaryDir &folder)
{
    const QStringList names = QDir(shippedTips).entryList({QStringLiteral("q*.txt")}, QDir::Files);
    for (const QString &name : names) {
        if (!QFile::copy(shippedTips + QLatin1Char('/') + name, folder.filePath(name)))
            return false;
    }
    return names.size() >= 124;
}

// Sets the modification time of a file back to what it was, as cp -p and
// rsync -t do.
bool setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

// Replaces `from` by `to` (of the same length) in the file at path, keeping
// its size and modification time.
bool replaceKeepingTime(const QString &path, const QByteArray &from, const QByteArray &to)
{
    const QDateTime modified = QFileInfo(path).lastModified();
    QByteArray content = TestFile::read(path);
    const int at = content.indexOf(from);
    if (at < 0 || from.size() != to.size())
        return false;
    content.replace(at, to.size(), to);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(content) != content.size())
        return false;
    file.close();
    return setModified(path, modified) && QFileInfo(path).lastModified() == modified;
}

QByteArray bytesOf(double value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
}

// Loads the tables of a folder the way a start does; the number of progress
// reports tells how many texts were parsed (one each, and one for the grid).
int loadTables(const QString &folder, Params *params)
{
    ParameterFiles files(params);
    files.setTipsFolder(folder);
    QSignalSpy progress(&files, &ParameterFiles::notify);
    files.loadAllTipsFiles();
    return progress.count();
}

} // namespace

// The partition-sum tables: their reading from the TIPS text files, the
// compact copy that serves them again, and the lookup by temperature.
class TestPartitionSumFiles : public QObject
{
    Q_OBJECT

private slots:
    void tipsTablesKeepTheirOwnFirstTemperature();
    void missingTipsFilesGiveConstantTables();
    void damagedTipsFilesArePutBackOrRefused();
    void readingTipsTwiceDoesNotDoubleTheGrid();
    void compactCopyServesUnchangedTables();
    void compactCopyIsNeverServedStaleOrDamaged();
    void compactCopyWithImpossibleNumbersIsRefused_data();
    void compactCopyWithImpossibleNumbersIsRefused();
    void compactCopyThatIsNoFileIsLeftAlone_data();
    void compactCopyThatIsNoFileIsLeftAlone();
    void chainedTipsReadingReadsEveryTable();
    void temperatureProblemNamesTheServedRange();
};

void TestPartitionSumFiles::tipsTablesKeepTheirOwnFirstTemperature()
{
    QTemporaryDir tips;
    QVERIFY(copyShippedTips(tips));
    Params params;
    QVERIFY(loadTables(tips.path(), &params) >= 124);

    const Isotopologue &h2o = params.molecule(0).isotopologues[0];
    QVERIFY(h2o.tipsLoaded);
    QCOMPARE(h2o.partitionSumsFirstTemperature, 1.0);
    QCOMPARE(h2o.partitionSum(296.0), 174.5813);
    // CF4's table (global number 96) starts at 70 K: 296 K is its 227th line.
    const Isotopologue &cf4 = params.molecule(41).isotopologues[0];
    QCOMPARE(cf4.globalId, 96);
    QVERIFY(cf4.tipsLoaded);
    QCOMPARE(cf4.partitionSumsFirstTemperature, 70.0);
    QCOMPARE(cf4.partitionSum(296.0), 121272.7072);
    QCOMPARE(cf4.partitionSum(70.0), 9606.983906);
    QVERIFY(!cf4.partitionSumCovers(69.0));
    QVERIFY(cf4.partitionSumCovers(3000.0));
    QVERIFY(!cf4.partitionSumCovers(3001.0));

    QCOMPARE(int(params.tipsTemperatures().size()), 5000);
    QCOMPARE(params.tipsTemperature(0), 1.0);
    QCOMPARE(params.tipsTemperature(-1), 0.0);
    QCOMPARE(params.tipsTemperature(5000), 0.0);
    // SF6 has no partition-sum file: constant Q(296 K).
    const Isotopologue &sf6 = params.molecule(29).isotopologues[0];
    QVERIFY(!sf6.tipsLoaded);
    QCOMPARE(sf6.partitionSum(1000.0), sf6.q296);
}

void TestPartitionSumFiles::missingTipsFilesGiveConstantTables()
{
    QTemporaryDir dir;
    Params params;
    loadTables(dir.path(), &params);
    for (const Molecule &molecule : params.molecules()) {
        for (const Isotopologue &iso : molecule.isotopologues) {
            QVERIFY(!iso.tipsLoaded);
            QCOMPARE(int(iso.partitionSums.size()), 2931);
            QCOMPARE(iso.partitionSums.front(), iso.q296);
            QCOMPARE(iso.partitionSums.back(), iso.q296);
        }
    }
    QVERIFY(params.tipsTemperatures().empty());
    QVERIFY(SettingRules::temperatureProblem(5000.0, params).isEmpty());
}

// A table that cannot be read whole (one damaged line in the middle, a last
// line cut short, text that is no table, empty, a FIFO) is put back from the
// shipped copy, never cut at the damage; where none ships, its isotopologue
// keeps Q(296 K), which serves 296 K only, and the user learns which table it
// was and what is wrong with it.
void TestPartitionSumFiles::damagedTipsFilesArePutBackOrRefused()
{
    QTemporaryDir dir;
    // Good tables first, so that the compact copy holds them: it must not
    // serve them once their files are damaged.
    for (const char *name : {"q7.txt", "q8.txt", "q9.txt", "q10.txt", "q11.txt"})
        QVERIFY(QFile::copy(shippedTips + QLatin1Char('/') + QLatin1String(name), dir.filePath(name)));
    Params earlier;
    loadTables(dir.path(), &earlier);
    QVERIFY(earlier.molecule(1).isotopologues[3].tipsLoaded);
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral(".partition-sums.bin"))));
    // q7.txt: line 301 reads "301   garbage", and the table ends at 400 K.
    QVERIFY(QFile::remove(dir.filePath("q7.txt")));
    QVERIFY(QFile::copy(hitranData + QStringLiteral("/damaged/q7-damaged.txt"), dir.filePath("q7.txt")));
    TestFile::write(dir.filePath("q8.txt"), "not a table\n");
    TestFile::write(dir.filePath("q9.txt"), QByteArray());
    QVERIFY(QFile::remove(dir.filePath("q10.txt")));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("q10.txt")).constData(), 0600), 0);
    // q11.txt ends "3500          932888.76400\n"; cut after "93288", as a write that ran out of space.
    QByteArray cut = TestFile::read(shippedTips + QStringLiteral("/q11.txt"));
    cut.chop(8);
    TestFile::write(dir.filePath("q11.txt"), cut);
    TestFile::write(dir.filePath("q999.txt"), QByteArray(300, '\0'));
    Params params;
    Isotopologue &unshipped = params.molecule(1).isotopologues[5];
    unshipped.globalId = 999;
    ParameterFiles files(&params);
    files.setTipsFolder(dir.path());
    files.loadAllTipsFiles();

    // Every shipped table is whole again: CO2 626 runs to 5000 K with its own
    // Q(301 K) (292.28561 in the shipped q7.txt), not cut at 300 K.
    const Molecule &co2 = params.molecule(1);
    for (int i : {0, 1, 2, 3, 4}) {
        const QString name = QStringLiteral("q%1.txt").arg(7 + i);
        QVERIFY(co2.isotopologues[std::size_t(i)].tipsLoaded);
        QVERIFY(!co2.isotopologues[std::size_t(i)].partitionSumsMissing);
        QCOMPARE(TestFile::read(dir.filePath(name)), TestFile::read(shippedTips + QLatin1Char('/') + name));
    }
    QCOMPARE(int(co2.isotopologues[0].partitionSums.size()), 5000);
    QCOMPARE(co2.isotopologues[0].partitionSum(301.0), 292.28561);
    QCOMPARE(co2.isotopologues[4].partitionSumsLastTemperature(), 3500.0);
    QVERIFY(!unshipped.tipsLoaded);
    QVERIFY(unshipped.partitionSumsMissing);

    const QStringList problems = files.tipsProblems();
    QCOMPARE(problems.size(), 6);
    QVERIFY2(problems.at(0).startsWith(QStringLiteral("q7.txt (CO2): line 301 is damaged (\"301   garbage\"); "
                                                      "the shipped copy was put back")),
             qPrintable(problems.at(0)));
    QVERIFY(problems.at(1).startsWith(QStringLiteral("q8.txt (CO2): it holds no partition sums; the shipped copy")));
    QVERIFY(problems.at(2).startsWith(QStringLiteral("q9.txt (CO2): the file is empty; the shipped copy")));
    QVERIFY(problems.at(3).startsWith(QStringLiteral("q10.txt (CO2): it is not a regular file; the shipped copy")));
    QVERIFY2(problems.at(4).startsWith(QStringLiteral("q11.txt (CO2): its last line is cut short (\"3500          93288\"); "
                                                      "the shipped copy was put back")),
             qPrintable(problems.at(4)));
    QVERIFY(problems.at(5).startsWith(QStringLiteral("q999.txt (CO2): it holds no partition sums;")));
    QVERIFY(problems.at(5).endsWith(QStringLiteral("CO2 can be calculated at 296 K only")));
    // CO2 at 1000 K is refused rather than calculated with Q(296 K).
    QVERIFY(SettingRules::temperatureProblem(1000.0, params).startsWith(
        QStringLiteral("The partition sums of CO2 could not be read")));
    QVERIFY(SettingRules::temperatureProblem(296.0, params).isEmpty());

    // Where no copy ships, a damaged line leaves nothing of the table either.
    TestFile::write(dir.filePath("q999.txt"), "1 1.5\n2 2.5\n3 -1\n4 4.5\n");
    Params again;
    again.molecule(1).isotopologues[5].globalId = 999;
    ParameterFiles againFiles(&again);
    againFiles.setTipsFolder(dir.path());
    againFiles.loadAllTipsFiles();
    QVERIFY(again.molecule(1).isotopologues[5].partitionSumsMissing);
    QCOMPARE(againFiles.tipsProblems().size(), 1);
    QVERIFY2(againFiles.tipsProblems().first().startsWith(QStringLiteral("q999.txt (CO2): line 3 is damaged (\"3 -1\")")),
             qPrintable(againFiles.tipsProblems().first()));
}

void TestPartitionSumFiles::readingTipsTwiceDoesNotDoubleTheGrid()
{
    QTemporaryDir tips;
    QVERIFY(copyShippedTips(tips));
    Params params;
    ParameterFiles files(&params);
    files.setTipsFolder(tips.path());
    files.loadAllTipsFiles();
    files.loadAllTipsFiles();
    QCOMPARE(int(params.tipsTemperatures().size()), 5000);
    QCOMPARE(int(params.molecule(0).isotopologues[0].partitionSums.size()), 5000);
}

// The second reading takes the tables from the compact copy without reading a
// text, with the very same numbers; a text file that changed is read again and
// the copy follows it; a damaged copy is not used.
void TestPartitionSumFiles::compactCopyServesUnchangedTables()
{
    QTemporaryDir tips;
    QVERIFY(copyShippedTips(tips));
    Params text;
    loadTables(tips.path(), &text);
    const QString compactPath = tips.filePath(QStringLiteral(".partition-sums.bin"));
    QVERIFY(QFile::exists(compactPath));

    const auto sameTables = [](const Params &a, const Params &b) {
        for (int m = 0; m < a.moleculeCount(); ++m) {
            for (std::size_t i = 0; i < a.molecule(m).isotopologues.size(); ++i) {
                const Isotopologue &x = a.molecule(m).isotopologues[i];
                const Isotopologue &y = b.molecule(m).isotopologues[i];
                if (x.tipsLoaded != y.tipsLoaded || x.partitionSumsFirstTemperature != y.partitionSumsFirstTemperature
                    || !std::equal(x.partitionSums.begin(), x.partitionSums.end(), y.partitionSums.begin(),
                                   y.partitionSums.end()))
                    return false;
            }
        }
        return a.tipsTemperatures() == b.tipsTemperatures();
    };
    Params compact;
    QCOMPARE(loadTables(tips.path(), &compact), 1);   // the temperature grid only: no text was read
    QVERIFY(sameTables(text, compact));

    // CO2 626 (q7.txt) replaced by a table of three kelvins from 200 K.
    TestFile::write(tips.filePath(QStringLiteral("q7.txt")), "200 1.5\n201 2.5\n202 3.5\n");
    Params changed;
    loadTables(tips.path(), &changed);
    const Isotopologue &co2 = changed.molecule(1).isotopologues[0];
    QCOMPARE(co2.partitionSumsFirstTemperature, 200.0);
    QCOMPARE(co2.partitionSum(201.0), 2.5);
    QCOMPARE(int(co2.partitionSums.size()), 3);
    Params again;
    QCOMPARE(loadTables(tips.path(), &again), 1);
    QVERIFY(sameTables(changed, again));

    // A cut copy is passed over; the texts serve.
    QFile copy(compactPath);
    QVERIFY(copy.open(QIODevice::ReadWrite) && copy.resize(1000));
    copy.close();
    Params fromText;
    QVERIFY(loadTables(tips.path(), &fromText) >= 124);
    QVERIFY(sameTables(changed, fromText));
}

// A start must never calculate with numbers that are not those of the texts.
// A text replaced by another of the same size and modification time (cp -p,
// rsync -t) is read again; a compact copy with a changed number, of the same
// size and time, is not used and is written anew from the texts.
void TestPartitionSumFiles::compactCopyIsNeverServedStaleOrDamaged()
{
    QTemporaryDir tips;
    QVERIFY(copyShippedTips(tips));
    Params first;
    QVERIFY(loadTables(tips.path(), &first) >= 124);
    const QString compactPath = tips.filePath(QStringLiteral(".partition-sums.bin"));
    QVERIFY(QFileInfo::exists(compactPath));

    // CO2 626 at 296 K doubled in the text: 2 x 286.09382 = 572.18764, a
    // number of the same width.
    const QString q7 = tips.filePath(QStringLiteral("q7.txt"));
    QVERIFY(replaceKeepingTime(q7, " 296             286.09382\n", " 296             572.18764\n"));
    Params stale;
    QCOMPARE(loadTables(tips.path(), &stale), 2);   // q7.txt and the grid
    QCOMPARE(stale.molecule(1).isotopologues[0].partitionSum(296.0), 572.18764);
    QCOMPARE(stale.molecule(1).isotopologues[0].partitionSum(297.0), 287.32541);
    QCOMPARE(stale.molecule(1).isotopologues[1].partitionSum(296.0), first.molecule(1).isotopologues[1].partitionSum(296.0));
    // The copy now follows the changed text.
    Params followed;
    QCOMPARE(loadTables(tips.path(), &followed), 1);
    QCOMPARE(followed.molecule(1).isotopologues[0].partitionSum(296.0), 572.18764);

    // One number of the copy changed in place (Q(296 K) of CO2 626 doubled
    // again), size and time kept: the copy is not used, the texts serve.
    QVERIFY(replaceKeepingTime(compactPath, bytesOf(572.18764), bytesOf(1144.37528)));
    Params damaged;
    QVERIFY(loadTables(tips.path(), &damaged) >= 124);
    QCOMPARE(damaged.molecule(1).isotopologues[0].partitionSum(296.0), 572.18764);
    // ... and was written anew.
    QVERIFY(!TestFile::read(compactPath).contains(bytesOf(1144.37528)));
    Params rebuilt;
    QCOMPARE(loadTables(tips.path(), &rebuilt), 1);
    QCOMPARE(rebuilt.molecule(1).isotopologues[0].partitionSum(296.0), 572.18764);
}

void TestPartitionSumFiles::compactCopyWithImpossibleNumbersIsRefused_data()
{
    QTest::addColumn<double>("number");
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -5.0;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
}

// Numbers that no partition-sum text can hold are refused when the copy is
// read, whatever its checksum says: they would take a molecule out of the
// spectrum without a word.
void TestPartitionSumFiles::compactCopyWithImpossibleNumbersIsRefused()
{
    QFETCH(double, number);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral(".partition-sums.bin"));
    SaveFileWriter writer;
    const std::vector<CompactPartitionSums::Table> good{{7, 30, 0x1234, 1.0, PartitionSumTable{1.5, 2.5, 3.5}}};
    QVERIFY(CompactPartitionSums::write(path, good, writer));
    CompactPartitionSums::Table found;
    QVERIFY(CompactPartitionSums(path).find(7, 30, 0x1234, &found));
    QCOMPARE(found.values[2], 3.5);
    QVERIFY(!CompactPartitionSums(path).find(7, 30, 0x1235, &found));

    const std::vector<CompactPartitionSums::Table> bad{{7, 30, 0x1234, 1.0, PartitionSumTable{1.5, number, 3.5}}};
    QVERIFY(CompactPartitionSums::write(path, bad, writer));
    const CompactPartitionSums copy(path);
    QVERIFY(!copy.find(7, 30, 0x1234, &found));
    QVERIFY2(copy.problem().contains(QLatin1String("not a positive number")), qPrintable(copy.problem()));
}

void TestPartitionSumFiles::compactCopyThatIsNoFileIsLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "link to fifo";
    QTest::newRow("link to a device node") << "link to device";
    QTest::newRow("folder") << "folder";
}

// The compact copy's place taken by what is no file: reading neither blocks
// (a FIFO without a writer) nor reads a device, the tables come from the
// texts, and writing the copy afterwards replaces nothing: the node and the
// link stay as they were, and a warning names the file.
void TestPartitionSumFiles::compactCopyThatIsNoFileIsLeftAlone()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("link to device") && ::geteuid() != 0)
        QSKIP("Making a device node (mknod) needs root; the FIFO rows cover the rule.");
    QTemporaryDir tips;
    QTemporaryDir elsewhere;
    QVERIFY(copyShippedTips(tips));
    const QString compactPath = tips.filePath(QStringLiteral(".partition-sums.bin"));
    QString node = compactPath;
    if (kind.startsWith(QLatin1String("link"))) {
        node = elsewhere.filePath(QStringLiteral("node"));
        QVERIFY(QFile::link(node, compactPath));
    }
    const QByteArray name = QFile::encodeName(node);
    mode_t type = S_IFIFO;
    if (kind == QLatin1String("link to device")) {
        type = S_IFCHR;
        QCOMPARE(::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)), 0);
    } else if (kind == QLatin1String("folder")) {
        type = S_IFDIR;
        QVERIFY(QDir().mkdir(node));
    } else {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    }
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^Cannot write %1: .*not a regular file.*")
                                                .arg(QRegularExpression::escape(compactPath))));
    Params params;
    QVERIFY(loadTables(tips.path(), &params) >= 124);
    QCOMPARE(params.molecule(1).isotopologues[0].partitionSum(296.0), 286.09382);
    struct stat entry;
    QCOMPARE(::lstat(name.constData(), &entry), 0);
    QCOMPARE(entry.st_mode & S_IFMT, type);
    if (node != compactPath) {
        QCOMPARE(::lstat(QFile::encodeName(compactPath).constData(), &entry), 0);
        QCOMPARE(entry.st_mode & S_IFMT, mode_t(S_IFLNK));
    }
}

void TestPartitionSumFiles::chainedTipsReadingReadsEveryTable()
{
    Params params;
    ParameterFiles files(&params);
    files.setTipsFolder(shippedTips);
    QSignalSpy complete(&files, &ParameterFiles::readingTipsFilesComplete);
    files.readOneTipsFile(0, 0);
    QCOMPARE(complete.count(), 1);
    int loaded = 0;
    for (const Molecule &molecule : params.molecules()) {
        for (const Isotopologue &iso : molecule.isotopologues)
            loaded += iso.tipsLoaded ? 1 : 0;
    }
    QCOMPARE(loaded, 123);   // O and SF6 have no table
    QCOMPARE(int(params.tipsTemperatures().size()), 5000);
    files.readOneTipsFile(99, 0);   // a position outside the table is ignored
    QCOMPARE(complete.count(), 1);
}

void TestPartitionSumFiles::temperatureProblemNamesTheServedRange()
{
    QTemporaryDir tips;
    QVERIFY(copyShippedTips(tips));
    Params params;
    loadTables(tips.path(), &params);
    QVERIFY(SettingRules::temperatureProblem(296.0, params).isEmpty());
    QVERIFY(SettingRules::temperatureProblem(70.0, params).isEmpty());
    const QString cold = SettingRules::temperatureProblem(50.0, params);
    QVERIFY(cold.contains(QStringLiteral("70 K to 3000 K")));
    QVERIFY(!SettingRules::temperatureProblem(3001.0, params).isEmpty());
    QVERIFY(!SettingRules::temperatureProblem(0.0, params).isEmpty());
    QVERIFY(!SettingRules::temperatureProblem(std::nan(""), params).isEmpty());
    // Without CF4 in the calculation, 50 K is served by every other table.
    params.setCalcNotSelected(false);
    params.molecule(41).selected = false;
    QVERIFY(SettingRules::temperatureProblem(50.0, params).isEmpty());
}

QTEST_GUILESS_MAIN(TestPartitionSumFiles)
#include "tst_partitionsumfiles.moc"
