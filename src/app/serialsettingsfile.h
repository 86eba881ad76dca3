#pragma once

#include "remote/serialsettings.h"

#include <QString>

// The serial line's settings between runs, kept in their own small file of
// the data folder ("serial-port.ini"): the configuration file has a fixed
// layout with no place for them.
class SerialSettingsFile
{
public:
    static QString fileName() { return QStringLiteral("serial-port.ini"); }
    // The stored settings; a missing file or key gives the default.
    static SerialSettings read(const QString &path);
    static bool write(const QString &path, const SerialSettings &settings);
};
