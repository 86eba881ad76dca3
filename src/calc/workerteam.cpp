#include "calc/workerteam.h"

#include <system_error>

WorkerTeam::WorkerTeam(int members)
{
    for (int part = 0; part < members; ++part) {
        try {
            m_members.emplace_back(&WorkerTeam::serve, this, part);
        } catch (const std::system_error &) {
            break;   // the parts are fewer
        }
    }
}

WorkerTeam::~WorkerTeam()
{
    wait();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &member : m_members)
        member.join();
}

void WorkerTeam::start(std::function<void(int)> task)
{
    wait();
    if (m_members.empty()) {
        task(0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_task = std::move(task);
        m_running = int(m_members.size());
        ++m_round;
    }
    m_wake.notify_all();
}

void WorkerTeam::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_running == 0; });
}

void WorkerTeam::serve(int part)
{
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_round != seen; });
            if (m_stopping)
                return;
            seen = m_round;
        }
        // The task is not replaced before every member has finished it.
        m_task(part);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_running;
        }
        m_done.notify_all();
    }
}
