#include "core/params.h"
#include "data/parameterfiles.h"
#include "testfile.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {

const QString hitranData = QStringLiteral(KOLVEX_TEST_DATA "/hitran");
const QString shippedTips = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS");
const QString shippedGlobalIds = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/globalid.txt");

int isotopologueCount(const Params &params)
{
    int count = 0;
    for (const Molecule &molecule : params.molecules())
        count += int(molecule.isotopologues.size());
    return count;
}

} // namespace

// The parameter store's table and its readers of the downloaded parameter
// files (molparam.txt, the global numbers); the partition-sum tables are
// tested in tst_partitionsumfiles.
class TestParams : public QObject
{
    Q_OBJECT

private slots:
    void builtinTableMatchesReferenceTable();
    void builtinTableFacts();

    void molparamReplacesTableByMoleculeNumber_data();
    void molparamReplacesTableByMoleculeNumber();
    void molparamThatYieldsNothingKeepsBuiltinTable_data();
    void molparamThatYieldsNothingKeepsBuiltinTable();
    void molparamSkipsDamagedLinesAndUnknownMolecules();
    void molparamShortLineRule();

    void globalIdsApplyAndSkipUnknownPositions();
    void globalIdsOfMissingFile();
    void globalIdsThatNameOneTableTwiceAreRefused_data();
    void globalIdsThatNameOneTableTwiceAreRefused();
};

void TestParams::builtinTableMatchesReferenceTable()
{
    Params params;
    QFile reference(hitranData + QStringLiteral("/isotopologues-builtin.tsv"));
    QVERIFY(reference.open(QIODevice::ReadOnly));
    reference.readLine();
    int rows = 0;
    while (!reference.atEnd()) {
        const QStringList f = QString::fromUtf8(reference.readLine()).trimmed().split(QLatin1Char('\t'));
        QCOMPARE(f.size(), 10);
        const int m = f[0].toInt() - 1;
        const int i = f[3].toInt() - 1;
        QVERIFY2(params.isValidIsotopologue(m, i), qPrintable(f.join(QLatin1Char(' '))));
        const Molecule &molecule = params.molecule(m);
        const Isotopologue &iso = molecule.isotopologues[std::size_t(i)];
        QCOMPARE(molecule.name, f[1]);
        QCOMPARE(molecule.color, f[2]);
        QCOMPARE(iso.afglCode, f[4].toInt());
        QCOMPARE(iso.naturalAbundance, f[5].toDouble());
        QCOMPARE(iso.abundance, iso.naturalAbundance);
        QCOMPARE(iso.q296, f[6].toDouble());
        QCOMPARE(iso.gj, f[7].toDouble());
        QCOMPARE(iso.molarMass, f[8].toDouble());
        QCOMPARE(iso.globalId, f[9].toInt());
        QVERIFY(!iso.tipsLoaded);
        ++rows;
    }
    QCOMPARE(rows, 125);
    QCOMPARE(isotopologueCount(params), 125);
}

void TestParams::builtinTableFacts()
{
    Params params;
    QCOMPARE(params.moleculeCount(), 49);
    for (const Molecule &molecule : params.molecules())
        QVERIFY(molecule.selected);
    QCOMPARE(int(params.pathConditions().concentrations.size()), 49);
    QCOMPARE(params.replySeparator(), QStringLiteral(";"));
    QCOMPARE(params.lineWingHalfwidths(), 50);
    QCOMPARE(params.intensityThreshold(), 1e-25);
}

void TestParams::molparamReplacesTableByMoleculeNumber_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("lineFeedsOnly");
    QTest::newRow("HITRAN2020, CRLF, 55 molecules") << "molparam-hitran2020.txt" << false;
    QTest::newRow("HITRAN2020, LF") << "molparam-hitran2020.txt" << true;
    QTest::newRow("HITRAN2024, CRLF, 61 molecules") << "molparam-hitran2024.txt" << false;
}

