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
class ConsoleTransport : public Transport
{
    Q_OBJECT

public:
    // A line longer than this many bytes is dropped unread.
    static constexpr int maxLineLength = 4 * 1024 * 1024;

    ConsoleTransport(int inputFd, FILE *output, QObject *parent = nullptr);

    QString name() const override { return QStringLiteral("console"); }
    bool isConnected() const override { return true; }
    void send(const QString &text) override;
    // Reads input while enabled.
    void setEnabled(bool enabled) override;

    // The input has ended and every line read has been handed on.
    bool atEnd() const { return m_inputEnded && m_lines.isEmpty() && !m_delivering; }

private:
    void readInput();
    void deliver();

    int m_fd;
    FILE *m_output;
    QSocketNotifier *m_notifier = nullptr;
    bool m_inputEnded = false;
    bool m_delivering = false;
    QByteArray m_partialLine;
    bool m_discardingLine = false;
    QStringList m_lines;
};
