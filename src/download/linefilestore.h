#pragma once

#include "core/exactdecimal.h"
#include "core/linerecord.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

class QFile;

// Reads HITRAN line records from local files: parses the 160-character records,
// finds a wavenumber inside a sorted line file by bisection on byte offsets,
// reads the records of a byte range, walks the stored region files one after
// another and parses text received from the line-data service.
//
// The record length is taken from each file (161 bytes with LF line ends, 162
// with CRLF), and every read is aligned on line ends, so a damaged line or a last
// line without a line end never shifts the records that follow.
class LineFileStore
{
public:
    // Fixed columns of a record: position and width of each parsed field.
    static constexpr int parsedColumns = 67;

    // Fills the parsed fields of record from one line (every field is written; a
    // field that is missing or does not parse gives 0). Returns false for a line
    // that is no line record: no molecule or isotopologue number, or no position.
    static inline bool parseRecord(const char *line, int length, LineRecord &record);
    static bool parseRecord(const QString &line, LineRecord &record);

    // Why a line file of the user's cannot serve (not a regular file, empty,
    // binary, no records, not sorted by wavenumber), in words for the user;
    // empty when it can. The order is probed at records spread over the file.
    static QString lineFileProblem(const QString &path);

    // Bytes per record of a file: the first line with its line end (161 for LF,
    // 162 for CRLF); 161 when the file holds no line end. 0 when it cannot be read.
    static int recordLengthOf(const QString &path);

    // Byte offset of the first record whose wavenumber is not below wavenumber
    // (0 when the first record qualifies, the file size when none does, -1 when
    // the file cannot be opened).
    qint64 recordOffsetAtOrAbove(const QString &path, double wavenumber);

    // The byte offsets of the records from `start` up to (not including) `end`
    // in a line file sorted by wavenumber.
    void locateInFile(const QString &path, double start, double end, qint64 *startOffset, qint64 *endOffset);

    // Replaces the batch by the records between the two offsets of a file. A range
    // whose end falls inside a line is extended to that line's end. nextOffset
    // receives the offset where reading stopped. Returns true when the file holds
    // nothing beyond the range (or cannot be opened: the batch is then empty).
    bool readRange(const QString &path, qint64 from, qint64 to, qint64 *nextOffset = nullptr);

    // Lists the region files of the folder (sorted by region index) and finds those
    // that overlap [start, end]: firstFile and lastFile are positions in that list,
    // startOffset the offset of start in the first, endOffset the offset of end in
    // the last. Returns false when no stored region overlaps the range.
    bool locateInRegionFiles(double start, double end, int *firstFile, int *lastFile,
                             qint64 *startOffset, qint64 *endOffset);
    // Whether a stored region overlaps [start, end], from the names of the
    // region files alone.
    bool regionFilesOverlap(double start, double end);
    // Reads up to recordCount records onward from (currentFile, position), never
    // past endOffset in lastFile; moves to the next file when a file ends.
    void readNextRegionChunk(qint64 *position, int *currentFile, int recordCount, int lastFile,
                             qint64 endOffset);
    // Number of records of the located range in the region files (for progress).
    qint64 countRecordsInRegionFiles(int firstFile, int lastFile, qint64 startOffset,
                                     qint64 endOffset) const;
    int regionFileCount() const { return m_regionFiles.size(); }
    QString regionFilePath(int listPosition) const;

    // Replaces the batch by the records of a text received from the service.
    void takeDownloaded(const QByteArray &data);

    LineBatch &batch() { return m_batch; }
    const LineBatch &batch() const { return m_batch; }
    void clearBatch() { m_batch.clear(); }

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder) { m_folder = folder; }

private:
    struct RegionFile
    {
        int index = 0;
        QString path;
    };

    void parseBuffer(const char *data, qint64 size);
    void listRegionFiles();
    void findOverlappingRegionFiles(double start, double end, int *firstFile, int *lastFile);

    LineBatch m_batch;
    QString m_folder;
    QVector<RegionFile> m_regionFiles;
    QByteArray m_buffer;   // reused for every read, so reading allocates only when it grows
};

namespace LineRecordFields {

// A fixed-width number: blanks around it allowed, anything else makes it 0.
inline bool parseDouble(const char *line, int length, int position, int width, double *value)
{
    *value = 0.0;
    if (length < position + width)
        return false;
    const char *begin = line + position;
    const char *end = begin + width;
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    if (begin < end && *begin == '+')
        ++begin;
    if (begin == end)
        return false;
    if (ExactDecimal::parse(begin, end, value))
        return true;
    double parsed = 0.0;
    const auto result = std::from_chars(begin, end, parsed);
    if (result.ec != std::errc() || result.ptr != end)
        return false;
    *value = parsed;
    return true;
}

inline int parseInt(const char *line, int length, int position, int width)
{
    if (length < position + width)
        return 0;
    const char *begin = line + position;
    const char *end = begin + width;
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    int parsed = 0;
    const auto result = std::from_chars(begin, end, parsed);
    if (begin == end || result.ec != std::errc() || result.ptr != end)
        return 0;
    return parsed;
}

// "0" is isotopologue 10, "A" 11 and "B" 12.
inline int parseIsotopologue(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c == '0')
        return 10;
    if (c == 'A')
        return 11;
    if (c == 'B')
        return 12;
    return 0;
}

} // namespace LineRecordFields

inline bool LineFileStore::parseRecord(const char *line, int length, LineRecord &record)
{
    using namespace LineRecordFields;
    record.molecule = parseInt(line, length, 0, 2);
    record.isotopologue = length > 2 ? parseIsotopologue(line[2]) : 0;
    const bool hasPosition = parseDouble(line, length, 3, 12, &record.wavenumber);
    parseDouble(line, length, 15, 10, &record.intensity);
    record.intensityCopy = record.intensity;
    parseDouble(line, length, 25, 10, &record.einsteinA);
    parseDouble(line, length, 35, 5, &record.gammaAir);
    parseDouble(line, length, 40, 5, &record.gammaSelf);
    parseDouble(line, length, 45, 10, &record.lowerStateEnergy);
    parseDouble(line, length, 55, 4, &record.nAir);
    parseDouble(line, length, 59, 8, &record.deltaAir);
    return record.molecule > 0 && record.isotopologue > 0 && hasPosition;
}
