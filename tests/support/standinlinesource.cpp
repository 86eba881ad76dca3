#include "standinlinesource.h"

#include "download/linefilestore.h"

#include <QFile>
#include <QTimer>

#include <algorithm>

StandInLineSource::StandInLineSource(std::vector<LineRecord> records, int batchSize, QObject *parent)
    : LineSource(parent)
    , m_records(std::move(records))
    , m_batchSize(batchSize)
{
}

std::vector<LineRecord> StandInLineSource::readFile(const QString &path)
{
    std::vector<LineRecord> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        LineRecord record;
        if (line.size() >= 67 && LineFileStore::parseRecord(line.constData(), line.size(), record))
            records.push_back(record);
    }
    return records;
}

void StandInLineSource::fetchForCalculation()
{
    QTimer::singleShot(0, this, [this] { emit hitranDownloadComplete(); });
}

void StandInLineSource::requestNextChunk()
{
    ++m_requestCount;
    if (m_immediate)
        deliver();
    else
        QTimer::singleShot(0, this, [this] { deliver(); });
}

void StandInLineSource::deliver()
{
    if (m_stallAfter >= 0 && m_delivered >= m_stallAfter)
        return;
    ++m_delivered;
    if (m_next >= m_records.size()) {
        m_batch.clear();
        emit noMoreDataAvailable();
        return;
    }
    const std::size_t count = std::min(m_records.size() - m_next, std::size_t(std::max(1, m_batchSize)));
    m_batch.assign(m_records.begin() + std::ptrdiff_t(m_next), m_records.begin() + std::ptrdiff_t(m_next + count));
    m_next += count;
    emit dataAvailable();
}
