#include "download/storedregions.h"

#include "download/locallinefeed.h"
#include "download/normalizeddownloadregionsfinder.h"

StoredRegions::StoredRegions(Coverage coverage, QObject *parent)
    : LineSource(parent)
    , m_coverage(coverage)
{
}

StoredRegions::~StoredRegions() = default;

void StoredRegions::prepare(const LineRequest &request)
{
    m_feed.reset();
    if (m_coverage == Coverage::Complete
        && NormalizedDownloadRegionsFinder::presentRegions(m_folder).size() < NormalizedDownloadRegionsFinder::regionCount) {
        emit failed(QString());
        return;
    }
    auto feed = std::make_unique<LocalLineFeed>(m_recordsPerChunk);
    if (!feed->useRegionFiles(m_folder, request.lineStart, request.lineEnd)) {
        emit failed(QString());
        return;
    }
    m_feed = std::move(feed);
    emit ready();
}

std::unique_ptr<LineFeed> StoredRegions::takeFeed()
{
    return std::move(m_feed);
}

QString StoredRegions::origin() const
{
    if (m_coverage == Coverage::Complete)
        return QStringLiteral("the HITRAN regions stored on this device");
    return QStringLiteral("the HITRAN regions stored earlier on this device; they may not cover the whole range");
}
