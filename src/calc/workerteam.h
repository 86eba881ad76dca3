#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed team of threads that runs one task at a time in parts: the calling
// thread does part 0, each member one of the others, and run() returns when
// every part is done. The members are started once and wait between tasks, so
// a task costs a wake-up per member rather than a thread start.
class WorkerTeam
{
public:
    // A team of `parts` parts, that is parts - 1 members besides the caller;
    // fewer when the system refuses threads (parts() says how many).
    explicit WorkerTeam(int parts);
    ~WorkerTeam();
    WorkerTeam(const WorkerTeam &) = delete;
    WorkerTeam &operator=(const WorkerTeam &) = delete;

    int parts() const { return int(m_members.size()) + 1; }
    // Runs task(part) for every part from 0 to parts() - 1.
    void run(const std::function<void(int)> &task);

private:
    void serve(int part);

    std::vector<std::thread> m_members;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)> *m_task = nullptr;
    unsigned m_round = 0;
    int m_running = 0;
    bool m_stopping = false;
};