void TestParams::molparamReplacesTableByMoleculeNumber()
{
    QFETCH(QString, file);
    QFETCH(bool, lineFeedsOnly);
    QTemporaryDir dir;
    QByteArray text = TestFile::read(hitranData + QLatin1Char('/') + file);
    QVERIFY(text.contains("\r\n"));
    if (lineFeedsOnly)
        text.replace("\r\n", "\n");
    const QString path = dir.filePath(QStringLiteral("molparam.txt"));
    TestFile::write(path, text);

    Params params;
    ParameterFiles files(&params);
    params.molecule(4).isotopologues.clear();   // must come back from the file
    QSignalSpy complete(&files, &ParameterFiles::readingMolParamsComplete);
    QVERIFY(files.readMolParams(path));
    QCOMPARE(complete.count(), 1);

    // Molecules beyond the 49 the program knows are left out.
    QCOMPARE(params.moleculeCount(), 49);
    QCOMPARE(params.molecule(0).name, QStringLiteral("H2O"));
    QCOMPARE(params.molecule(35).name, QStringLiteral("NO+"));
    QCOMPARE(params.molecule(48).name, QStringLiteral("COCl2"));
    // CO2 lists a twelfth isotopologue the built-in table does not know; it gets
    // no global number until the global-number file names it.
    const Molecule &co2 = params.molecule(1);
    QCOMPARE(int(co2.isotopologues.size()), 12);
    QCOMPARE(co2.isotopologues[0].afglCode, 626);
    QCOMPARE(co2.isotopologues[0].q296, 286.09);
    QCOMPARE(co2.isotopologues[10].globalId, 120);
    QCOMPARE(co2.isotopologues[11].globalId, -1);
    QCOMPARE(co2.color, QStringLiteral("#33cc33"));
    QCOMPARE(params.molecule(4).isotopologues.size(), std::size_t(6));
    QCOMPARE(params.molecule(29).isotopologues[0].globalId, -1);
    for (const Molecule &molecule : params.molecules()) {
        QVERIFY(!molecule.color.isEmpty());
        QVERIFY(!molecule.isotopologues.empty());
        for (const Isotopologue &iso : molecule.isotopologues) {
            QCOMPARE(iso.abundance, iso.naturalAbundance);
            QVERIFY(iso.q296 > 0.0);
        }
    }
}

void TestParams::molparamThatYieldsNothingKeepsBuiltinTable_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("missing") << "does-not-exist.txt";
    QTest::newRow("empty") << "damaged/empty.txt";
    QTest::newRow("garbage") << "damaged/molparam-garbage.txt";
}

void TestParams::molparamThatYieldsNothingKeepsBuiltinTable()
{
    QFETCH(QString, file);
    Params params;
    ParameterFiles files(&params);
    QSignalSpy complete(&files, &ParameterFiles::readingMolParamsComplete);
    QVERIFY(!files.readMolParams(hitranData + QLatin1Char('/') + file));
    QCOMPARE(complete.count(), 0);
    QCOMPARE(params.moleculeCount(), 49);
    QCOMPARE(isotopologueCount(params), 125);
}

void TestParams::molparamSkipsDamagedLinesAndUnknownMolecules()
{
    Params params;
    QVERIFY(ParameterFiles(&params).readMolParams(hitranData + QStringLiteral("/damaged/molparam-damaged-values.txt")));
    QCOMPARE(params.moleculeCount(), 49);
    // CO2: the garbage line and the line with Q(296 K) = 0 are left out.
    QCOMPARE(params.molecule(1).isotopologues.size(), std::size_t(1));
    QCOMPARE(params.molecule(1).isotopologues[0].afglCode, 626);
    QCOMPARE(params.molecule(3).isotopologues.size(), std::size_t(1));
    // Molecules the file does not name keep their built-in entries.
    QCOMPARE(params.molecule(0).isotopologues.size(), std::size_t(7));
    QCOMPARE(params.molecule(0).isotopologues[6].globalId, 129);

    Params truncated;
    QVERIFY(ParameterFiles(&truncated).readMolParams(hitranData + QStringLiteral("/damaged/molparam-truncated.txt")));
    // The last line is cut inside its numbers: it is left out, the line before stays.
    QCOMPARE(truncated.molecule(0).isotopologues.size(), std::size_t(1));
    QCOMPARE(truncated.molecule(0).isotopologues[0].afglCode, 161);
    QCOMPARE(truncated.molecule(1).isotopologues.size(), std::size_t(11));
}

void TestParams::molparamShortLineRule()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("molparam.txt"));
    // A molecule line of 10 characters is read; one of 9 is dropped, so the
    // isotopologue under it still belongs to the molecule before.
    TestFile::write(path,
              "header line\r\n"
              "   H2O (1)\r\n"
              "         161  9.97317E-01    1.7458E+02    1     18.010565 \r\n"
              "  CO2 (2)\r\n"
              "         181  1.99983E-03    1.7605E+02    1     20.014811 \r\n"
              "   CO2 (2)\r\n"
              "         626  9.84204E-01    2.8609E+02    1     43.989830 \r\n");
    Params params;
    QVERIFY(ParameterFiles(&params).readMolParams(path));
    QCOMPARE(params.molecule(0).isotopologues.size(), std::size_t(2));
    QCOMPARE(params.molecule(1).isotopologues.size(), std::size_t(1));
    QCOMPARE(params.molecule(1).isotopologues[0].afglCode, 626);
}

