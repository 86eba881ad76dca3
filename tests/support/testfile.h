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
};
