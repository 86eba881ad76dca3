#pragma once

#include <QObject>

#include <functional>

class ConsoleTransport;
class KolvexCore;
class QTimer;

// The headless program's session: one core whose remote control reads lines of
// command text from a file descriptor (standard input) and answers on standard
// output. Progress and dialog texts go to standard error. The results model
// that assembles the displayed curves is the program's; it must listen to the
// core before the session does.
class ConsoleSession : public QObject
{
    Q_OBJECT

public:
    explicit ConsoleSession(KolvexCore *core, QObject *parent = nullptr);
    ~ConsoleSession() override;

    // Starts reading lines from `fd` once the partition sums are loaded. With
    // quitAtEnd the session ends the application (status 0) when the input has
    // ended and the work it started is done.
    void start(int fd, bool quitAtEnd);

    // Progress (file by file at start-up, region by region, batch by batch) goes
    // to standard error only when verbose; warnings and errors always do.
    void setVerbose(bool verbose) { m_verbose = verbose; }
    // Work done once the input has ended and what it started is done (a fit),
    // instead of ending at once; its result is the program's exit status.
    void setFinalWork(std::function<int()> work) { m_finalWork = std::move(work); }
    bool verbose() const { return m_verbose; }

signals:
    // Commands are taken from now on: the partition sums are loaded (or could
    // not be), so that a first CALC can run.
    void readingStarted();

private:
    void beginReading();
    void finishIfDone();

    KolvexCore *m_core;
    ConsoleTransport *m_transport = nullptr;
    QTimer *m_finisher = nullptr;
    bool m_quitAtEnd = true;
    bool m_verbose = false;
    bool m_readingStarted = false;
    std::function<int()> m_finalWork;
    bool m_exiting = false;
};
