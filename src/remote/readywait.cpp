#include "remote/readywait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool ReadyWait::run(const std::function<void()> &start, bool whileCalculating)
{
    m_readySeen = false;
    start();
    if (m_readySeen)
        return true;
    if (whileCalculating && !calculating())
        return false;
    QEventLoop loop;
    QElapsedTimer idle;
    bool idleStarted = false;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (whileCalculating && calculating()) {
            idleStarted = false;
            return;
        }
        if (!idleStarted) {
            idle.start();
            idleStarted = true;
        }
        if (idle.elapsed() >= m_grace)
            loop.quit();
    });
    poll.start();
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    return true;
}

void ReadyWait::ready()
{
    m_readySeen = true;
    if (m_loop)
        m_loop->quit();
}
