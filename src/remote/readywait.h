#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// A wait of the command processor for the plot redrawn after a calculation or
// a change of display: it runs a step and then lets the event loop go on until
// ready() arrives, when it calls back. A wait never lasts forever: while a
// calculation is awaited it ends when the calculation has ended (or never
// began) and no ready() followed within the grace time; otherwise after the
// grace time. Nothing blocks meanwhile: the program serves its window, its
// peers and its sensors.
class ReadyWait : public QObject
{
    Q_OBJECT

public:
    // How long a wait lasts once nothing is being calculated any more, milliseconds.
    static constexpr int defaultGrace = 5000;

    explicit ReadyWait(QObject *parent = nullptr);

    // Tells whether a calculation is under way.
    void setCalculationProbe(std::function<bool()> running) { m_calculationRunning = std::move(running); }
    void setGrace(int milliseconds) { m_grace = milliseconds; }
    bool calculating() const { return m_calculationRunning && m_calculationRunning(); }
    bool waiting() const { return m_active; }

    // Runs `start`, then waits for ready() and calls done(true); done(false),
    // at once, when a calculation was awaited (whileCalculating) but none runs.
    // done may be called before run() returns.
    void run(const std::function<void()> &start, bool whileCalculating, std::function<void(bool started)> done);

public slots:
    void ready();

private:
    void poll();
    void finish(bool started);

    std::function<bool()> m_calculationRunning;
    std::function<void(bool)> m_done;
    int m_grace = defaultGrace;
    bool m_readySeen = false;
    bool m_active = false;
    bool m_whileCalculating = false;
    bool m_idleStarted = false;
    QElapsedTimer m_idle;
    QTimer m_poll;
};
