#include "data/compactpartitionsums.h"

#include "core/contenthash.h"
#include "core/filewriter.h"
#include "core/regularfile.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The form: a header, one entry per table, then the numbers of all tables.
// Numbers are stored as the machine holds them; the header's check values
// tell a file written on a machine of another byte order or number format.
// The checksum is the ContentHash of everything after the header.
constexpr char magic[8] = {'K', 'V', 'X', 'Q', 'T', 'A', 'B', '2'};
constexpr quint32 byteOrderCheck = 0x01020304u;
constexpr double numberCheck = 296.0;

struct Header
{
    char magic[8];
    quint32 byteOrder;
    quint32 tableCount;
    double number;
    quint64 checksum;
};

struct Entry
{
    qint32 globalId;
    quint32 valueCount;
    qint64 textSize;
    quint64 textHash;
    double firstTemperature;
    quint64 valueOffset;   // in numbers from the start of the numbers
};

static_assert(sizeof(Header) % sizeof(double) == 0 && sizeof(Entry) % sizeof(double) == 0,
              "the numbers start on a multiple of 8 bytes");

bool isPositiveFinite(double value)
{
    return std::isfinite(value) && value > 0.0;
}

} // namespace

CompactPartitionSums::CompactPartitionSums(const QString &path)
{
    if (!read(path))
        m_tables.clear();
}

bool CompactPartitionSums::read(const QString &path)
{
    const auto fail = [this](const QString &why) {
        m_problem = why;
        return false;
    };
    // Opened without blocking and only as a regular file: a FIFO here would
    // otherwise hold up the start for ever.
    QFile file;
    QString why;
    if (!RegularFile::open(file, path, &why))
        return fail(why);
    const qint64 size = file.size();
    if (size < qint64(sizeof(Header)))
        return fail(QStringLiteral("it is too short"));
    if (size > maxFileBytes)
        return fail(QStringLiteral("it is larger than %1 bytes").arg(maxFileBytes));
    // Read into numbers of their own, not mapped: a file changed in place
    // after its checksum was checked must not change the tables in use.
    auto buffer = std::make_shared<std::vector<double>>(std::size_t((size + 7) / 8));
    char *bytes = reinterpret_cast<char *>(buffer->data());
    qint64 got = 0;
    while (got < size) {
        const qint64 count = file.read(bytes + got, size - got);
        if (count <= 0)
            return fail(QStringLiteral("it could not be read whole"));
        got += count;
    }
    Header header;
    std::memcpy(&header, bytes, sizeof header);
    if (std::memcmp(header.magic, magic, sizeof magic) != 0 || header.byteOrder != byteOrderCheck
        || header.number != numberCheck)
        return fail(QStringLiteral("it is of another form"));
    if (ContentHash::of(bytes + sizeof(Header), std::size_t(size) - sizeof(Header)) != header.checksum)
        return fail(QStringLiteral("its checksum does not match its content"));
    const quint64 entriesEnd = sizeof(Header) + quint64(header.tableCount) * sizeof(Entry);
    if (entriesEnd > quint64(size) || (quint64(size) - entriesEnd) % sizeof(double) != 0)
        return fail(QStringLiteral("its tables do not fit its size"));
    const quint64 numbers = (quint64(size) - entriesEnd) / sizeof(double);
    const double *values = buffer->data() + entriesEnd / sizeof(double);
    std::vector<Table> tables;
    tables.reserve(header.tableCount);
    for (quint32 i = 0; i < header.tableCount; ++i) {
        Entry entry;
        std::memcpy(&entry, bytes + sizeof(Header) + i * sizeof(Entry), sizeof entry);
        if (entry.valueCount == 0 || entry.valueOffset > numbers || entry.valueCount > numbers - entry.valueOffset)
            return fail(QStringLiteral("its tables do not fit its size"));
        // The numbers are checked as those of a text are: a table that
        // would reach a calculation with Q(T) not above zero is refused.
        const double *first = values + entry.valueOffset;
        for (quint32 v = 0; v < entry.valueCount; ++v) {
            if (!isPositiveFinite(first[v]))
                return fail(QStringLiteral("the table of global number %1 holds a partition sum that is not a "
                                           "positive number").arg(entry.globalId));
        }
        if (!std::isfinite(entry.firstTemperature) || entry.firstTemperature < 0.0
            || entry.firstTemperature != std::floor(entry.firstTemperature))
            return fail(QStringLiteral("the table of global number %1 starts at no whole kelvin").arg(entry.globalId));
        tables.push_back({entry.globalId, entry.textSize, entry.textHash, entry.firstTemperature,
                          PartitionSumTable(buffer, first, entry.valueCount)});
    }
    m_tables = std::move(tables);
    return true;
}

bool CompactPartitionSums::find(int globalId, qint64 textSize, quint64 textHash, Table *table) const
{
    for (const Table &candidate : m_tables) {
        if (candidate.globalId == globalId && candidate.textSize == textSize && candidate.textHash == textHash) {
            *table = candidate;
            return true;
        }
    }
    return false;
}

bool CompactPartitionSums::write(const QString &path, const std::vector<Table> &tables, FileWriter &writer,
                                 QString *problem)
{
    Header header;
    std::memcpy(header.magic, magic, sizeof magic);
    header.byteOrder = byteOrderCheck;
    header.tableCount = quint32(tables.size());
    header.number = numberCheck;
    header.checksum = 0;
    QByteArray bytes(reinterpret_cast<const char *>(&header), sizeof header);
    quint64 offset = 0;
    for (const Table &table : tables) {
        const Entry entry{qint32(table.globalId), quint32(table.values.size()), table.textSize, table.textHash,
                          table.firstTemperature, offset};
        bytes.append(reinterpret_cast<const char *>(&entry), sizeof entry);
        offset += table.values.size();
    }
    for (const Table &table : tables)
        bytes.append(reinterpret_cast<const char *>(table.values.data()), int(table.values.size() * sizeof(double)));
    header.checksum = ContentHash::of(bytes.constData() + sizeof(Header), std::size_t(bytes.size()) - sizeof(Header));
    std::memcpy(bytes.data(), &header, sizeof header);
    if (writer.writeWhole(path, bytes))
        return true;
    if (problem)
        *problem = writer.errorString();
    return false;
}
