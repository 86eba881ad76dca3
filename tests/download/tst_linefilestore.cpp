#include "download/linefilestore.h"
#include "download/normalizeddownloadregionsfinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// A 160-character record of CO (molecule 5) at the given position.
static QByteArray recordAt(double wavenumber, char isotopologue = '1')
{
    QByteArray line = QByteArray(" 5") + isotopologue
        + QByteArray::number(wavenumber, 'f', 6).rightJustified(12, ' ')
        + " 1.000E-20 1.000E+00.05000.0600  100.00000.75-.001000";
    return line.leftJustified(160, ' ');
}

static void writeLines(const QString &path, const QList<QByteArray> &lines, const QByteArray &lineEnd,
                       bool lastLineEnd = true)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < lines.size(); ++i) {
        file.write(lines.at(i));
        if (i + 1 < lines.size() || lastLineEnd)
            file.write(lineEnd);
    }
}

static QString dataFile(const QString &name)
{
    return QStringLiteral(KOLVEX_TEST_DATA "/lines/") + name;
}

class TestLineFileStore : public QObject
{
    Q_OBJECT

private slots:
    void parseFields_data();
    void parseFields();
    void parseSharedLineFiles();
    void bisection_data();
    void bisection();
    void duplicatesGiveTheFirst();
    void damagedLinesDoNotShiftRecords_data();
    void damagedLinesDoNotShiftRecords();
    void readRangeAtFileEnd();
    void chunkedRegionReading_data();
    void chunkedRegionReading();
    void receivedText();
};

void TestLineFileStore::parseFields_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("molecule");
    QTest::addColumn<int>("isotopologue");
    QTest::addColumn<double>("wavenumber");
    QTest::addColumn<double>("intensity");
    QTest::addColumn<double>("lowerStateEnergy");

    const QString iso = QStringLiteral("CO2_12iso_codes_187-576_sasktran2.par");
    QTest::newRow("isotopologue 0 is 10") << iso << 9 << 2 << 10 << 0.0 << 0.0 << 0.0;
    QTest::newRow("isotopologue A is 11") << iso << 10 << 2 << 11 << 0.0 << 0.0 << 0.0;
    QTest::newRow("isotopologue B is 12") << iso << 11 << 2 << 12 << 0.0 << 0.0 << 0.0;
    QTest::newRow("three-digit exponent") << QStringLiteral("H2_three-digit-exponents_extract.par") << 0 << 45 << 2
                                          << 3.226800 << 1.474e-111 << 36402.1404;
    QTest::newRow("unknown lower-state energy") << QStringLiteral("PH3_unknown-lower-energy_extract.par") << 0 << 28
                                                << 1 << 2724.476506 << 3.925e-25 << -1.0;
}

void TestLineFileStore::parseFields()
{
    QFETCH(QString, file);
    QFETCH(int, row);
    QFETCH(int, molecule);
    QFETCH(int, isotopologue);
    QFETCH(double, wavenumber);
    QFETCH(double, intensity);
    QFETCH(double, lowerStateEnergy);

    QFile in(dataFile(file));
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    QVERIFY(row < lines.size());
    LineRecord record;
    QVERIFY(LineFileStore::parseRecord(QString::fromLatin1(lines.at(row)), record));
    QCOMPARE(record.molecule, molecule);
    QCOMPARE(record.isotopologue, isotopologue);
    if (wavenumber != 0.0) {
        QCOMPARE(record.wavenumber, wavenumber);
        QCOMPARE(record.intensity, intensity);
        QCOMPARE(record.intensityCopy, intensity);
        QCOMPARE(record.lowerStateEnergy, lowerStateEnergy);
    }
}

