#pragma once

#include "remote/command.h"

#include <QByteArray>
#include <QString>

// The little-endian bytes of the binary command forms.
class BinaryValue
{
public:
    // The value of a set payload; false when the payload is not exactly as long
    // as its type (a short payload would otherwise read as 0).
    static bool decode(const QByteArray &payload, Command::Bytes bytes, double *value);
    // The refusal of a payload of the wrong length.
    static QString lengthProblem(Command::Bytes bytes);
    // The reply bytes of a value (int8 values go out as int32); none for Bytes::None.
    static QByteArray encode(double value, Command::Bytes bytes);
};
