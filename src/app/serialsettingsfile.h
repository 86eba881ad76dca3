#pragma once

#include "remote/serialsettings.h"

#include <QString>

class FileWriter;

// The serial line's settings between runs, kept in their own small file of
// the data folder ("serial-port.ini", in the INI form QSettings reads and
// writes): the configuration file has a fixed layout with no place for them.
// The file is read only when it is a regular file (a FIFO in its place never
// holds up the start) and written through the program's file writer, whole
// or not at all.
class SerialSettingsFile
{
public:
    static QString fileName() { return QStringLiteral("serial-port.ini"); }
    // A few lines; a file far larger is none of these.
    static constexpr qint64 maxFileBytes = 64 * 1024;
    // The stored settings; a missing or unreadable file or key gives the default.
    static SerialSettings read(const QString &path);
    // False (problem saying why) when the file could not be written.
    static bool write(const QString &path, const SerialSettings &settings, FileWriter &writer,
                      QString *problem = nullptr);
};
