#pragma once

#include "remote/transport.h"

#include <QByteArray>
#include <QStringList>

#include <cstdio>

class QSocketNotifier;

// The console program's carrier of the command protocol: each line read from a
// file descriptor (standard input) is one message, and each reply is written
// as one line to a stream (standard output). While its lines are being run no
// more input is read, so that waiting lines queue in the pipe, not in memory,
// and keep their order. It always counts as connected.
//
// Replies are written as far as the output takes them without blocking; what
// it does not take yet waits, bounded like the WebSocket clients' queues: a
// reply waits while more than half of maxQueuedBytes wait. When the output
// takes nothing for the stall timeout, the copy of the replies on it stops
// with a message on standard error if it is only a copy (other peers are
// served), and otherwise the wait goes on, as a blocking write would.
class ConsoleTransport : public Transport
{
    Q_OBJECT

public:
    // A line longer than this many bytes is dropped unread.
    static constexpr int maxLineLength = 4 * 1024 * 1024;
    static constexpr qint64 defaultMaxQueuedBytes = qint64(64) << 20;

    ConsoleTransport(int inputFd, FILE *output, QObject *parent = nullptr);
    ~ConsoleTransport() override;

    QString name() const override { return QStringLiteral("console"); }
    bool isConnected() const override { return true; }
    void send(const QString &text) override;
    // Reads input while enabled.
    void setEnabled(bool enabled) override;

    // The input has ended, every line read has been handed on and every reply written.
    bool atEnd() const { return m_inputEnded && m_lines.isEmpty() && !m_delivering && m_pending.isEmpty(); }

    // The replies on the output are a copy (other peers are served), which may
    // stop when the output is not read; and the bounds of the waiting replies.
    void setOutputIsCopy(bool copy) { m_outputIsCopy = copy; }
    void setMaxQueuedBytes(qint64 bytes) { m_maxQueuedBytes = bytes; }
    void setStallTimeout(int milliseconds) { m_stallTimeoutMs = milliseconds; }
    qint64 queuedBytes() const { return m_pending.size(); }
    bool outputStopped() const { return m_outputStopped; }

signals:
    // The input has ended and its last line has been handed on.
    void inputEnded();

private:
    void readInput();
    // Queues one line read, without its line end.
    void takeLine(const QByteArray &line);
    void deliver();
    // Writes what the output takes now without blocking; true when something went.
    bool writePending();
    void waitForReader();

    int m_fd;
    FILE *m_output;
    QSocketNotifier *m_notifier = nullptr;
    bool m_inputEnded = false;
    bool m_delivering = false;
    QByteArray m_partialLine;
    bool m_discardingLine = false;
    int m_lineNumber = 0;   // line ends read so far
    QStringList m_lines;
    QByteArray m_pending;
    QSocketNotifier *m_outputNotifier = nullptr;
    bool m_outputIsCopy = false;
    bool m_outputStopped = false;
    qint64 m_maxQueuedBytes = defaultMaxQueuedBytes;
    int m_stallTimeoutMs = 15000;
};