// Every record of the real line files parses, in wavenumber order, with sound values;
// lower-case exponents included.
void TestLineFileStore::parseSharedLineFiles()
{
    QDir shared(QStringLiteral(KOLVEX_SOURCE_DIR "/../shared/data/hitran/lines"));
    QStringList files = shared.entryList({QStringLiteral("*.par")}, QDir::Files, QDir::Name);
    QStringList paths;
    for (const QString &name : files)
        paths << shared.filePath(name);
    const QStringList fixtures = QDir(QStringLiteral(KOLVEX_TEST_DATA "/lines")).entryList({QStringLiteral("*.par")});
    for (const QString &name : fixtures)
        paths << dataFile(name);

    LineFileStore store;
    for (const QString &path : qAsConst(paths)) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const int lineCount = file.readAll().count('\n');
        const bool ended = store.readRange(path, 0, file.size());
        QVERIFY(ended);
        QVERIFY2(int(store.batch().size()) == lineCount, qPrintable(path));
        double previous = -1.0;
        for (const LineRecord &r : store.batch()) {
            QVERIFY2(r.molecule >= 1 && r.molecule <= 55, qPrintable(path));
            QVERIFY2(r.isotopologue >= 1 && r.isotopologue <= 12, qPrintable(path));
            QVERIFY2(r.wavenumber >= previous, qPrintable(path));
            QVERIFY2(r.intensity > 0.0 && std::isfinite(r.intensity), qPrintable(path));
            QVERIFY2(r.gammaAir >= 0.0 && r.gammaAir < 1.0, qPrintable(path));
            QVERIFY2(r.lowerStateEnergy >= -1.0, qPrintable(path));
            previous = r.wavenumber;
        }
    }
    if (files.isEmpty())
        qWarning("The shared line files are not beside the sources; only the fixtures were parsed.");

    LineRecord record;
    const QByteArray lowerCase = QByteArray(" 23") + QByteArray("3000.000000").rightJustified(12, ' ') + " 3.618e-05"
        + " 1.000e+00" + ".0500" + "0.060" + "  100.0000" + "0.75" + "-.001000";
    QVERIFY(LineFileStore::parseRecord(lowerCase.constData(), lowerCase.size(), record));
    QCOMPARE(record.isotopologue, 3);
    QCOMPARE(record.wavenumber, 3000.0);
    QCOMPARE(record.intensity, 3.618e-05);
    QCOMPARE(record.nAir, 0.75);
    QCOMPARE(record.deltaAir, -0.001);

    // A short line gives 0 for the missing fields; junk in a field gives 0 for it.
    const QByteArray shortLine = QByteArray(" 51") + QByteArray("2000.123456").rightJustified(12, ' ') + " 1.0E-20";
    QVERIFY(LineFileStore::parseRecord(shortLine.constData(), shortLine.size(), record));
    QCOMPARE(record.wavenumber, 2000.123456);
    QCOMPARE(record.intensity, 0.0);
    QCOMPARE(record.deltaAir, 0.0);
    const QByteArray junk = QByteArray(" 51") + QByteArray("2000.123456").rightJustified(12, ' ') + " 1.0X-20  ";
    QVERIFY(LineFileStore::parseRecord(junk.constData(), junk.size(), record));
    QCOMPARE(record.intensity, 0.0);
    QVERIFY(!LineFileStore::parseRecord(QStringLiteral("<html>error</html>"), record));
}

void TestLineFileStore::bisection_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("record");

    for (const QByteArray &end : {QByteArray("\n"), QByteArray("\r\n")}) {
        const QByteArray tag = end.size() == 1 ? "LF " : "CRLF ";
        QTest::newRow(tag + "on a record") << end << 1500.0 << 500;
        QTest::newRow(tag + "between records") << end << 1500.5 << 501;
        QTest::newRow(tag + "below all") << end << 999.0 << 0;
        QTest::newRow(tag + "first") << end << 1000.0 << 0;
        QTest::newRow(tag + "last") << end << 1999.0 << 999;
        QTest::newRow(tag + "above all") << end << 3000.0 << 1000;
    }
}

