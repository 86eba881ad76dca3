#include "core/queuedlinefeed.h"

#include <utility>

QueuedLineFeed::QueuedLineFeed(std::function<void()> wantMore)
    : m_wantMore(std::move(wantMore))
{
}

bool QueuedLineFeed::next(LineBatch &batch)
{
    batch.clear();
    LineFeed *rest = nullptr;
    bool ask = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            if (m_interrupted)
                return false;
            if (!m_batches.empty()) {
                batch.swap(m_batches.front());
                m_batches.pop_front();
                // The next batch is fetched while this one is added.
                ask = !m_finished && !m_rest && !m_requested;
                m_requested = m_requested || ask;
                break;
            }
            if (m_rest) {
                rest = m_rest.get();
                break;
            }
            if (m_finished)
                return false;
            if (!m_requested) {
                m_requested = true;
                lock.unlock();
                m_wantMore();
                lock.lock();
                continue;
            }
            m_arrived.wait(lock);
        }
    }
    if (ask)
        m_wantMore();
    if (rest)
        return rest->next(batch);
    return true;
}

qint64 QueuedLineFeed::expectedRecordCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rest ? m_expected + m_rest->expectedRecordCount() : m_expected;
}

QString QueuedLineFeed::problem() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rest ? m_rest->problem() : QString();
}

void QueuedLineFeed::interrupt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_interrupted = true;
    if (m_rest)
        m_rest->interrupt();
    m_arrived.notify_all();
}

void QueuedLineFeed::push(LineBatch batch, qint64 expectedRecords)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_batches.push_back(std::move(batch));
    m_expected = expectedRecords;
    m_requested = false;
    m_arrived.notify_all();
}

void QueuedLineFeed::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    m_arrived.notify_all();
}

void QueuedLineFeed::continueWith(std::unique_ptr<LineFeed> feed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!feed) {
        m_finished = true;
    } else {
        m_rest = std::move(feed);
        if (m_interrupted)
            m_rest->interrupt();
    }
    m_arrived.notify_all();
}
