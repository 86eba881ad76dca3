#pragma once

#include "remote/command.h"

#include <QByteArray>

// The little-endian bytes of the binary command forms.
class BinaryValue
{
public:
    // The value of a set payload; a payload shorter than its type reads as 0
    // and bytes beyond it are ignored.
    static double decode(const QByteArray &payload, Command::Bytes bytes);
    // The reply bytes of a value (int8 values go out as int32); none for Bytes::None.
    static QByteArray encode(double value, Command::Bytes bytes);
};
