#include "download/normalizeddownloadregionsfinder.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const double regionBoundaries[] = {
    0, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 26, 29, 32, 35, 38, 41, 46, 52, 60, 72, 90, 110,
    137, 175, 217, 260, 330, 400, 440, 482, 500, 521, 570, 607, 622, 629, 637, 647, 655, 664, 671,
    683, 701, 715, 726, 738, 751, 772, 780, 804, 822, 836, 847, 857, 867, 877, 887, 896, 906, 919,
    937, 973, 1005, 1031, 1056, 1085, 1121, 1160, 1194, 1221, 1247, 1278, 1304, 1329, 1354, 1383,
    1419, 1460, 1510, 1570, 1650, 1705, 1760, 1860, 1930, 2000, 2050, 2090, 2150, 2220, 2275, 2335,
    2440, 2530, 2660, 2745, 2825, 2915, 2980, 3045, 3130, 3280, 3420, 3505, 3595, 3680, 3800, 3960,
    4090, 4270, 4470, 4650, 4825, 4980, 5175, 5530, 5970, 6225, 6435, 6710, 7025, 7400, 7900, 8550,
    9300, 10600, 11600, 13600, 16000, 20000, 50000};

static_assert(std::size(regionBoundaries) == NormalizedDownloadRegionsFinder::regionCount + 1,
              "one boundary more than regions");

} // namespace

NormalizedDownloadRegionsFinder::NormalizedDownloadRegionsFinder(QObject *parent)
    : QObject(parent)
{
    m_boundaries.reserve(regionCount + 1);
    for (double b : regionBoundaries)
        m_boundaries.append(b);
}

double NormalizedDownloadRegionsFinder::boundary(int index)
{
    if (index < 0 || index > regionCount)
        return 0.0;
    return regionBoundaries[index];
}

QString NormalizedDownloadRegionsFinder::fileNameOfRegion(int regionIndex)
{
    const QString lo = QString::number(std::round(boundary(regionIndex)), 'g', 6);
    const QString hi = QString::number(std::round(boundary(regionIndex + 1)), 'g', 6);
    return QString::number(regionIndex) + QLatin1String(" - ") + lo + QLatin1String(" - ") + hi
        + QLatin1String(".par");
}

int NormalizedDownloadRegionsFinder::regionIndexOfFileName(const QString &fileName)
{
    // Only names of the form written by the downloader count: anything else in the
    // folder (a temporary file of an interrupted write, a file the user put there)
    // must not make a region look present.
    if (!fileName.endsWith(QLatin1String(".par")))
        return -1;
    const QStringList parts = fileName.chopped(4).split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (parts.size() != 3)
        return -1;
    bool ok = false;
    const int index = parts.at(0).trimmed().toInt(&ok);
    if (!ok || index < 0 || index >= regionCount)
        return -1;
    return index;
}

QVector<int> NormalizedDownloadRegionsFinder::presentRegions(const QString &folder)
{
    QVector<int> present;
    if (folder.isEmpty())
        return present;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const int index = regionIndexOfFileName(name);
        if (index >= 0 && !present.contains(index))
            present.append(index);
    }
    std::sort(present.begin(), present.end());
    return present;
}

void NormalizedDownloadRegionsFinder::locate(int *first, int *last) const
{
    // Ranges reaching outside the table are clipped to it, so that no index ever
    // leaves the boundary list.
    const double start = std::isnan(m_start) ? 0.0 : m_start;
    const double end = std::isnan(m_end) ? 0.0 : m_end;
    int i = 0;
    while (i <= regionCount && m_boundaries[i] <= start)
        ++i;
    int firstRegion = i > 0 ? i - 1 : 0;
    if (firstRegion >= regionCount)
        firstRegion = regionCount;
    int j = firstRegion;
    while (j < regionCount && m_boundaries[j] < end)
        ++j;
    *first = firstRegion;
    *last = std::max(j, firstRegion);
}

void NormalizedDownloadRegionsFinder::clearLists()
{
    m_regionIndices.clear();
    m_regionFileNames.clear();
    m_regionStarts.clear();
    m_regionEnds.clear();
}

void NormalizedDownloadRegionsFinder::formRegions()
{
    m_regionIndices.clear();
    m_regionStarts.clear();
    m_regionEnds.clear();
    int first = 0;
    int last = 0;
    locate(&first, &last);
    for (int k = first; k < last; ++k) {
        m_regionIndices.append(k);
        m_regionStarts.append(m_boundaries[k]);
        m_regionEnds.append(m_boundaries[k + 1]);
    }
    if (!m_regionStarts.isEmpty()) {
        m_regionStarts.first() = std::max(m_start, m_regionStarts.first());
        m_regionEnds.last() = std::min(m_end, m_regionEnds.last());
    }
}

void NormalizedDownloadRegionsFinder::findMissingRegions()
{
    clearLists();
    const QVector<int> present = presentRegions(m_folder);
    int first = 0;
    int last = 0;
    locate(&first, &last);
    for (int k = first; k < last; ++k) {
        if (std::binary_search(present.cbegin(), present.cend(), k))
            continue;
        m_regionIndices.append(k);
        m_regionFileNames.append(fileNameOfRegion(k));
        m_regionStarts.append(m_boundaries[k]);
        m_regionEnds.append(m_boundaries[k + 1]);
    }
    emit downloadRegionsFormed();
}
