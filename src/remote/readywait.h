#pragma once

#include <QObject>

#include <functional>

class QEventLoop;

// A wait of the command processor for the plot redrawn after a calculation or
// a change of display: it runs a step, then the event loop, until ready()
// arrives. A wait never lasts forever: while a calculation is awaited it ends
// when the calculation has ended (or never began) and no ready() followed
// within the grace time; otherwise after the grace time.
class ReadyWait : public QObject
{
    Q_OBJECT

public:
    // How long a wait lasts once nothing is being calculated any more, milliseconds.
    static constexpr int defaultGrace = 5000;

    using QObject::QObject;

    // Tells whether a calculation is under way.
    void setCalculationProbe(std::function<bool()> running) { m_calculationRunning = std::move(running); }
    void setGrace(int milliseconds) { m_grace = milliseconds; }
    bool calculating() const { return m_calculationRunning && m_calculationRunning(); }
    bool waiting() const { return m_loop != nullptr; }

    // Runs `start` and waits until ready(). Returns false when a calculation
    // was awaited (whileCalculating) but none ran.
    bool run(const std::function<void()> &start, bool whileCalculating);

public slots:
    void ready();

private:
    std::function<bool()> m_calculationRunning;
    int m_grace = defaultGrace;
    bool m_readySeen = false;
    QEventLoop *m_loop = nullptr;
};
