#include "download/samplelines.h"

#include "download/linefilestore.h"

#include <QFile>
#include <QResource>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

SampleLines::SampleLines(const QString &file)
    : m_file(file)
{
}

void SampleLines::setFile(const QString &file)
{
    m_file = file;
    m_description.clear();
    m_copy.reset();
}

QString SampleLines::filePath()
{
    if (!m_file.startsWith(QLatin1Char(':')))
        return m_file;
    // A sample kept uncompressed in the program is read where it is.
    if (QResource(m_file).compressionAlgorithm() == QResource::NoCompression)
        return m_file;
    if (m_copy)
        return m_copy->fileName();
    QFile resource(m_file);
    auto copy = std::make_unique<QTemporaryFile>();
    if (!resource.open(QIODevice::ReadOnly) || !copy->open() || copy->write(resource.readAll()) != resource.size()
        || !copy->flush())
        return m_file;
    m_copy = std::move(copy);
    return m_copy->fileName();
}

QString SampleLines::description(const std::vector<Molecule> *molecules)
{
    if (!m_description.isEmpty())
        return m_description;
    // The molecules and the range are taken from the text itself, mapped where
    // it can be (the sample is 90 000 lines; no record is kept).
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the sample line list shipped with Kolvex");
    QByteArray read;
    const char *data = reinterpret_cast<const char *>(file.map(0, file.size()));
    if (!data) {
        read = file.readAll();
        data = read.constData();
    }
    const char *const end = data + file.size();
    std::set<int> numbers;
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    for (const char *line = data; line < end;) {
        const char *newline = static_cast<const char *>(std::memchr(line, '\n', std::size_t(end - line)));
        const char *lineEnd = newline ? newline : end;
        int length = int(std::min<std::ptrdiff_t>(lineEnd - line, 256));
        if (length > 0 && line[length - 1] == '\r')
            --length;
        // A line is a record as LineFileStore::parseRecord() takes it: a molecule,
        // an isotopologue and a position.
        double wavenumber = 0.0;
        const int molecule = LineRecordFields::parseInt(line, length, 0, 2);
        const int isotopologue = length > 2 ? LineRecordFields::parseIsotopologue(line[2]) : 0;
        if (molecule > 0 && isotopologue > 0 && LineRecordFields::parseDouble(line, length, 3, 12, &wavenumber)) {
            numbers.insert(molecule);
            lowest = std::min(lowest, wavenumber);
            highest = std::max(highest, wavenumber);
        }
        line = lineEnd + 1;
    }
    if (numbers.empty())
        return QStringLiteral("the sample line list shipped with Kolvex");
    QStringList names;
    for (int number : numbers) {
        const bool known = molecules && number >= 1 && number <= int(molecules->size())
            && !(*molecules)[size_t(number - 1)].name.isEmpty();
        names.append(known ? (*molecules)[size_t(number - 1)].name : QStringLiteral("molecule %1").arg(number));
    }
    QString list = names.join(QLatin1String(", "));
    const int comma = list.lastIndexOf(QLatin1String(", "));
    if (comma >= 0)
        list.replace(comma, 2, QLatin1String(" and "));
    m_description = QStringLiteral("the small sample line list shipped with Kolvex. It is not the "
                                   "HITRAN database: it holds only lines of %1 between %2 and %3 cm-1, "
                                   "and lacks most minor isotopologues and every other molecule")
                        .arg(list, QString::number(std::floor(lowest), 'g', 6),
                             QString::number(std::ceil(highest), 'g', 6));
    return m_description;
}
