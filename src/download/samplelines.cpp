#include "download/samplelines.h"

#include "download/linefilestore.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>
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
    const QString path = filePath();
    LineFileStore reader;
    reader.readRange(path, 0, QFileInfo(path).size());
    if (reader.batch().empty())
        return QStringLiteral("the sample line list shipped with Kolvex");
    std::set<int> numbers;
    double lowest = reader.batch().front().wavenumber;
    double highest = lowest;
    for (const LineRecord &record : reader.batch()) {
        numbers.insert(record.molecule);
        lowest = std::min(lowest, record.wavenumber);
        highest = std::max(highest, record.wavenumber);
    }
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
