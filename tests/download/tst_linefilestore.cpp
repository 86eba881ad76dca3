#include "download/linefilestore.h"
#include "download/normalizeddownloadregionsfinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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
    void handBuiltRecordsFieldByField_data();
    void handBuiltRecordsFieldByField();
    void parseRealLineFiles();
    void bisection_data();
    void bisection();
    void duplicatesGiveTheFirst();
    void damagedLinesDoNotShiftRecords_data();
    void damagedLinesDoNotShiftRecords();
    void readRangeAtFileEnd();
    void programFileReadsAsItsCopyOnDisk();
    void numbersAsTheFullConversionReadsThem();
    void chunkedRegionReading_data();
    void chunkedRegionReading();
    void receivedText();
};

namespace {

// The first field in which a record differs from the expected one, named with
// both values; empty when every field agrees.
QString recordDifference(const LineRecord &r, const LineRecord &e)
{
    const struct
    {
        const char *name;
        double got;
        double expected;
    } fields[] = {{"molecule", double(r.molecule), double(e.molecule)},
                  {"isotopologue", double(r.isotopologue), double(e.isotopologue)},
                  {"wavenumber", r.wavenumber, e.wavenumber},
                  {"intensity", r.intensity, e.intensity},
                  {"intensityCopy", r.intensityCopy, e.intensityCopy},
                  {"einsteinA", r.einsteinA, e.einsteinA},
                  {"gammaAir", r.gammaAir, e.gammaAir},
                  {"gammaSelf", r.gammaSelf, e.gammaSelf},
                  {"lowerStateEnergy", r.lowerStateEnergy, e.lowerStateEnergy},
                  {"nAir", r.nAir, e.nAir},
                  {"deltaAir", r.deltaAir, e.deltaAir}};
    for (const auto &field : fields) {
        if (field.got != field.expected)
            return QStringLiteral("%1: %2 instead of %3")
                .arg(QLatin1String(field.name))
                .arg(field.got, 0, 'g', 17)
                .arg(field.expected, 0, 'g', 17);
    }
    return QString();
}

// The records of handbuilt-fields-*.par as written there by hand, in file order.
const LineRecord handBuilt[] = {
    {47, 11, 0.000123, 4.567e-30, 4.567e-30, 8.912e-05, 0.0345, 0.678, -1.0, 0.86, -0.000789},
    {12, 3, 1234.567891, 2.345e-21, 2.345e-21, 6.789e+01, 0.0123, 0.456, 789.0123, 0.64, -0.004567},
    {2, 10, 2345.678912, 3.456e-25, 3.456e-25, 7.891e-02, 0.0234, 0.567, 8901.2345, 0.75, 0.001234},
    {6, 12, 45678.901234, 5.678e-101, 5.678e-101, 9.123e+03, 0.0456, 0.789, 12345.6789, 1.00, -0.012345},
};

} // namespace

void TestLineFileStore::handBuiltRecordsFieldByField_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("recordLength");
    QTest::newRow("LF") << QStringLiteral("handbuilt-fields-lf.par") << 161;
    QTest::newRow("CRLF") << QStringLiteral("handbuilt-fields-crlf.par") << 162;
}

// Every parsed column of records whose fields all differ: a column read from
// the wrong place, with the wrong width, or swapped with its neighbour shows.
// The same records come from a file, from received text and line by line.
void TestLineFileStore::handBuiltRecordsFieldByField()
{
    QFETCH(QString, file);
    QFETCH(int, recordLength);
    const QString path = dataFile(file);
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray text = in.readAll();
    QCOMPARE(text.size(), 4 * recordLength);
    QCOMPARE(LineFileStore::recordLengthOf(path), recordLength);

    LineFileStore fromFile;
    QVERIFY(fromFile.readRange(path, 0, text.size()));
    LineFileStore received;
    received.takeDownloaded(text);
    const QList<QByteArray> lines = text.split('\n');
    for (const LineFileStore *store : {&fromFile, &received}) {
        QCOMPARE(store->batch().size(), std::size_t(4));
        for (std::size_t i = 0; i < 4; ++i) {
            LineRecord single;
            QVERIFY(LineFileStore::parseRecord(QString::fromLatin1(lines.at(int(i))), single));
            for (const LineRecord &r : {store->batch()[i], single}) {
                const QString difference = recordDifference(r, handBuilt[i]);
                QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("record %1, %2").arg(i).arg(difference)));
            }
        }
    }
    // Record 2 (2345.678912) is the first at or above 2000 cm-1.
    QCOMPARE(fromFile.recordOffsetAtOrAbove(path, 2000.0), qint64(2 * recordLength));
}

