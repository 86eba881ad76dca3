#include "download/linesourcechain.h"

#include "download/hitranonlinedownloader.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/samplelines.h"
#include "download/storedregions.h"
#include "download/userlinefile.h"

#include <algorithm>
#include <cmath>

namespace {

QString general(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

LineSourceChain::LineSourceChain(const QString &sampleFile, QObject *parent)
    : LineSource(parent)
    , m_downloader(add(std::make_unique<HitranOnlineDownloader>()))
    , m_userLineFile(add(std::make_unique<UserLineFile>()))
    , m_completeCopy(add(std::make_unique<StoredRegions>(StoredRegions::Coverage::Complete)))
    , m_storedRegions(add(std::make_unique<StoredRegions>(StoredRegions::Coverage::AnyPart)))
    , m_sampleLines(add(std::make_unique<SampleLines>(sampleFile)))
{
}

LineSourceChain::~LineSourceChain()
{
    for (const auto &source : m_sources)
        source->disconnect(this);
}

void LineSourceChain::listenTo(LineSource *source)
{
    connect(source, &LineSource::ready, this, [this, source] {
        if (m_tried < m_order.size() && m_order[m_tried] == source)
            sourceReady();
    });
    connect(source, &LineSource::failed, this, [this, source](const QString &reason) {
        if (source == m_serving)
            continueBrokenSource(reason);
        else if (m_tried < m_order.size() && m_order[m_tried] == source)
            sourceFailed(reason);
    });
    connect(source, &LineSource::message, this, &LineSource::message);
    connect(source, &LineSource::note, this, &LineSource::note);
    connect(source, &LineSource::problem, this, &LineSource::problem);
}

void LineSourceChain::setUserLineFilePath(const QString &path)
{
    m_userLineFile->setPath(path);
}

void LineSourceChain::setDownloadsFolder(const QString &folder)
{
    m_downloader->setDownloadsFolder(folder);
    m_completeCopy->setFolder(folder);
    m_storedRegions->setFolder(folder);
}

QString LineSourceChain::downloadsFolder() const
{
    return m_storedRegions->folder();
}

void LineSourceChain::setRecordsPerChunk(int records)
{
    m_downloader->setRecordsPerChunk(records);
    m_userLineFile->setRecordsPerChunk(records);
    m_completeCopy->setRecordsPerChunk(records);
    m_storedRegions->setRecordsPerChunk(records);
    m_sampleLines->setRecordsPerChunk(records);
}

void LineSourceChain::setSampleLineFile(const QString &file)
{
    m_sampleLines->setFile(file);
}

int LineSourceChain::localDataStatus() const
{
    const int base = m_userLineFile->isPresent() ? 10 : 0;
    const int present = NormalizedDownloadRegionsFinder::presentRegions(downloadsFolder()).size();
    if (present >= NormalizedDownloadRegionsFinder::regionCount)
        return base + 1;
    return base + (present > 0 ? 2 : 0);
}

QString LineSourceChain::rangeProblem(double start, double end)
{
    const double lowest = NormalizedDownloadRegionsFinder::lowestWavenumber;
    const double highest = NormalizedDownloadRegionsFinder::highestWavenumber;
    if (std::isfinite(start) && std::isfinite(end) && start >= lowest && end <= highest && end > start)
        return QString();
    return QStringLiteral("The spectral range %1 - %2 cm-1 cannot be calculated: HITRAN line data "
                          "cover %3 - %4 cm-1, and the end of the range must lie above its start.")
        .arg(general(start), general(end), general(lowest), general(highest));
}

std::vector<LineSource *> LineSourceChain::orderFor(int usage) const
{
    switch (usage) {
    case HitranOnlineDownloader::CompleteUsage:
        return {m_userLineFile, m_completeCopy, m_downloader, m_storedRegions, m_sampleLines};
    case HitranOnlineDownloader::SegmentedUsage:
    case HitranOnlineDownloader::EveryTimeUsage:
    default:
        // The downloader stores the regions it fetches, or streams them, as the mode says.
        return {m_downloader, m_userLineFile, m_storedRegions, m_sampleLines};
    }
}

void LineSourceChain::prepare(const LineRequest &request)
{
    m_request = request;
    m_serving = nullptr;
    m_broken = nullptr;
    m_reasons.clear();
    m_userFileFailed = false;
    m_origin.clear();
    m_sample = false;
    m_cancelled = false;
    // The range itself is judged before it is widened: widening would hide a
    // start below zero.
    const QString problemText = rangeProblem(request.start, request.end);
    if (!problemText.isEmpty()) {
        m_order.clear();
        emit problem(problemText);
        emit failed(problemText);
        return;
    }
    m_order = orderFor(m_downloader->usage());
    m_tried = 0;
    tryNext();
}

void LineSourceChain::tryNext()
{
    if (m_cancelled || m_tried >= m_order.size()) {
        const QString reason = m_reasons.join(QLatin1Char('\n'));
        m_order.clear();
        if (m_broken) {
            m_broken->continueWith(nullptr);
            m_broken = nullptr;
            return;
        }
        emit failed(reason);
        return;
    }
    LineRequest request = m_request;
    if (m_broken)
        request.lineStart = m_brokenFrom;
    m_order[m_tried]->prepare(request);
}

void LineSourceChain::sourceReady()
{
    LineSource *source = m_order[m_tried];
    if (m_broken) {
        // The lines from where the broken source stopped come from this one.
        m_broken->continueWith(source->takeFeed());
        m_origin = m_brokenOrigin + QStringLiteral(" up to %1 cm-1, and beyond from ").arg(general(m_brokenFrom))
            + source->origin();
        m_sample = m_sample || source->isSample();
        tellFallback(m_brokenFrom);
        m_broken = nullptr;
        m_order.clear();
        return;
    }
    m_serving = source;
    m_origin = source->origin();
    m_sample = source->isSample();
    if (!m_reasons.isEmpty())
        tellFallback(m_request.lineStart);
    emit ready();
}

void LineSourceChain::sourceFailed(const QString &reason)
{
    if (!reason.isEmpty())
        m_reasons << reason;
    if (m_order[m_tried] == m_userLineFile && !reason.isEmpty())
        m_userFileFailed = true;
    ++m_tried;
    tryNext();
}

void LineSourceChain::continueBrokenSource(const QString &reason)
{
    // The sources after the one that broke off serve the rest of the range.
    const auto at = std::find(m_order.begin(), m_order.end(), m_serving);
    std::vector<LineSource *> rest(at == m_order.end() ? m_order.end() : at + 1, m_order.end());
    if (rest.empty())
        rest = orderFor(m_downloader->usage());
    rest.erase(std::remove(rest.begin(), rest.end(), m_serving), rest.end());
    m_broken = m_serving;
    m_brokenOrigin = m_origin;
    m_brokenFrom = m_serving->resumeFrom();
    m_serving = nullptr;
    m_reasons = QStringList{reason};
    m_userFileFailed = false;
    m_order = rest;
    m_tried = 0;
    tryNext();
}

void LineSourceChain::tellFallback(double from)
{
    const LineSource *source = m_order[m_tried];
    // The part of the spectrum concerned, not the wider range of its lines.
    const QString range = general(std::max(from, m_request.start)) + QStringLiteral(" - ") + general(m_request.end)
        + QStringLiteral(" cm-1");
    const QString text = m_reasons.join(QLatin1Char('\n')) + QStringLiteral("\n\nThe spectrum (") + range
        + QStringLiteral(") was calculated from ") + source->origin() + QLatin1Char('.');
    // The user's own line file that cannot serve needs their attention;
    // otherwise nothing to answer: the calculation goes on, and the user is
    // told once for each kind of replacement.
    if (m_userFileFailed)
        emit problem(text);
    else
        emit note(QStringLiteral("line data from ") + QLatin1String(source->metaObject()->className()), text);
}

std::unique_ptr<LineFeed> LineSourceChain::takeFeed()
{
    return m_serving ? m_serving->takeFeed() : nullptr;
}

void LineSourceChain::cancel()
{
    m_cancelled = true;
    if (m_tried < m_order.size())
        m_order[m_tried]->cancel();
    if (m_serving)
        m_serving->cancel();
}
