#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed team of threads that runs one task at a time in parts, one part per
// member, while the thread that started it goes on with other work until it
// waits for the end. The members are started once and wait between tasks, so a
// task costs a wake-up per member rather than a thread start.
class WorkerTeam
{
public:
    // A team of `members` threads; fewer when the system refuses threads, and
    // without any, start() does the task's one part itself.
    explicit WorkerTeam(int members);
    ~WorkerTeam();
    WorkerTeam(const WorkerTeam &) = delete;
    WorkerTeam &operator=(const WorkerTeam &) = delete;

    int parts() const { return m_members.empty() ? 1 : int(m_members.size()); }
    // The threads of the team.
    int members() const { return int(m_members.size()); }
    // Starts task(part) for every part from 0 to parts() - 1 and returns.
    void start(std::function<void(int)> task);
    // Returns when every part of the last task is done.
    void wait();

private:
    void serve(int part);

    std::vector<std::thread> m_members;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::function<void(int)> m_task;
    unsigned m_round = 0;
    int m_running = 0;
    bool m_stopping = false;
};
