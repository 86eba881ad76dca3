#include "calc/workerteam.h"

#include <system_error>

WorkerTeam::WorkerTeam(int parts)
{
    for (int part = 1; part < parts; ++part) {
        try {
            m_members.emplace_back(&WorkerTeam::serve, this, part);
        } catch (const std::system_error &) {
            break;   // the parts left are done by fewer threads
        }
    }
}

WorkerTeam::~WorkerTeam()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &member : m_members)
        member.join();
}

void WorkerTeam::run(const std::function<void(int)> &task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_task = &task;
        m_running = int(m_members.size());
        ++m_round;
    }
    m_wake.notify_all();
    task(0);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_running == 0; });
    m_task = nullptr;
}

void WorkerTeam::serve(int part)
{
    unsigned seen = 0;
    for (;;) {
        const std::function<void(int)> *task = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_round != seen; });
            if (m_stopping)
                return;
            seen = m_round;
            task = m_task;
        }
        (*task)(part);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_running;
        }
        m_done.notify_one();
    }
}
