#include "download/samplelines.h"

#include "download/linefilestore.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

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
    // Each molecule's lines cover a range of their own, often far narrower than
    // the whole sample's.
    std::map<int, std::pair<double, double>> ranges;
    for (const LineRecord &record : reader.batch()) {
        auto found = ranges.find(record.molecule);
        if (found == ranges.end()) {
            ranges.emplace(record.molecule, std::make_pair(record.wavenumber, record.wavenumber));
            continue;
        }
        found->second.first = std::min(found->second.first, record.wavenumber);
        found->second.second = std::max(found->second.second, record.wavenumber);
    }
    QStringList covered;
    for (const auto &entry : ranges) {
        const int number = entry.first;
        const bool known = molecules && number >= 1 && number <= int(molecules->size())
            && !(*molecules)[size_t(number - 1)].name.isEmpty();
        const QString name = known ? (*molecules)[size_t(number - 1)].name : QStringLiteral("molecule %1").arg(number);
        covered.append(QStringLiteral("%1 %2-%3 cm-1")
                           .arg(name, QString::number(std::floor(entry.second.first), 'g', 6),
                                QString::number(std::ceil(entry.second.second), 'g', 6)));
    }
    m_description = QStringLiteral("the small sample line list shipped with Kolvex. It is not the "
                                   "HITRAN database: it holds only lines of %1; it lacks most minor "
                                   "isotopologues and every other molecule and range")
                        .arg(covered.join(QLatin1String(", ")));
    return m_description;
}
