#include "download/linefilestore.h"

#include "core/regularfile.h"
#include "download/normalizeddownloadregionsfinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr qint64 probeBlock = 512;
// Only the first columns of a line are parsed; a damaged line longer than this
// is read past without being kept.
constexpr int keptLineLength = 256;
constexpr qint64 maxReadBytes = qint64(256) << 20;
// No search for a line end goes further than this: a file of gigabytes without
// one would otherwise make every lookup read all of it.
constexpr qint64 maxLineScan = 64 * 1024;

// Offset of the start of the line that holds byte pos, not below floor (a line
// start); a line longer than maxLineScan is entered maxLineScan before pos.
qint64 lineStartAtOrBefore(QFile &file, qint64 pos, qint64 floor)
{
    char block[probeBlock];
    floor = std::max(floor, pos - maxLineScan);
    while (pos > floor) {
        const qint64 blockStart = std::max(floor, pos - probeBlock);
        if (!file.seek(blockStart))
            return floor;
        const qint64 got = file.read(block, pos - blockStart);
        if (got <= 0)
            return floor;
        for (qint64 i = got - 1; i >= 0; --i) {
            if (block[i] == '\n')
                return blockStart + i + 1;
        }
        pos = blockStart;
    }
    return floor;
}

// Reads the line starting at start into line (without its line end, at most
// keptLineLength characters); returns the offset of the next line, or of the
// byte maxLineScan on in a line longer than that.
qint64 readLineAt(QFile &file, qint64 start, char *line, int *lineLength)
{
    char block[probeBlock];
    *lineLength = 0;
    qint64 pos = start;
    if (!file.seek(pos))
        return file.size();
    while (pos - start < maxLineScan) {
        const qint64 got = file.read(block, probeBlock);
        if (got <= 0)
            return pos;
        const char *newline = static_cast<const char *>(std::memchr(block, '\n', size_t(got)));
        const qint64 used = newline ? newline - block : got;
        const int keep = int(std::min<qint64>(used, keptLineLength - *lineLength));
        std::memcpy(line + *lineLength, block, size_t(keep));
        *lineLength += keep;
        pos += used;
        if (newline)
            return pos + 1;
    }
    return pos;
}

void stripCarriageReturn(const char *line, int *length)
{
    if (*length > 0 && line[*length - 1] == '\r')
        --*length;
}

} // namespace

QString LineFileStore::lineFileProblem(const QString &path)
{
    QFile file;
    QString why;
    if (!RegularFile::open(file, path, &why))
        return QStringLiteral("it cannot be read (%1)").arg(why);
    const qint64 size = file.size();
    if (size == 0)
        return QStringLiteral("it is empty");
    const QByteArray head = file.read(std::min<qint64>(size, maxLineScan));
    if (head.contains('\0'))
        return QStringLiteral("it is not a text file");
    const int firstEnd = head.indexOf('\n');
    if (firstEnd < 0 && head.size() < size)
        return QStringLiteral("its first line is longer than %1 bytes, so it holds no HITRAN records").arg(maxLineScan);
    QByteArray first = head.left(firstEnd < 0 ? head.size() : firstEnd);
    if (first.endsWith('\r'))
        first.chop(1);
    LineRecord record;
    if (!parseRecord(first.constData(), first.size(), record))
        return QStringLiteral("its first line is not a HITRAN line record");
    // The lines are found by bisection, which needs them in wavenumber order:
    // records spread over the whole file are probed in order of their place.
    constexpr int probes = 256;
    char line[keptLineLength];
    double previous = record.wavenumber;
    qint64 lastStart = 0;
    for (int i = 1; i <= probes; ++i) {
        const qint64 at = size / probes * i - 1;
        int length = 0;
        qint64 start = readLineAt(file, std::max<qint64>(0, at), line, &length);
        if (start >= size || start <= lastStart)
            continue;
        const qint64 next = readLineAt(file, start, line, &length);
        stripCarriageReturn(line, &length);
        if (next <= start || !parseRecord(line, length, record))
            continue;
        lastStart = start;
        if (record.wavenumber < previous)
            return QStringLiteral("it is not sorted by wavenumber (a line at %1 cm-1 follows one at %2 cm-1)")
                .arg(record.wavenumber, 0, 'g', 10)
                .arg(previous, 0, 'g', 10);
        previous = record.wavenumber;
    }
    return QString();
}

bool LineFileStore::parseRecord(const QString &line, LineRecord &record)
{
    const QByteArray latin = line.toLatin1();
    return parseRecord(latin.constData(), latin.size(), record);
}