// Every record of the real line-file fixtures parses, in wavenumber order, with
// sound values.
void TestLineFileStore::parseRealLineFiles()
{
    const QDir fixtures(QStringLiteral(KOLVEX_TEST_DATA "/lines"));
    const QStringList files = fixtures.entryList({QStringLiteral("*.par")}, QDir::Files, QDir::Name);
    QVERIFY(files.contains(QStringLiteral("first-and-last-record-of-each-source.par")));
    LineFileStore store;
    for (const QString &name : files) {
        const QString path = fixtures.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const int lineCount = file.readAll().count('\n');
        QVERIFY(store.readRange(path, 0, file.size()));
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

    // A short line gives 0 for the missing fields; junk in a field gives 0 for it.
    LineRecord record;
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
    qint64 startOffset = -1;
    qint64 endOffset = -1;
    store.locateInFile(path, 1500.0, target, &startOffset, &endOffset);
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

// The sample compiled into the program is parsed in place, a file on disk is
// read into a buffer: the same bytes in the same chunks (ending inside lines)
// give the same records and continue at the same offsets.
void TestLineFileStore::programFileReadsAsItsCopyOnDisk()
{
    const QString program = QStringLiteral(":/sample/kolvex-sample.par");
    const QString disk = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par");
    const qint64 size = QFileInfo(disk).size();
    QVERIFY(size > 100 * 161);
    QCOMPARE(QFileInfo(program).size(), size);

    LineFileStore fromProgram;
    LineFileStore fromDisk;
    // Chunks from the start, then from the 40th record before the end up to
    // the end of the file (records of 161 bytes).
    QCOMPARE(size % 161, qint64(0));
    const qint64 chunk = 7 * 161 + 50;
    for (qint64 start : {qint64(0), size - 40 * 161}) {
        qint64 position = start;
        for (int k = 0; k < 6; ++k) {
            qint64 nextProgram = -1;
            qint64 nextDisk = -1;
            const bool endProgram = fromProgram.readRange(program, position, position + chunk, &nextProgram);
            const bool endDisk = fromDisk.readRange(disk, position, position + chunk, &nextDisk);
            QCOMPARE(endProgram, endDisk);
            QCOMPARE(nextProgram, nextDisk);
            QCOMPARE(fromProgram.batch().size(), fromDisk.batch().size());
            QVERIFY(!fromDisk.batch().empty() || endDisk);
            for (std::size_t i = 0; i < fromDisk.batch().size(); ++i) {
                const QString difference = recordDifference(fromProgram.batch()[i], fromDisk.batch()[i]);
                QVERIFY2(difference.isEmpty(), qPrintable(difference));
            }
            if (endDisk)
                break;
            position = nextDisk;
        }
    }
}

// Short decimals are converted without the library's full conversion; every
// field must still give the double std::from_chars gives for the same text, to
// the last bit, and the same refusals.
void TestLineFileStore::numbersAsTheFullConversionReadsThem()
{
    auto check = [](const QByteArray &text) {
        double fast = 1.0;
        const bool fastOk = LineRecordFields::parseDouble(text.constData(), text.size(), 0, text.size(), &fast);
        QByteArray trimmed = text.trimmed();
        if (trimmed.startsWith('+'))
            trimmed.remove(0, 1);
        double full = 0.0;
        const auto result = std::from_chars(trimmed.constData(), trimmed.constData() + trimmed.size(), full);
        const bool fullOk = !trimmed.isEmpty() && result.ec == std::errc()
            && result.ptr == trimmed.constData() + trimmed.size();
        if (fastOk != fullOk)
            return QStringLiteral("\"%1\": accepted %2, expected %3").arg(QString::fromLatin1(text)).arg(fastOk).arg(fullOk);
        if (fullOk && std::memcmp(&fast, &full, sizeof fast) != 0)
            return QStringLiteral("\"%1\": %2 instead of %3")
                .arg(QString::fromLatin1(text), QString::number(fast, 'g', 17), QString::number(full, 'g', 17));
        if (!fullOk && fast != 0.0)
            return QStringLiteral("\"%1\" refused but not 0").arg(QString::fromLatin1(text));
        return QString();
    };

    // Hand-picked: halfway cases, the largest exact powers, signs, blanks and
    // the forms that must fall to the full conversion or be refused.
    const char *const picked[] = {"2000.123456", "   0.0000001", "0.1", "0.3", "-0.0", "-.5", "5.", "+1.25",
                                  "9007199254740993", "123456789012345", "1234567890123456", "1.234E-20",
                                  "9.999E+22", "1E22", "1E23", "1E-22", "4.41E-23", " 7.0E-05 ", "1e5",
                                  "1E", "E5", ".", "-", "1.2.3", "1,5", "0x10", "inf", "nan", "1E+005",
                                  "1.5D-03", "12 34", ""};
    for (const char *text : picked) {
        const QString problem = check(QByteArray(text));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Every field of every record of the shipped sample.
    QFile sample(QStringLiteral(":/sample/kolvex-sample.par"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = sample.readAll().split('\n');
    QVERIFY(lines.size() > 90000);
    const int fields[][2] = {{3, 12}, {15, 10}, {25, 10}, {35, 5}, {40, 5}, {45, 10}, {55, 4}, {59, 8}};
    int checked = 0;
    for (const QByteArray &line : lines) {
        for (const auto &field : fields) {
            if (line.size() < field[0] + field[1])
                continue;
            const QString problem = check(line.mid(field[0], field[1]));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            ++checked;
        }
    }
    QVERIFY(checked > 700000);

    // Random decimals of every length, point position and exponent.
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int k = 0; k < 200000; ++k) {
        QByteArray text;
        if (next() % 4 == 0)
            text += '-';
        const int digits = 1 + int(next() % 17);
        const int point = int(next() % (digits + 2)) - 1;
        for (int d = 0; d < digits; ++d) {
            if (d == point)
                text += '.';
            text += char('0' + next() % 10);
        }
        if (next() % 2 == 0)
            text += "E" + QByteArray(next() % 2 ? "-" : "+") + QByteArray::number(int(next() % 40));
        const QString problem = check(text);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
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
