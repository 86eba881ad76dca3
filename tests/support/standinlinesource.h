#pragma once

#include "core/linesource.h"

#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class QueuedLineFeed;

// A line source for tests: hands out a fixed list of line records in batches of
// a chosen size, each when the calculation asks for it: from the event loop
// (as a download does) or at once, on the calculation's thread.
class StandInLineSource : public LineSource
{
    Q_OBJECT

public:
    explicit StandInLineSource(std::vector<LineRecord> records = {}, int batchSize = 20000,
                               QObject *parent = nullptr);
    ~StandInLineSource() override;

    // Every record of a HITRAN line file; an unreadable file gives none.
    static std::vector<LineRecord> readFile(const QString &path);

    void setRecords(std::vector<LineRecord> records) { m_records = std::move(records); }
    void setBatchSize(int size) { m_batchSize = size; }
    void setImmediate(bool immediate) { m_immediate = immediate; }
    // After this many batches further requests go unanswered, as by a download
    // that stalls; negative: never.
    void setStallAfter(int batches) { m_stallAfter = batches; }
    // Stalls no more, and answers a request left waiting.
    void release();
    // The requests for a batch so far, the end of the records included.
    int requestCount() const { return m_requestCount.load(); }
    int prepareCount() const { return m_prepareCount; }
    const LineRequest &lastRequest() const { return m_request; }

    // The records from the first on, as a calculation reads them.
    std::unique_ptr<LineFeed> feed();

    void prepare(const LineRequest &request) override;
    std::unique_ptr<LineFeed> takeFeed() override { return feed(); }
    QString origin() const override { return QStringLiteral("the stand-in lines of a test"); }
    void cancel() override { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

private:
    void deliver();

    std::vector<LineRecord> m_records;
    std::shared_ptr<QueuedLineFeed> m_queue;
    LineRequest m_request;
    std::size_t m_next = 0;
    int m_batchSize = 20000;
    std::atomic<int> m_requestCount{0};
    int m_prepareCount = 0;
    int m_delivered = 0;
    int m_stallAfter = -1;
    bool m_immediate = false;
    bool m_cancelled = false;
};