int LineFileStore::recordLengthOf(const QString &path)
{
    QFile file;
    if (!RegularFile::open(file, path))
        return 0;
    char line[keptLineLength];
    int length = 0;
    const qint64 next = readLineAt(file, 0, line, &length);
    char last = 0;
    if (next > 0 && file.seek(next - 1) && file.getChar(&last) && last == '\n')
        return int(std::min<qint64>(next, 1 << 20));
    return 161;
}

qint64 LineFileStore::recordOffsetAtOrAbove(const QString &path, double wavenumber)
{
    QFile file;
    if (!RegularFile::open(file, path))
        return -1;
    const qint64 size = file.size();
    char line[keptLineLength];
    LineRecord record;

    // Bisection over byte offsets, every probe aligned on the start of the line
    // that holds it: lines before lo are below wavenumber, the line at hi is not.
    qint64 lo = 0;
    qint64 hi = size;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        const qint64 start = lineStartAtOrBefore(file, mid, lo);
        qint64 lineStart = start;
        int length = 0;
        qint64 next = readLineAt(file, lineStart, line, &length);
        stripCarriageReturn(line, &length);
        bool valid = parseRecord(line, length, record);
        // A damaged line says nothing about the order: the first sound line after
        // it decides, and the search never ends on a damaged line before a record.
        while (!valid && next < hi) {
            lineStart = next;
            next = readLineAt(file, lineStart, line, &length);
            stripCarriageReturn(line, &length);
            valid = parseRecord(line, length, record);
        }
        if (valid && record.wavenumber < wavenumber)
            lo = next;
        else
            hi = valid ? lineStart : start;
    }
    // Damaged lines just before the record found are stepped over, so that the
    // offset is that of a record (or the end of the file).
    while (lo < size) {
        int length = 0;
        const qint64 next = readLineAt(file, lo, line, &length);
        stripCarriageReturn(line, &length);
        if (parseRecord(line, length, record) || next <= lo)
            break;
        lo = next;
    }
    return lo;
}

void LineFileStore::locateInFile(const QString &path, double start, double end, qint64 *startOffset,
                                 qint64 *endOffset)
{
    *startOffset = std::max<qint64>(0, recordOffsetAtOrAbove(path, start));
    *endOffset = std::max<qint64>(*startOffset, recordOffsetAtOrAbove(path, end));
}

bool LineFileStore::readRange(const QString &path, qint64 from, qint64 to, qint64 *nextOffset)
{
    m_batch.clear();
    if (nextOffset)
        *nextOffset = from;
    QFile file;
    if (!RegularFile::open(file, path))
        return true;
    const qint64 size = file.size();
    from = std::max<qint64>(0, from);
    if (from >= size || to <= from) {
        if (nextOffset)
            *nextOffset = std::max(from, std::min(to, size));
        return from >= size || to >= size;
    }
    // One read never exceeds maxReadBytes; the caller continues from nextOffset.
    const qint64 wanted = std::min(std::min(to, size) - from, maxReadBytes);
    // A file compiled into the program (the sample) is parsed where it lies:
    // it cannot change while it is read, and copying it first costs as long as
    // parsing it.
    if (path.startsWith(QLatin1Char(':'))) {
        const qint64 mapEnd = std::min(size, from + wanted + maxLineScan);
        if (const uchar *mapped = file.map(from, mapEnd - from)) {
            const char *data = reinterpret_cast<const char *>(mapped);
            qint64 got = wanted;
            if (from + got < size && data[got - 1] != '\n') {
                const void *newline = std::memchr(data + got, '\n', size_t(mapEnd - from - got));
                got = newline ? static_cast<const char *>(newline) - data + 1 : mapEnd - from;
            }
            parseBuffer(data, got);
            file.unmap(const_cast<uchar *>(mapped));
            if (nextOffset)
                *nextOffset = from + got;
            return from + got >= size;
        }
    }
    if (m_buffer.size() < wanted)
        m_buffer.resize(int(wanted));
    if (!file.seek(from))
        return true;
    qint64 got = file.read(m_buffer.data(), wanted);
    if (got < 0)
        got = 0;
    qint64 end = from + got;
    // A range that ends inside a line takes the rest of that line, so that the
    // next range starts on a line of its own.
    if (got > 0 && end < size && m_buffer.at(int(got - 1)) != '\n') {
        char extra[probeBlock];
        for (qint64 scanned = 0; scanned < maxLineScan; scanned += probeBlock) {
            const qint64 more = file.read(extra, probeBlock);
            if (more <= 0)
                break;
            const char *newline = static_cast<const char *>(std::memchr(extra, '\n', size_t(more)));
            const qint64 used = newline ? newline - extra + 1 : more;
            if (m_buffer.size() < got + used)
                m_buffer.resize(int(got + used));
            std::memcpy(m_buffer.data() + got, extra, size_t(used));
            got += used;
            end += used;
            if (newline)
                break;
        }
    }
    parseBuffer(m_buffer.constData(), got);
    if (nextOffset)
        *nextOffset = end;
    return end >= size;
}

