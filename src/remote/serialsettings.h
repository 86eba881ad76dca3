#pragma once

#include <QString>

// The settings of the serial line: the port by its name, and its framing as
// QSerialPort numbers them.
struct SerialSettings
{
    QString portName;             // empty: none chosen
    int baudRate = 115200;
    int dataBits = 8;             // 5 to 8
    int parity = 0;               // 0 none, 2 even, 3 odd, 4 space, 5 mark
    int stopBits = 1;             // 1 one, 3 one and a half, 2 two

    bool operator==(const SerialSettings &other) const
    {
        return portName == other.portName && baudRate == other.baudRate && dataBits == other.dataBits
            && parity == other.parity && stopBits == other.stopBits;
    }
    bool operator!=(const SerialSettings &other) const { return !(*this == other); }
};
