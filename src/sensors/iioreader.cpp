#include "sensors/iioreader.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

using Clock = std::chrono::steady_clock;

// What the reading thread and the reader share; the thread holds it as long
// as it runs, so it outlives a reader that left the thread behind.
struct IioReader::Shared
{
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    IioChannel channel;
    Clock::duration period;
    bool running = false;
    bool quit = false;
    bool done = false;
    bool busy = false;              // a read is under way
    Clock::time_point started;      // when it began
    IioReader *receiver = nullptr;  // cleared when the reader goes
};

IioReader::IioReader(const IioChannel &channel, int periodMs, QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_periodMs(std::max(1, periodMs))
{
    m_shared->channel = channel;
    m_shared->period = std::chrono::milliseconds(m_periodMs);
    m_shared->receiver = this;
    m_watch.setInterval(m_periodMs);
    connect(&m_watch, &QTimer::timeout, this, &IioReader::checkAnswering);
    m_thread = std::thread(&IioReader::run, m_shared);
}

IioReader::~IioReader()
{
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->receiver = nullptr;
    m_shared->quit = true;
    m_shared->wake.notify_all();
    // A thread asleep between reads ends at once; one held in a read that
    // does not come back is not waited for.
    if (m_shared->finished.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_shared->done; })) {
        lock.unlock();
        m_thread.join();
    } else {
        lock.unlock();
        m_thread.detach();
    }
}

void IioReader::run(std::shared_ptr<Shared> shared)
{
    std::unique_lock<std::mutex> lock(shared->mutex);
    Clock::time_point next = Clock::now();
    while (!shared->quit) {
        if (!shared->running) {
            shared->wake.wait(lock);
            next = Clock::now();
            continue;
        }
        if (Clock::now() < next) {
            shared->wake.wait_until(lock, next);
            continue;
        }
        shared->busy = true;
        shared->started = Clock::now();
        const IioChannel channel = shared->channel;
        lock.unlock();
        const std::optional<double> value = channel.read();   // may block in the driver
        lock.lock();
        shared->busy = false;
        next = shared->started + shared->period;
        if (IioReader *receiver = shared->receiver) {
            // Posted while the reader cannot go (it clears receiver under the
            // lock first); a call posted to a reader that goes before it runs
            // is dropped with the reader's other events.
            QMetaObject::invokeMethod(receiver, [receiver, value] { receiver->deliver(value); },
                                      Qt::QueuedConnection);
        }
    }
    shared->done = true;
    shared->finished.notify_all();
}

void IioReader::setPeriod(int milliseconds)
{
    m_periodMs = std::max(1, milliseconds);
    m_watch.setInterval(m_periodMs);
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->period = std::chrono::milliseconds(m_periodMs);
    m_shared->wake.notify_all();
}

void IioReader::start()
{
    m_running = true;
    m_watch.start();
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->running = true;
    m_shared->wake.notify_all();
}

void IioReader::stop()
{
    m_running = false;
    m_watch.stop();
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->running = false;
    m_shared->wake.notify_all();
}

void IioReader::deliver(std::optional<double> value)
{
    m_value = value;
    setAnswering(true);
    emit readingArrived();
}

void IioReader::checkAnswering()
{
    bool late = false;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        late = m_shared->busy && Clock::now() - m_shared->started > m_shared->period;
    }
    if (late)
        setAnswering(false);
}

void IioReader::setAnswering(bool answering)
{
    if (answering == m_answering)
        return;
    m_answering = answering;
    emit answeringChanged();
}