void LineFileStore::parseBuffer(const char *data, qint64 size)
{
    // Room for the largest count the text can hold: no allocation per record,
    // none at all once the batch has grown. Every field of a record is parsed,
    // so none is written before.
    m_batch.clear();
    m_batch.reserve(size_t(size / 161 + 1));
    const char *p = data;
    const char *end = data + size;
    while (p < end) {
        const char *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = newline ? newline : end;
        int length = int(std::min<qint64>(lineEnd - p, keptLineLength));
        stripCarriageReturn(p, &length);
        LineRecord record;
        // Lines that are no records (damaged, blank, a stray text) are skipped.
        if (length > 0 && parseRecord(p, length, record))
            m_batch.push_back(record);
        p = lineEnd + 1;
    }
}

void LineFileStore::takeDownloaded(const QByteArray &data)
{
    parseBuffer(data.constData(), data.size());
}

void LineFileStore::listRegionFiles()
{
    m_regionFiles.clear();
    const QVector<int> present = NormalizedDownloadRegionsFinder::presentRegions(m_folder);
    for (int index : present) {
        RegionFile file;
        file.index = index;
        file.path = m_folder + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(index);
        m_regionFiles.append(file);
    }
}

QString LineFileStore::regionFilePath(int listPosition) const
{
    if (listPosition < 0 || listPosition >= m_regionFiles.size())
        return QString();
    return m_regionFiles.at(listPosition).path;
}

bool LineFileStore::regionFilesOverlap(double start, double end)
{
    int firstFile = 0;
    int lastFile = -1;
    findOverlappingRegionFiles(start, end, &firstFile, &lastFile);
    return lastFile >= 0;
}

void LineFileStore::findOverlappingRegionFiles(double start, double end, int *firstFile, int *lastFile)
{
    listRegionFiles();
    *firstFile = 0;
    *lastFile = -1;
    // A region counts when it overlaps the range with more than a point, so that a
    // range starting on a shared boundary begins in the upper region.
    for (int i = 0; i < m_regionFiles.size(); ++i) {
        const int index = m_regionFiles.at(i).index;
        const double lower = NormalizedDownloadRegionsFinder::boundary(index);
        const double upper = NormalizedDownloadRegionsFinder::boundary(index + 1);
        if (lower < end && upper > start) {
            if (*lastFile < 0)
                *firstFile = i;
            *lastFile = i;
        }
    }
}

bool LineFileStore::locateInRegionFiles(double start, double end, int *firstFile, int *lastFile,
                                        qint64 *startOffset, qint64 *endOffset)
{
    findOverlappingRegionFiles(start, end, firstFile, lastFile);
    *startOffset = 0;
    *endOffset = 0;
    if (*lastFile < 0)
        return false;
    *startOffset = std::max<qint64>(0, recordOffsetAtOrAbove(m_regionFiles.at(*firstFile).path, start));
    *endOffset = std::max<qint64>(0, recordOffsetAtOrAbove(m_regionFiles.at(*lastFile).path, end));
    if (*firstFile == *lastFile)
        *endOffset = std::max(*endOffset, *startOffset);
    return true;
}

void LineFileStore::readNextRegionChunk(qint64 *position, int *currentFile, int recordCount,
                                        int lastFile, qint64 endOffset)
{
    const QString path = regionFilePath(*currentFile);
    if (path.isEmpty()) {
        m_batch.clear();
        ++*currentFile;
        *position = 0;
        return;
    }
    const int recordLength = std::max(161, recordLengthOf(path));
    qint64 to = *position + qint64(std::max(1, recordCount)) * recordLength;
    if (*currentFile == lastFile)
        to = std::min(to, endOffset);
    qint64 next = *position;
    const bool ended = readRange(path, *position, to, &next);
    if (ended || (*currentFile == lastFile && next >= endOffset)) {
        ++*currentFile;
        *position = 0;
    } else {
        *position = next;
    }
}

qint64 LineFileStore::countRecordsInRegionFiles(int firstFile, int lastFile, qint64 startOffset,
                                                qint64 endOffset) const
{
    qint64 count = 0;
    for (int i = std::max(0, firstFile); i <= lastFile && i < m_regionFiles.size(); ++i) {
        const QString &path = m_regionFiles.at(i).path;
        const qint64 size = QFileInfo(path).size();
        const qint64 from = i == firstFile ? std::min(startOffset, size) : 0;
        const qint64 to = i == lastFile ? std::min(endOffset, size) : size;
        const int recordLength = std::max(161, recordLengthOf(path));
        if (to > from)
            count += (to - from + recordLength - 1) / recordLength;
    }
    return count;
}
