#pragma once

#include <QByteArray>
#include <QString>

// A file of a test's own folder, written or read whole.
class TestFile
{
public:
    // Writes `contents` to `path`; a file that cannot be opened fails the test.
    static void write(const QString &path, const QByteArray &contents);
    // The whole file, or nothing when it cannot be read.
    static QByteArray read(const QString &path);
    // A node at `path` that never ends when read: a character device of the
    // kind of /dev/zero where the test may make one, else a FIFO (which
    // blocks an opening instead). Neither is a regular file.
    static bool makeEndlessNode(const QString &path);
};
