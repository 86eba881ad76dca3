#pragma once

#include <QString>
#include <QtGlobal>

class LineFileStore;

// Feeds a calculation batches of line records from the files on the device:
// either one line file read between two byte offsets (the user's cumulative
// file or the shipped sample), or the region files of the downloads folder.
// The batch read goes into the line-file store.
class LocalLineFeed
{
public:
    explicit LocalLineFeed(LineFileStore *store);

    void setRecordsPerChunk(int records) { m_recordsPerChunk = records; }

    // Reads the records of [start, end] from one line file.
    void useSingleFile(const QString &path, double start, double end);
    // Reads the records of [start, end] from the region files; false when they
    // hold none of the range.
    bool useRegionFiles(double start, double end);
    // Forgets the files chosen.
    void stop() { m_source = Source::None; }
    bool isFeeding() const { return m_source != Source::None; }
    // The single file holds no record of the range.
    bool singleFileEmpty() const { return m_endOffset <= m_startOffset; }

    qint64 expectedRecordCount() const;
    // Reads the next batch into the store; false when the range is done.
    bool readNext();
    // Where the single file's records read so far were out of wavenumber
    // order, in words for the user; empty while they are in order. Lines of
    // the range may then be missing, since the range was found by bisection.
    QString orderProblem() const { return m_orderProblem; }

private:
    enum class Source { None, SingleFile, RegionFiles };

    LineFileStore *m_store;
    Source m_source = Source::None;
    int m_recordsPerChunk = 20000;
    QString m_singleFilePath;
    qint64 m_singleFileRecordLength = 161;
    int m_firstFile = 0;
    int m_lastFile = -1;
    int m_currentFile = 0;
    qint64 m_startOffset = 0;
    qint64 m_endOffset = 0;
    qint64 m_position = 0;
    qint64 m_chunkEnd = 0;
    double m_lastWavenumber = 0.0;
    QString m_orderProblem;
};
