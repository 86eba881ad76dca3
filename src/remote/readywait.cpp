#include "remote/readywait.h"

#include <utility>

ReadyWait::ReadyWait(QObject *parent)
    : QObject(parent)
{
    m_poll.setInterval(20);
    connect(&m_poll, &QTimer::timeout, this, &ReadyWait::poll);
}

void ReadyWait::run(const std::function<void()> &start, bool whileCalculating, std::function<void(bool)> done)
{
    m_readySeen = false;
    m_done = std::move(done);
    m_whileCalculating = whileCalculating;
    m_idleStarted = false;
    m_active = true;
    start();
    if (!m_active)
        return;
    if (m_readySeen) {
        finish(true);
        return;
    }
    if (whileCalculating && !calculating()) {
        finish(false);
        return;
    }
    m_poll.start();
}

void ReadyWait::poll()
{
    if (m_whileCalculating && calculating()) {
        m_idleStarted = false;
        return;
    }
    if (!m_idleStarted) {
        m_idle.start();
        m_idleStarted = true;
    }
    if (m_idle.elapsed() >= m_grace)
        finish(true);
}

void ReadyWait::ready()
{
    m_readySeen = true;
    if (m_active && m_poll.isActive())
        finish(true);
}

void ReadyWait::finish(bool started)
{
    m_poll.stop();
    m_active = false;
    const std::function<void(bool)> done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(started);
}
