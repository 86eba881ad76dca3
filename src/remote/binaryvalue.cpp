#include "remote/binaryvalue.h"

#include <QtEndian>

namespace {

template<typename T>
double readLittleEndian(const QByteArray &payload)
{
    return double(qFromLittleEndian<T>(payload.constData()));
}

template<typename T>
QByteArray littleEndianBytes(T value)
{
    QByteArray bytes(int(sizeof(T)), Qt::Uninitialized);
    qToLittleEndian<T>(value, bytes.data());
    return bytes;
}

} // namespace

bool BinaryValue::decode(const QByteArray &payload, Command::Bytes bytes, double *value)
{
    const int size = payload.size();
    switch (bytes) {
    case Command::Bytes::Double:
        if (size != 8)
            return false;
        *value = readLittleEndian<double>(payload);
        return true;
    case Command::Bytes::Int32OrDouble:
        // The end of the range, as a double or as an int32, so that it may be
        // sent like the start.
        if (size != 8 && size != 4)
            return false;
        *value = size == 8 ? readLittleEndian<double>(payload) : readLittleEndian<qint32>(payload);
        return true;
    case Command::Bytes::Int32:
        if (size != 4)
            return false;
        *value = readLittleEndian<qint32>(payload);
        return true;
    case Command::Bytes::Int8:
    case Command::Bytes::Flag:
        if (size != 1)
            return false;
        *value = readLittleEndian<qint8>(payload);
        return true;
    case Command::Bytes::None:
        break;
    }
    return false;
}

QString BinaryValue::lengthProblem(Command::Bytes bytes)
{
    switch (bytes) {
    case Command::Bytes::Double:
        return QStringLiteral("The value must be 8 bytes long.");
    case Command::Bytes::Int32OrDouble:
        return QStringLiteral("The value must be 4 or 8 bytes long.");
    case Command::Bytes::Int32:
        return QStringLiteral("The value must be 4 bytes long.");
    case Command::Bytes::Int8:
    case Command::Bytes::Flag:
        return QStringLiteral("The value must be 1 byte long.");
    case Command::Bytes::None:
        break;
    }
    return QString();
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