void TestParams::globalIdsApplyAndSkipUnknownPositions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("globalid.txt"));
    TestFile::write(path,
              "global_id\tmolecule\tisotopologue\tpartition_sums_available\n"
              "129\t1\t7\tyes\n"
              "300\t-\t1\tyes\n"
              "301\t\t1\tyes\n"
              "302\t99\t1\tyes\n"
              "303\t1\t99\tyes\n"
              "304\t0\t1\tyes\n"
              "garbage line\n"
              "x\t1\t1\tyes\n"
              "7\t2\t1\tno\n"
              "\n");
    Params params;
    params.molecule(0).isotopologues[6].globalId = -1;
    QCOMPARE(ParameterFiles(&params).readGlobalIds(path), 9);
    QCOMPARE(params.molecule(0).isotopologues[6].globalId, 129);
    QVERIFY(params.molecule(0).isotopologues[6].listedInGlobalIds);
    QCOMPARE(params.molecule(0).isotopologues[0].globalId, 1);
    QVERIFY(!params.molecule(0).isotopologues[0].listedInGlobalIds);
    QCOMPARE(params.molecule(1).isotopologues[0].globalId, 7);
    QVERIFY(!params.molecule(1).isotopologues[0].listedInGlobalIds);

    Params shipped;
    QCOMPARE(ParameterFiles(&shipped).readGlobalIds(shippedGlobalIds), 156);
    for (const Molecule &molecule : shipped.molecules()) {
        for (const Isotopologue &iso : molecule.isotopologues) {
            const bool shipped = QFile::exists(shippedTips + QStringLiteral("/q%1.txt").arg(iso.globalId));
            QCOMPARE(iso.listedInGlobalIds, shipped);
        }
    }
}

void TestParams::globalIdsOfMissingFile()
{
    Params params;
    QCOMPARE(ParameterFiles(&params).readGlobalIds(QStringLiteral("/nonexistent/globalid.txt")), 0);
    QCOMPARE(ParameterFiles(&params).readGlobalIds(hitranData + QStringLiteral("/damaged/empty.txt")), 0);
    QCOMPARE(params.molecule(1).isotopologues[0].globalId, 7);
}

void TestParams::globalIdsThatNameOneTableTwiceAreRefused_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("problem");
    QTest::newRow("one number, two isotopologues")
        << QByteArray("1\t1\t1\tyes\n7\t2\t1\tyes\n8\t2\t2\tyes\n7\t2\t3\tyes\n")
        << "it gives the global number 7 to both isotopologue 1 of CO2 and isotopologue 3 of CO2";
    QTest::newRow("one isotopologue, two numbers")
        << QByteArray("7\t2\t1\tyes\n8\t2\t2\tyes\n250\t2\t1\tyes\n")
        << "it gives isotopologue 1 of CO2 both the global numbers 7 and 250";
}

// Two isotopologues with one global number would be calculated with one
// table: the file is refused whole, nothing of it is applied, and the reason
// names the number and both isotopologues. A line repeated word for word is
// no contradiction.
void TestParams::globalIdsThatNameOneTableTwiceAreRefused()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("globalid.txt"));
    TestFile::write(path, "global_id\tmolecule\tisotopologue\tpartition_sums_available\n" + lines);
    Params params;
    const std::vector<Molecule> before = params.molecules();
    ParameterFiles files(&params);
    files.readGlobalIds(path);
    QCOMPARE(files.globalIdsApplied(), 0);
    QCOMPARE(files.globalIdsProblem(), problem);
    for (int m = 0; m < params.moleculeCount(); ++m) {
        for (std::size_t i = 0; i < before[std::size_t(m)].isotopologues.size(); ++i) {
            QCOMPARE(params.molecule(m).isotopologues[i].globalId, before[std::size_t(m)].isotopologues[i].globalId);
            QCOMPARE(params.molecule(m).isotopologues[i].listedInGlobalIds,
                     before[std::size_t(m)].isotopologues[i].listedInGlobalIds);
        }
    }

    TestFile::write(path, "header\n7\t2\t1\tyes\n7\t2\t1\tyes\n");
    files.readGlobalIds(path);
    QCOMPARE(files.globalIdsApplied(), 2);
    QVERIFY(files.globalIdsProblem().isEmpty());
    QVERIFY(params.molecule(1).isotopologues[0].listedInGlobalIds);
}

QTEST_GUILESS_MAIN(TestParams)
#include "tst_params.moc"
