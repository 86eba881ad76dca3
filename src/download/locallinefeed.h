#pragma once

#include "core/linefeed.h"
#include "download/linefilestore.h"

#include <QString>
#include <QtGlobal>

#include <atomic>

// Feeds a calculation batches of line records from the files on the device:
// either one line file read between two byte offsets (the user's cumulative
// file or the shipped sample), or the region files of the downloads folder.
// Choosing the files reads nothing; the files are searched (by bisection) and
// read by the first next(), on the thread that reads the feed.
class LocalLineFeed : public LineFeed
{
public:
    explicit LocalLineFeed(int recordsPerChunk = 20000);

    // Reads the records of [start, end] from one line file; `name` is the file
    // as the user knows it, for the message about a file out of order.
    void useSingleFile(const QString &path, double start, double end, const QString &name = QString());
    // Reads the records of [start, end] from the region files of `folder`;
    // false when no stored region overlaps the range.
    bool useRegionFiles(const QString &folder, double start, double end);
    // The single file holds no record of the range (searches it now).
    bool singleFileEmpty();

    bool next(LineBatch &batch) override;
    qint64 expectedRecordCount() const override { return m_expected; }
    // The single file's records read so far were out of wavenumber order: lines
    // of the range may be missing, since the range was found by bisection.
    QString problem() const override;
    void interrupt() override { m_interrupted.store(true, std::memory_order_relaxed); }

    // The order problem alone, in words ("a line at ... follows one at ...").
    QString orderProblem() const { return m_orderProblem; }

private:
    enum class Source { None, SingleFile, RegionFiles };

    void open();

    LineFileStore m_store;
    Source m_source = Source::None;
    bool m_opened = false;
    int m_recordsPerChunk = 20000;
    QString m_singleFilePath;
    QString m_singleFileName;
    double m_start = 0.0;
    double m_end = 0.0;
    qint64 m_singleFileRecordLength = 161;
    int m_firstFile = 0;
    int m_lastFile = -1;
    int m_currentFile = 0;
    qint64 m_startOffset = 0;
    qint64 m_endOffset = 0;
    qint64 m_position = 0;
    qint64 m_chunkEnd = 0;
    qint64 m_expected = 0;
    double m_lastWavenumber = 0.0;
    QString m_orderProblem;
    std::atomic<bool> m_interrupted{false};
};
