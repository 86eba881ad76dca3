#include "download/samplelines.h"

#include "download/linefilestore.h"
#include "download/locallinefeed.h"

#include <QFile>
#include <QResource>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

SampleLines::SampleLines(const QString &file, QObject *parent)
    : LineSource(parent)
    , m_file(file)
{
}

SampleLines::~SampleLines() = default;

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
    // Each molecule's lines cover a range of their own, often far narrower than
    // the whole sample's.
    std::map<int, std::pair<double, double>> ranges;
    for (const char *line = data; line < end;) {
        const char *newline = static_cast<const char *>(std::memchr(line, '\n', std::size_t(end - line)));
        const char *lineEnd = newline ? newline : end;
        int length = int(std::min<std::ptrdiff_t>(lineEnd - line, 256));
        if (length > 0 && line[length - 1] == '\r')
            --length;
        // A line counts when it is a record as a calculation reads it.
        LineRecord record;
        if (LineFileStore::parseRecord(line, length, record)) {
            const int molecule = record.molecule;
            const double wavenumber = record.wavenumber;
            auto found = ranges.find(molecule);
            if (found == ranges.end()) {
                ranges.emplace(molecule, std::make_pair(wavenumber, wavenumber));
            } else {
                found->second.first = std::min(found->second.first, wavenumber);
                found->second.second = std::max(found->second.second, wavenumber);
            }
        }
        line = lineEnd + 1;
    }
    if (ranges.empty())
        return QStringLiteral("the sample line list shipped with Kolvex");
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

void SampleLines::prepare(const LineRequest &request)
{
    m_feed = std::make_unique<LocalLineFeed>(m_recordsPerChunk);
    m_feed->useSingleFile(filePath(), request.lineStart, request.lineEnd);
    m_origin = description(request.molecules);
    // The sample lies in the program's memory: searching it reads no file.
    if (m_feed->singleFileEmpty())
        m_origin += QStringLiteral(". Your range holds none of its lines, so the spectrum is empty");
    emit ready();
}

std::unique_ptr<LineFeed> SampleLines::takeFeed()
{
    return std::move(m_feed);
}
