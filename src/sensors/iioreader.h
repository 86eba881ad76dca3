#pragma once

#include "sensors/iiochannel.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <thread>

// Reads one Industrial I/O channel once every period on a thread of its own,
// so that a driver that hangs (or a FIFO put in the place of its file) never
// holds up the program: the main thread is handed each reading by a queued
// call and never waits for one. A read that has been under way for longer
// than the period makes the channel count as not answering until a reading
// arrives again. A read that never returns keeps its thread, which is left
// behind, asleep in the kernel, when the reader goes; nothing waits for it.
class IioReader : public QObject
{
    Q_OBJECT

public:
    explicit IioReader(const IioChannel &channel, int periodMs = 200, QObject *parent = nullptr);
    ~IioReader() override;

    void setPeriod(int milliseconds);
    int period() const { return m_periodMs; }
    // Reads every period from now on, the first time at once.
    void start();
    // Begins no more reads; one under way still delivers its reading.
    void stop();
    bool isRunning() const { return m_running; }

    // The last reading that arrived: none before the first one or when the
    // channel's files could not be read or held no number.
    std::optional<double> value() const { return m_value; }
    // False while a read has been under way for longer than the period.
    bool answering() const { return m_answering; }

signals:
    void readingArrived();
    void answeringChanged();

private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);
    void deliver(std::optional<double> value);
    void checkAnswering();
    void setAnswering(bool answering);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    QTimer m_watch;
    int m_periodMs;
    bool m_running = false;
    bool m_answering = true;
    std::optional<double> m_value;
};