void TestLineFileStore::bisection()
{
    QFETCH(QByteArray, lineEnd);
    QFETCH(double, target);
    QFETCH(int, record);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lines.par"));
    QList<QByteArray> lines;
    for (int k = 0; k < 1000; ++k)
        lines << recordAt(1000.0 + k);
    writeLines(path, lines, lineEnd);

    const int recordLength = 160 + lineEnd.size();
    QCOMPARE(LineFileStore::recordLengthOf(path), recordLength);
    LineFileStore store;
    QCOMPARE(store.recordOffsetAtOrAbove(path, target), qint64(record) * recordLength);
    store.setCumulativeFilePath(path);
    qint64 startOffset = -1;
    qint64 endOffset = -1;
    store.locateInCumulative(1500.0, target, &startOffset, &endOffset);
    QCOMPARE(startOffset, 500 * recordLength);
    QCOMPARE(endOffset, qMax(startOffset, qint64(record) * recordLength));
    QCOMPARE(store.recordOffsetAtOrAbove(dir.filePath(QStringLiteral("none.par")), target), qint64(-1));
}

void TestLineFileStore::duplicatesGiveTheFirst()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dup.par"));
    QList<QByteArray> lines;
    for (int k = 0; k < 100; ++k)
        lines << recordAt(k < 40 ? 2000.0 : k < 90 ? 2001.0 : 2002.0);
    writeLines(path, lines, "\n");
    LineFileStore store;
    QCOMPARE(store.recordOffsetAtOrAbove(path, 2001.0), qint64(40 * 161));
    QCOMPARE(store.recordOffsetAtOrAbove(path, 2000.5), qint64(40 * 161));
    QCOMPARE(store.recordOffsetAtOrAbove(path, 2002.0), qint64(90 * 161));
}

void TestLineFileStore::damagedLinesDoNotShiftRecords_data()
{
    QTest::addColumn<int>("damagedAt");
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<bool>("lastLineEnd");
    QTest::newRow("no line end at the end") << -1 << QByteArray() << false;
    QTest::newRow("short line") << 37 << QByteArray(" 5 garbage") << true;
    QTest::newRow("long line") << 61 << QByteArray(400, 'x') << true;
    QTest::newRow("blank line and no final end") << 12 << QByteArray() << false;
}

// A file with one damaged line (or a last line without line end): every sound
// record is still found exactly, and reading in chunks returns each one once.
void TestLineFileStore::damagedLinesDoNotShiftRecords()
{
    QFETCH(int, damagedAt);
    QFETCH(QByteArray, damage);
    QFETCH(bool, lastLineEnd);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.par"));
    QList<QByteArray> lines;
    QVector<double> positions;
    for (int k = 0; k < 100; ++k) {
        if (k == damagedAt)
            lines << damage;
        lines << recordAt(2000.0 + k);
        positions << 2000.0 + k;
    }
    writeLines(path, lines, "\r\n", lastLineEnd);

    LineFileStore store;
    for (int k = 0; k < positions.size(); ++k) {
        const qint64 offset = store.recordOffsetAtOrAbove(path, positions.at(k));
        store.readRange(path, offset, offset + 162);
        QVERIFY2(!store.batch().empty(), qPrintable(QString::number(k) + QLatin1Char(' ') + QString::number(offset)));
        QCOMPARE(store.batch().front().wavenumber, positions.at(k));
    }

    // Chunks of 7 records' worth of bytes, each read continuing where the last ended.
    QVector<double> read;
    qint64 position = 0;
    bool ended = false;
    int guard = 0;
    while (!ended && ++guard < 1000) {
        qint64 next = 0;
        ended = store.readRange(path, position, position + 7 * 162, &next);
        for (const LineRecord &r : store.batch())
            read << r.wavenumber;
        position = next;
    }
    QCOMPARE(read, positions);
}

void TestLineFileStore::readRangeAtFileEnd()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.par"));
    QList<QByteArray> lines;
    for (int k = 0; k < 1000; ++k)
        lines << recordAt(1000.0 + k);
    writeLines(path, lines, "\n");
    LineFileStore store;
    // 20000 records asked for where only 300 remain.
    const qint64 from = 700 * 161;
    QVERIFY(store.readRange(path, from, from + 20000 * 161));
    QCOMPARE(int(store.batch().size()), 300);
    QCOMPARE(store.batch().front().wavenumber, 1700.0);
    QCOMPARE(store.batch().back().wavenumber, 1999.0);
    QVERIFY(!store.readRange(path, 0, 10 * 161));
    QCOMPARE(int(store.batch().size()), 10);
    QVERIFY(store.readRange(dir.filePath(QStringLiteral("absent.par")), 0, 161));
    QVERIFY(store.batch().empty());
}

