#include "remote/binaryvalue.h"

#include <QtEndian>

namespace {

template<typename T>
T readLittleEndian(const QByteArray &payload)
{
    if (payload.size() < int(sizeof(T)))
        return T(0);
    return qFromLittleEndian<T>(payload.constData());
}

template<typename T>
QByteArray littleEndianBytes(T value)
{
    QByteArray bytes(int(sizeof(T)), Qt::Uninitialized);
    qToLittleEndian<T>(value, bytes.data());
    return bytes;
}

} // namespace

double BinaryValue::decode(const QByteArray &payload, Command::Bytes bytes)
{
    switch (bytes) {
    case Command::Bytes::Double:
        return readLittleEndian<double>(payload);
    case Command::Bytes::Int32OrDouble:
        // The end of the range, taken as a double when the payload is long
        // enough for one, so that it is symmetric with the start.
        if (payload.size() >= 8)
            return readLittleEndian<double>(payload);
        return readLittleEndian<qint32>(payload);
    case Command::Bytes::Int32:
        return readLittleEndian<qint32>(payload);
    case Command::Bytes::Int8:
    case Command::Bytes::Flag:
        return readLittleEndian<qint8>(payload);
    case Command::Bytes::None:
        break;
    }
    return 0.0;
}

QByteArray BinaryValue::encode(double value, Command::Bytes bytes)
{
    switch (bytes) {
    case Command::Bytes::Double:
        return littleEndianBytes<double>(value);
    case Command::Bytes::Int32:
    case Command::Bytes::Int32OrDouble:
    case Command::Bytes::Int8:
        return littleEndianBytes<qint32>(qint32(value));
    case Command::Bytes::Flag:
        return QByteArray(1, value != 0.0 ? '\1' : '\0');
    case Command::Bytes::None:
        break;
    }
    return QByteArray();
}
