#pragma once

#include <QByteArray>

// Runs kolvex-console (built beside the test programs) on its own fresh data
// folder, offline, feeds it `input` on standard input and collects what it
// writes to standard output.
struct ConsoleScript
{
    bool finished = false;   // started and ended within the time given
    int exitCode = -1;
    QByteArray output;

    static ConsoleScript run(const QByteArray &input, int timeoutMs);
};
