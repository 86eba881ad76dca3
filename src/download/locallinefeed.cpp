#include "download/locallinefeed.h"

#include "download/linefilestore.h"

#include <algorithm>

LocalLineFeed::LocalLineFeed(LineFileStore *store)
    : m_store(store)
{
}

void LocalLineFeed::useSingleFile(const QString &path, double start, double end)
{
    m_source = Source::SingleFile;
    m_singleFilePath = path;
    m_startOffset = std::max<qint64>(0, m_store->recordOffsetAtOrAbove(path, start));
    m_endOffset = std::max(m_startOffset, m_store->recordOffsetAtOrAbove(path, end));
    m_position = m_startOffset;
    m_singleFileRecordLength = std::max(161, LineFileStore::recordLengthOf(path));
    m_lastWavenumber = 0.0;
    m_orderProblem.clear();
    // A shorter first batch: the calculation starts adding lines, on every
    // thread, while the rest is read.
    m_chunkEnd = std::min(m_position + qint64(m_recordsPerChunk / 4) * m_singleFileRecordLength, m_endOffset);
}

bool LocalLineFeed::useRegionFiles(double start, double end)
{
    m_source = Source::RegionFiles;
    const bool found = m_store->locateInRegionFiles(start, end, &m_firstFile, &m_lastFile, &m_startOffset,
                                                    &m_endOffset);
    m_position = m_startOffset;
    m_currentFile = m_firstFile;
    return found;
}

qint64 LocalLineFeed::expectedRecordCount() const
{
    switch (m_source) {
    case Source::SingleFile:
        return (m_endOffset - m_startOffset) / m_singleFileRecordLength;
    case Source::RegionFiles:
        return m_store->countRecordsInRegionFiles(m_firstFile, m_lastFile, m_startOffset, m_endOffset);
    case Source::None:
        break;
    }
    return 0;
}

bool LocalLineFeed::readNext()
{
    if (m_source == Source::SingleFile && m_position < m_endOffset) {
        qint64 next = m_position;
        m_store->readRange(m_singleFilePath, m_position, m_chunkEnd, &next);
        for (const LineRecord &record : m_store->batch()) {
            if (record.wavenumber < m_lastWavenumber && m_orderProblem.isEmpty())
                m_orderProblem = QStringLiteral("a line at %1 cm-1 follows one at %2 cm-1")
                                     .arg(record.wavenumber, 0, 'g', 10)
                                     .arg(m_lastWavenumber, 0, 'g', 10);
            m_lastWavenumber = record.wavenumber;
        }
        m_position = std::max(next, m_chunkEnd);
        m_chunkEnd = std::min(m_position + qint64(m_recordsPerChunk) * m_singleFileRecordLength, m_endOffset);
        return true;
    }
    if (m_source == Source::RegionFiles && m_currentFile <= m_lastFile
        && (m_position < m_endOffset || m_currentFile != m_lastFile)) {
        m_store->readNextRegionChunk(&m_position, &m_currentFile, m_recordsPerChunk, m_lastFile, m_endOffset);
        return true;
    }
    return false;
}
