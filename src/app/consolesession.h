#pragma once

#include <QObject>
#include <QStringList>

class KolvexCore;
class QSocketNotifier;
class QTimer;

// The headless program's session: one core and its remote control, fed with
// lines of command text from a file descriptor (standard input) and answering
// on standard output. Progress and dialog texts go to standard error. The
// results model that assembles the displayed curves is the program's; it must
// listen to the core before the session does.
class ConsoleSession : public QObject
{
    Q_OBJECT

public:
    // A line longer than this many bytes is dropped unread.
    static constexpr int maxLineLength = 4 * 1024 * 1024;

    explicit ConsoleSession(KolvexCore *core, QObject *parent = nullptr);
    ~ConsoleSession() override;

    // Starts reading lines from `fd` once the partition sums are loaded. With
    // quitAtEnd the session ends the application (status 0) when the input has
    // ended and the work it started is done.
    void start(int fd, bool quitAtEnd);

    // Progress (file by file at start-up, region by region, batch by batch) goes
    // to standard error only when verbose; warnings and errors always do.
    void setVerbose(bool verbose) { m_verbose = verbose; }
    bool verbose() const { return m_verbose; }

private:
    void beginReading();
    void readInput();
    void drain();
    void finishIfDone();

    KolvexCore *m_core;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_finisher = nullptr;
    int m_fd = -1;
    bool m_quitAtEnd = true;
    bool m_verbose = false;
    bool m_inputEnded = false;
    bool m_draining = false;
    bool m_readingStarted = false;
    QByteArray m_partialLine;
    bool m_discardingLine = false;
    QStringList m_lines;
};
