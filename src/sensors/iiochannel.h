#pragma once

#include <QString>

#include <optional>

// One measured channel of a Linux Industrial I/O device, read from its sysfs
// files: "<kind>_input" holds the value itself, "<kind>_raw" a raw count that
// becomes (raw + offset) x scale with the channel's "_offset" and "_scale"
// files (or those the device shares among its channels of that kind). The
// value is in the kernel's units: kPa, milli-degrees Celsius, milli-percent.
class IioChannel
{
public:
    IioChannel() = default;

    // The channel of `kind` ("pressure", "humidityrelative", "temp") in the
    // device folder, the first by index when there are several; an invalid
    // channel when the device has none.
    static IioChannel find(const QString &deviceFolder, const QString &kind);

    bool isValid() const { return !m_valuePath.isEmpty(); }
    QString valuePath() const { return m_valuePath; }

    // The current value; none when a file cannot be read or does not hold a
    // finite number. Blocks as long as the driver takes to answer (for ever on
    // a FIFO nothing writes), so it is called off the main thread (IioReader).
    std::optional<double> read() const;

private:
    QString m_valuePath;
    QString m_scalePath;    // empty: scale 1
    QString m_offsetPath;   // empty: offset 0
    bool m_raw = false;
};