void TestLineFileStore::chunkedRegionReading_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("chunk");
    QTest::newRow("LF across regions") << QByteArray("\n") << 1925.0 << 2300.0 << 97;
    QTest::newRow("CRLF across regions") << QByteArray("\r\n") << 1925.0 << 2300.0 << 97;
    QTest::newRow("start on a boundary") << QByteArray("\n") << 2050.0 << 2310.0 << 1000;
    QTest::newRow("one region, one record a chunk") << QByteArray("\n") << 2060.0 << 2070.0 << 1;
    QTest::newRow("beyond the stored regions") << QByteArray("\n") << 1000.0 << 4000.0 << 500;
}

// The fixture split into region files as the downloader stores them; reading a
// range chunk by chunk across the files gives exactly the records of the range.
void TestLineFileStore::chunkedRegionReading()
{
    QFETCH(QByteArray, lineEnd);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(int, chunk);

    QFile source(dataFile(QStringLiteral("standin-lines.par")));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QList<QByteArray> all = source.readAll().split('\n');
    all.removeAll(QByteArray());
    QTemporaryDir dir;
    QHash<int, QList<QByteArray>> byRegion;
    QVector<double> expected;
    LineRecord record;
    for (const QByteArray &line : qAsConst(all)) {
        QVERIFY(LineFileStore::parseRecord(line.constData(), line.size(), record));
        int k = 0;
        while (NormalizedDownloadRegionsFinder::boundary(k + 1) <= record.wavenumber)
            ++k;
        byRegion[k] << line;
        if (record.wavenumber >= start && record.wavenumber < end)
            expected << record.wavenumber;
    }
    for (auto it = byRegion.cbegin(); it != byRegion.cend(); ++it)
        writeLines(dir.filePath(NormalizedDownloadRegionsFinder::fileNameOfRegion(it.key())), it.value(), lineEnd);
    QVERIFY(byRegion.size() >= 3);

    LineFileStore store;
    store.setFolder(dir.path());
    int firstFile = 0;
    int lastFile = 0;
    qint64 startOffset = 0;
    qint64 endOffset = 0;
    QVERIFY(store.locateInRegionFiles(start, end, &firstFile, &lastFile, &startOffset, &endOffset));
    const qint64 counted = store.countRecordsInRegionFiles(firstFile, lastFile, startOffset, endOffset);
    QCOMPARE(counted, qint64(expected.size()));

    QVector<double> read;
    qint64 position = startOffset;
    int current = firstFile;
    int guard = 0;
    while (current <= lastFile && (position < endOffset || current != lastFile) && ++guard < 100000) {
        store.readNextRegionChunk(&position, &current, chunk, lastFile, endOffset);
        QVERIFY(int(store.batch().size()) <= chunk);
        for (const LineRecord &r : store.batch())
            read << r.wavenumber;
    }
    QCOMPARE(read.size(), expected.size());
    QCOMPARE(read, expected);
}

void TestLineFileStore::receivedText()
{
    LineFileStore store;
    const QByteArray text = recordAt(2000.5) + "\n" + recordAt(2001.5, 'A') + "\r\n" + recordAt(2002.5) + "\n\n";
    store.takeDownloaded(text);
    QCOMPARE(int(store.batch().size()), 3);
    QCOMPARE(store.batch()[1].isotopologue, 11);
    QCOMPARE(store.batch()[2].wavenumber, 2002.5);
    store.takeDownloaded(QByteArray());
    QVERIFY(store.batch().empty());
}

QTEST_GUILESS_MAIN(TestLineFileStore)
#include "tst_linefilestore.moc"
