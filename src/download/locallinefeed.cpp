#include "download/locallinefeed.h"

#include <algorithm>

LocalLineFeed::LocalLineFeed(int recordsPerChunk)
    : m_recordsPerChunk(std::max(1, recordsPerChunk))
{
}

void LocalLineFeed::useSingleFile(const QString &path, double start, double end, const QString &name)
{
    m_source = Source::SingleFile;
    m_opened = false;
    m_singleFilePath = path;
    m_singleFileName = name;
    m_start = start;
    m_end = end;
}

bool LocalLineFeed::useRegionFiles(const QString &folder, double start, double end)
{
    m_source = Source::RegionFiles;
    m_opened = false;
    m_store.setFolder(folder);
    m_start = start;
    m_end = end;
    return m_store.regionFilesOverlap(start, end);
}

bool LocalLineFeed::singleFileEmpty()
{
    open();
    return m_source != Source::SingleFile || m_endOffset <= m_startOffset;
}

void LocalLineFeed::open()
{
    if (m_opened)
        return;
    m_opened = true;
    m_lastWavenumber = 0.0;
    m_orderProblem.clear();
    switch (m_source) {
    case Source::SingleFile:
        m_store.locateInFile(m_singleFilePath, m_start, m_end, &m_startOffset, &m_endOffset);
        m_position = m_startOffset;
        m_singleFileRecordLength = std::max(161, LineFileStore::recordLengthOf(m_singleFilePath));
        m_expected = (m_endOffset - m_startOffset) / m_singleFileRecordLength;
        // A shorter first batch: the calculation starts adding lines, on every
        // thread, while the rest is read.
        m_chunkEnd = std::min(m_position + qint64(std::max(1, m_recordsPerChunk / 4)) * m_singleFileRecordLength, m_endOffset);
        break;
    case Source::RegionFiles:
        if (!m_store.locateInRegionFiles(m_start, m_end, &m_firstFile, &m_lastFile, &m_startOffset, &m_endOffset)) {
            m_lastFile = -1;
            m_expected = 0;
            break;
        }
        m_position = m_startOffset;
        m_currentFile = m_firstFile;
        m_expected = m_store.countRecordsInRegionFiles(m_firstFile, m_lastFile, m_startOffset, m_endOffset);
        break;
    case Source::None:
        break;
    }
}

bool LocalLineFeed::next(LineBatch &batch)
{
    batch.clear();
    if (m_interrupted.load(std::memory_order_relaxed))
        return false;
    open();
    if (m_source == Source::SingleFile && m_position < m_endOffset) {
        qint64 next = m_position;
        m_store.readRange(m_singleFilePath, m_position, m_chunkEnd, &next);
        for (const LineRecord &record : m_store.batch()) {
            if (record.wavenumber < m_lastWavenumber && m_orderProblem.isEmpty())
                m_orderProblem = QStringLiteral("a line at %1 cm-1 follows one at %2 cm-1")
                                     .arg(record.wavenumber, 0, 'g', 10)
                                     .arg(m_lastWavenumber, 0, 'g', 10);
            m_lastWavenumber = record.wavenumber;
        }
        m_position = std::max(next, m_chunkEnd);
        m_chunkEnd = std::min(m_position + qint64(m_recordsPerChunk) * m_singleFileRecordLength, m_endOffset);
        batch.swap(m_store.batch());
        return true;
    }
    if (m_source == Source::RegionFiles && m_currentFile <= m_lastFile
        && (m_position < m_endOffset || m_currentFile != m_lastFile)) {
        m_store.readNextRegionChunk(&m_position, &m_currentFile, m_recordsPerChunk, m_lastFile, m_endOffset);
        batch.swap(m_store.batch());
        return true;
    }
    return false;
}

QString LocalLineFeed::problem() const
{
    if (m_orderProblem.isEmpty())
        return QString();
    return QStringLiteral("Your line file %1 is not sorted by wavenumber: %2. Lines may be missing from the spectrum; "
                          "sort the file by wavenumber, as HITRAN files are.")
        .arg(m_singleFileName.isEmpty() ? m_singleFilePath : m_singleFileName, m_orderProblem);
}
