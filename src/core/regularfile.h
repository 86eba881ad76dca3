#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QFile;

// Opens and reads the files of the data folder only when they are regular
// files. A FIFO would block the opening for ever, and a device such as
// /dev/zero reports a size of 0 and never ends; a link to either counts as
// what it points to. The size bound of read() is enforced while reading, not
// taken from the size the file system reports.
class RegularFile
{
public:
    // Opens path read-only into file when it is a regular file or a file
    // compiled into the program (":/..."); never blocks.
    // On failure problem says why, in words for the user.
    static bool open(QFile &file, const QString &path, QString *problem = nullptr);

    // The whole content of a regular file of at most maxBytes bytes.
    static bool read(const QString &path, qint64 maxBytes, QByteArray *content, QString *problem = nullptr);
};
