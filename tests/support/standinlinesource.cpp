#include "standinlinesource.h"

#include "core/queuedlinefeed.h"
#include "download/linefilestore.h"

#include <QFile>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

// The calculation's end of the stand-in's queue.
class QueueFeed : public LineFeed
{
public:
    explicit QueueFeed(std::shared_ptr<QueuedLineFeed> queue)
        : m_queue(std::move(queue))
    {
    }
    bool next(LineBatch &batch) override { return m_queue->next(batch); }
    qint64 expectedRecordCount() const override { return m_queue->expectedRecordCount(); }
    void interrupt() override { m_queue->interrupt(); }

private:
    std::shared_ptr<QueuedLineFeed> m_queue;
};

} // namespace

StandInLineSource::StandInLineSource(std::vector<LineRecord> records, int batchSize, QObject *parent)
    : LineSource(parent)
    , m_records(std::move(records))
    , m_batchSize(batchSize)
{
}

StandInLineSource::~StandInLineSource()
{
    if (m_queue)
        m_queue->finish();
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

void StandInLineSource::prepare(const LineRequest &request)
{
    m_request = request;
    ++m_prepareCount;
    m_cancelled = false;
    QTimer::singleShot(0, this, [this] { emit ready(); });
}

std::unique_ptr<LineFeed> StandInLineSource::feed()
{
    if (m_queue)
        m_queue->finish();
    m_next = 0;
    m_delivered = 0;
    m_requestCount.store(0);
    const QPointer<StandInLineSource> self(this);
    m_queue = std::make_shared<QueuedLineFeed>([this, self] {
        ++m_requestCount;
        if (m_immediate) {
            deliver();
            return;
        }
        QMetaObject::invokeMethod(self, [self] {
            if (self)
                self->deliver();
        }, Qt::QueuedConnection);
    });
    return std::make_unique<QueueFeed>(m_queue);
}

void StandInLineSource::release()
{
    const bool waiting = m_stallAfter >= 0 && m_delivered >= m_stallAfter && m_requestCount.load() > m_delivered;
    m_stallAfter = -1;
    if (waiting)
        deliver();
}

void StandInLineSource::deliver()
{
    if (!m_queue || (m_stallAfter >= 0 && m_delivered >= m_stallAfter))
        return;
    ++m_delivered;
    if (m_next >= m_records.size()) {
        m_queue->finish();
        return;
    }
    const std::size_t count = std::min(m_records.size() - m_next, std::size_t(std::max(1, m_batchSize)));
    LineBatch batch(m_records.begin() + std::ptrdiff_t(m_next), m_records.begin() + std::ptrdiff_t(m_next + count));
    m_next += count;
    m_queue->push(std::move(batch), qint64(m_records.size()));
}
