#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// Runs kolvex-console (built beside the test programs) on its own fresh data
// folder, offline, feeds it `input` on standard input and collects what it
// writes to standard output.
struct ConsoleScript
{
    bool finished = false;   // started and ended within the time given
    int exitCode = -1;
    QByteArray output;

    static ConsoleScript run(const QByteArray &input, int timeoutMs);

    // The messages of a script file, one a line; empty lines and lines that
    // start with "--" (comments) are left out. Empty when it cannot be read.
    static QList<QByteArray> scriptLines(const QString &path);

    // Sends each message (as `toSend` makes it from its script line) followed
    // by a marker command whose refusal ends that message's replies, and
    // splits the output there: replies[i] holds everything message i caused.
    // `problem` says what went wrong, empty when the console ran and every
    // marker came back; `rest` is what followed the last marker.
    struct Replies
    {
        QString problem;
        QList<QByteArray> replies;
        QByteArray rest;
    };
    static Replies runMarked(const QList<QByteArray> &messages, int timeoutMs,
                             const std::function<QByteArray(const QByteArray &)> &toSend = {});

    // Compares a transcript line by line with the recording at `path`, after
    // writing it to `recordTo` when that is not empty (to make a new
    // recording). The first differing line, or the differing length, in words;
    // empty when they agree.
    static QString recordingDifference(const QByteArray &transcript, const QString &path,
                                       const QString &recordTo = QString());
};
