#pragma once

#include "core/linefeed.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// A feed whose batches are handed in from another thread: the calculation's
// thread takes them with next() and waits while none is there; the thread
// that fetches the lines (the main thread, where downloads live) puts them in
// with push() and ends the feed with finish() or passes the rest on to another
// feed with continueWith(). Each time the reader takes a batch (or finds none)
// it calls `wantMore` once, from its own thread, so that the fetching side
// fetches the next batch while this one is added: at most two batches wait.
class QueuedLineFeed : public LineFeed
{
public:
    explicit QueuedLineFeed(std::function<void()> wantMore);

    bool next(LineBatch &batch) override;
    qint64 expectedRecordCount() const override;
    QString problem() const override;
    void interrupt() override;

    // The fetching side.
    void push(LineBatch batch, qint64 expectedRecords);
    void finish();
    void continueWith(std::unique_ptr<LineFeed> feed);

private:
    std::function<void()> m_wantMore;
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<LineBatch> m_batches;
    std::unique_ptr<LineFeed> m_rest;   // once set, the reader reads it after the batches
    qint64 m_expected = 0;
    bool m_finished = false;
    bool m_interrupted = false;
    bool m_requested = false;
};
