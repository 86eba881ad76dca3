#include "data/compactpartitionsums.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace {

// The form: a header, one entry per table, then the numbers of all tables.
// Numbers are stored as the machine holds them; the header's check values
// tell a file written on a machine of another byte order or number format.
constexpr char magic[8] = {'K', 'V', 'X', 'Q', 'T', 'A', 'B', '1'};
constexpr quint32 byteOrderCheck = 0x01020304u;
constexpr double numberCheck = 296.0;

struct Header
{
    char magic[8];
    quint32 byteOrder;
    quint32 tableCount;
    double number;
};

struct Entry
{
    qint32 globalId;
    quint32 valueCount;
    qint64 fileSize;
    qint64 fileModified;
    double firstTemperature;
    quint64 valueOffset;   // in numbers from the start of the numbers
};

static_assert(sizeof(Header) % sizeof(double) == 0 && sizeof(Entry) % sizeof(double) == 0,
              "the numbers start on a multiple of 8 bytes");

} // namespace

CompactPartitionSums::CompactPartitionSums(const QString &path)
{
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly) || file->size() < qint64(sizeof(Header)))
        return;
    const qint64 size = file->size();
    std::shared_ptr<const void> owner;
    const uchar *bytes = file->map(0, size);
    if (bytes) {
        owner = file;
    } else {
        auto read = std::make_shared<QByteArray>(file->readAll());
        if (read->size() != size)
            return;
        bytes = reinterpret_cast<const uchar *>(read->constData());
        owner = read;
    }
    Header header;
    std::memcpy(&header, bytes, sizeof header);
    if (std::memcmp(header.magic, magic, sizeof magic) != 0 || header.byteOrder != byteOrderCheck
        || header.number != numberCheck)
        return;
    const quint64 entriesEnd = sizeof(Header) + quint64(header.tableCount) * sizeof(Entry);
    if (entriesEnd > quint64(size))
        return;
    const quint64 numbers = (quint64(size) - entriesEnd) / sizeof(double);
    const double *values = reinterpret_cast<const double *>(bytes + entriesEnd);
    std::vector<Table> tables;
    tables.reserve(header.tableCount);
    for (quint32 i = 0; i < header.tableCount; ++i) {
        Entry entry;
        std::memcpy(&entry, bytes + sizeof(Header) + i * sizeof(Entry), sizeof entry);
        if (entry.valueCount == 0 || entry.valueOffset > numbers || entry.valueCount > numbers - entry.valueOffset)
            return;
        tables.push_back({entry.globalId, entry.fileSize, entry.fileModified, entry.firstTemperature,
                          PartitionSumTable(owner, values + entry.valueOffset, entry.valueCount)});
    }
    m_tables = std::move(tables);
}

bool CompactPartitionSums::find(int globalId, qint64 fileSize, qint64 fileModified, Table *table) const
{
    for (const Table &candidate : m_tables) {
        if (candidate.globalId == globalId && candidate.fileSize == fileSize
            && candidate.fileModified == fileModified) {
            *table = candidate;
            return true;
        }
    }
    return false;
}

bool CompactPartitionSums::write(const QString &path, const std::vector<Table> &tables)
{
    Header header;
    std::memcpy(header.magic, magic, sizeof magic);
    header.byteOrder = byteOrderCheck;
    header.tableCount = quint32(tables.size());
    header.number = numberCheck;
    QByteArray bytes(reinterpret_cast<const char *>(&header), sizeof header);
    quint64 offset = 0;
    for (const Table &table : tables) {
        const Entry entry{qint32(table.globalId), quint32(table.values.size()), table.fileSize, table.fileModified,
                          table.firstTemperature, offset};
        bytes.append(reinterpret_cast<const char *>(&entry), sizeof entry);
        offset += table.values.size();
    }
    for (const Table &table : tables)
        bytes.append(reinterpret_cast<const char *>(table.values.data()), int(table.values.size() * sizeof(double)));
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
