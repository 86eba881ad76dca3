#include "download/hitranonlinedownloader.h"

#include "core/bundleddata.h"
#include "core/settingrules.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/parameterdownloads.h"
#include "download/regiondownloads.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

static_assert(HitranOnlineDownloader::EveryTimeUsage + 1
                  == SettingRules::optionCount(SettingRules::Option::AccessOption),
              "every usage mode is an access option of the settings");

namespace {

QString general(double value)
{
    return QString::number(value, 'g', 6);
}

const char downloadErrorText[] = "Error downloading HITRAN data.";

} // namespace

HitranOnlineDownloader::HitranOnlineDownloader(QObject *parent)
    : LineSource(parent)
    , m_sample(BundledData::sampleLineFile())
    , m_regions(new RegionDownloads(&m_lineFileStore, this))
    , m_parameters(new ParameterDownloads(this))
{
    BundledData::initialize();
    connect(m_regions, &RegionDownloads::notify, this, &LineSource::notify);
    connect(m_regions, &RegionDownloads::regionsStored, this, &LineSource::hitranDownloadComplete);
    connect(m_regions, &RegionDownloads::storingFailed, this, &HitranOnlineDownloader::regionsFailed);
    connect(m_regions, &RegionDownloads::runRegionArrived, this, &LineSource::dataAvailable);
    connect(m_regions, &RegionDownloads::runRegionFailed, this, &HitranOnlineDownloader::runRegionFailed);
    connect(m_parameters, &ParameterDownloads::notify, this, &LineSource::notify);
    connect(m_parameters, &ParameterDownloads::openOkDialog, this, &LineSource::openOkDialog);
    connect(m_parameters, &ParameterDownloads::note, this, &LineSource::note);
    connect(m_parameters, &ParameterDownloads::molparamTxtDownloadComplete, this,
            &HitranOnlineDownloader::molparamTxtDownloadComplete);
    connect(m_parameters, &ParameterDownloads::globalIdTxtDownloadComplete, this,
            &HitranOnlineDownloader::globalIdTxtDownloadComplete);
    connect(m_parameters, &ParameterDownloads::tipsDownloadComplete, this,
            &HitranOnlineDownloader::tipsDownloadComplete);
}

HitranOnlineDownloader::~HitranOnlineDownloader() = default;

// ---------------------------------------------------------------- settings

void HitranOnlineDownloader::setMolecules(std::vector<Molecule> *molecules)
{
    m_molecules = molecules;
    m_regions->setMolecules(molecules);
    m_parameters->setMolecules(molecules);
}

void HitranOnlineDownloader::setCancelRequested(bool cancel)
{
    m_regions->setCancelRequested(cancel);
    QCoreApplication::processEvents();
}

bool HitranOnlineDownloader::cancelRequested() const { return m_regions->cancelRequested(); }

void HitranOnlineDownloader::setServiceBaseUrl(const QString &url)
{
    m_regions->setServiceBaseUrl(url);
    m_parameters->setServiceHost(m_regions->serviceHost());
}

QString HitranOnlineDownloader::serviceBaseUrl() const { return m_regions->serviceBaseUrl(); }
void HitranOnlineDownloader::setLoginUrl(const QString &url) { m_regions->setLoginUrl(url); }
void HitranOnlineDownloader::setLoginUserName(const QString &userName) { m_regions->setLoginUserName(userName); }
void HitranOnlineDownloader::setLoginPassword(const QString &password) { m_regions->setLoginPassword(password); }
void HitranOnlineDownloader::setAllowInsecureLogin(bool allow) { m_regions->setAllowInsecureLogin(allow); }
void HitranOnlineDownloader::setLoginFirst(bool loginFirst) { m_regions->setLoginFirst(loginFirst); }
bool HitranOnlineDownloader::loginFirst() const { return m_regions->loginFirst(); }
void HitranOnlineDownloader::setDataFolder(const QString &folder) { m_parameters->setDataFolder(folder); }
void HitranOnlineDownloader::setMolparamUrl(const QString &url) { m_parameters->setMolparamUrl(url); }
void HitranOnlineDownloader::setGlobalIdUrl(const QString &url) { m_parameters->setGlobalIdUrl(url); }
void HitranOnlineDownloader::setTipsBaseUrl(const QString &url) { m_parameters->setTipsBaseUrl(url); }
void HitranOnlineDownloader::setTipsFolder(const QString &folder) { m_parameters->setTipsFolder(folder); }
void HitranOnlineDownloader::downloadMolparam() { m_parameters->downloadMolparam(); }
void HitranOnlineDownloader::downloadGlobalId() { m_parameters->downloadGlobalId(); }
void HitranOnlineDownloader::downloadTips() { m_parameters->downloadTips(); }
bool HitranOnlineDownloader::lastTipsDownloadSucceeded() const { return m_parameters->lastTipsDownloadSucceeded(); }
bool HitranOnlineDownloader::isDownloading() const { return m_regions->isBusy(); }

QString HitranOnlineDownloader::lineQueryUrl(double start, double end) const
{
    return m_regions->lineQueryUrl(start, end);
}

void HitranOnlineDownloader::setMainDataFolder(const QString &folder)
{
    m_mainDataFolder = folder;
    m_lineFileStore.setCumulativeFilePath(cumulativeFilePath());
}

void HitranOnlineDownloader::setCumulativeFileName(const QString &name)
{
    m_cumulativeFileName = name;
    m_lineFileStore.setCumulativeFilePath(cumulativeFilePath());
}

QString HitranOnlineDownloader::cumulativeFilePath() const
{
    if (m_mainDataFolder.isEmpty() || m_cumulativeFileName.isEmpty())
        return QString();
    return m_mainDataFolder + QLatin1Char('/') + m_cumulativeFileName;
}

bool HitranOnlineDownloader::setUsage(int usage)
{
    if (usage < SegmentedUsage || usage > EveryTimeUsage)
        return false;
    m_usage = quint8(usage);
    m_lineFileStore.setCumulativeFilePath(cumulativeFilePath());
    return true;
}

void HitranOnlineDownloader::setRecordsPerChunk(int records)
{
    m_recordsPerChunk = std::max(1, records);
}

void HitranOnlineDownloader::setNetworkTimeout(int milliseconds)
{
    const int timeout = std::max(1, milliseconds);
    m_regions->setTimeout(timeout);
    m_parameters->setTimeout(timeout);
}

void HitranOnlineDownloader::setRequestTimeLimit(int milliseconds)
{
    const int limit = std::max(1, milliseconds);
    m_regions->setTimeLimit(limit);
    m_parameters->setTimeLimit(limit);
}

void HitranOnlineDownloader::setMaxLineReplyBytes(qint64 bytes)
{
    m_regions->setMaxReplyBytes(bytes);
}

void HitranOnlineDownloader::setTipsRunTimeLimit(int milliseconds)
{
    m_parameters->setTipsRunTimeLimit(milliseconds);
}

void HitranOnlineDownloader::setFileWriter(FileWriter *writer)
{
    m_regions->setFileWriter(writer);
    m_parameters->setFileWriter(writer);
}

// ---------------------------------------------------------------- status and queries

int HitranOnlineDownloader::localDataStatus() const
{
    const QString cumulative = cumulativeFilePath();
    // Anything by that name counts, a FIFO, a device or a folder too: whether
    // it can serve is judged when it is used, and the user is told why not.
    const QFileInfo file(cumulative);
    const int base = !cumulative.isEmpty() && (file.exists() || file.isSymLink()) ? 10 : 0;
    const int present = NormalizedDownloadRegionsFinder::presentRegions(downloadsFolder()).size();
    if (present >= NormalizedDownloadRegionsFinder::regionCount)
        return base + 1;
    return base + (present > 0 ? 2 : 0);
}

QString HitranOnlineDownloader::rangeProblem(double start, double end)
{
    const double lowest = NormalizedDownloadRegionsFinder::lowestWavenumber;
    const double highest = NormalizedDownloadRegionsFinder::highestWavenumber;
    if (std::isfinite(start) && std::isfinite(end) && start >= lowest && end <= highest && end > start)
        return QString();
    return QStringLiteral("The spectral range %1 - %2 cm-1 cannot be calculated: HITRAN line data "
                          "cover %3 - %4 cm-1, and the end of the range must lie above its start.")
        .arg(general(start), general(end), general(lowest), general(highest));
}

double HitranOnlineDownloader::lineRangeStart() const
{
    return std::max(NormalizedDownloadRegionsFinder::lowestWavenumber, m_calcStart - lineReach());
}

double HitranOnlineDownloader::lineRangeEnd() const
{
    return std::min(NormalizedDownloadRegionsFinder::highestWavenumber, m_calcEnd + lineReach());
}

// ---------------------------------------------------------------- region downloads

void HitranOnlineDownloader::fetchForCalculation()
{
    m_forCalculation = true;
    m_fallbackPending = false;
    m_fallbackReason.clear();
    // The range itself is judged before it is widened: widening would hide a
    // start below zero.
    const QString problem = rangeProblem(m_calcStart, m_calcEnd);
    if (!problem.isEmpty()) {
        emit openOkDialog(problem);
        emit hitranDownloadUnsuccessful();
        return;
    }
    // Lines just outside the range reach into it with their wings: their
    // regions are fetched too.
    fetchMissingRegions(loginFirst(), lineRangeStart(), lineRangeEnd());
}

void HitranOnlineDownloader::downloadCompleteHitran()
{
    if (m_regions->isBusy())
        return;
    m_forCalculation = false;
    fetchMissingRegions(loginFirst(), NormalizedDownloadRegionsFinder::lowestWavenumber,
                        NormalizedDownloadRegionsFinder::highestWavenumber);
}

void HitranOnlineDownloader::fetchMissingRegions(bool loginFirst, double start, double end)
{
    const QString problem = rangeProblem(start, end);
    if (!problem.isEmpty()) {
        emit openOkDialog(problem);
        emit hitranDownloadUnsuccessful();
        return;
    }
    m_regions->setLoginFirst(loginFirst);
    const int status = localDataStatus();
    if ((m_usage == CompleteUsage && (status == 1 || status >= 10)) || m_usage == EveryTimeUsage) {
        emit hitranDownloadComplete();
        return;
    }
    m_regions->fetchMissing(start, end);
}

void HitranOnlineDownloader::regionsFailed(const QString &reason)
{
    const QString text = QLatin1String(downloadErrorText) + QLatin1Char('\n') + reason;
    if (!m_forCalculation) {
        emit openOkDialog(text);
        emit hitranDownloadUnsuccessful();
        return;
    }
    // The calculation still runs, from local lines; prepareLineData() chooses them
    // and tells the user.
    m_fallbackPending = true;
    m_fallbackReason = text;
    emit hitranDownloadComplete();
}

void HitranOnlineDownloader::runRegionFailed(const QString &reason, double from)
{
    // The rest of the range comes from local lines, which the engine's thread
    // reads itself.
    const QString downloaded = m_lineDataOrigin;
    useFallbackLines(reason, from, lineRangeEnd());
    m_lineDataOrigin = downloaded + QStringLiteral(" up to %1 cm-1, and beyond from ").arg(general(from))
        + m_lineDataOrigin;
    m_lineFileStore.clearBatch();
    emit lineFeedReady();
}

void HitranOnlineDownloader::hideBanner()
{
    emit notify(QString(), 0.0, false, true);
}

// ---------------------------------------------------------------- feeding the engine

QString HitranOnlineDownloader::cumulativeFileProblem() const
{
    const QString problem = LineFileStore::lineFileProblem(cumulativeFilePath());
    if (problem.isEmpty())
        return QString();
    return QStringLiteral("Your line file %1 cannot be used: %2.").arg(m_cumulativeFileName, problem);
}

void HitranOnlineDownloader::useFallbackLines(const QString &reason, double start, double end)
{
    m_source = Source::Files;
    QString why = reason;
    bool cumulative = localDataStatus() >= 10;
    bool ownFileUnusable = false;
    if (cumulative) {
        const QString problem = cumulativeFileProblem();
        cumulative = problem.isEmpty();
        ownFileUnusable = !cumulative;
        if (!cumulative && !why.contains(problem))
            why += QLatin1Char('\n') + problem;
    }
    QString origin;
    QString kind;
    newFeed();
    if (cumulative) {
        m_feed->useSingleFile(cumulativeFilePath(), start, end, m_cumulativeFileName);
        origin = QStringLiteral("the line file %1 on this device").arg(m_cumulativeFileName);
        kind = QStringLiteral("line file");
    } else if (m_feed->useRegionFiles(downloadsFolder(), start, end)) {
        origin = QStringLiteral("the HITRAN regions stored earlier on this device; they may not cover "
                                "the whole range");
        kind = QStringLiteral("stored regions");
    } else {
        m_feed->useSingleFile(m_sample.filePath(), start, end);
        m_usesSample = true;
        origin = m_sample.description(m_molecules);
        // The sample lies in the program's memory: searching it reads no file.
        if (m_feed->singleFileEmpty())
            origin += QStringLiteral(". Your range holds none of its lines, so the spectrum is empty");
        kind = QStringLiteral("sample");
    }
    m_lineDataOrigin = origin;
    // The part of the spectrum concerned, not the wider range of its lines.
    const QString range = general(std::max(start, m_calcStart)) + QStringLiteral(" - ")
        + general(std::min(end, m_calcEnd)) + QStringLiteral(" cm-1");
    const QString text
        = why + QStringLiteral("\n\nThe spectrum (") + range + QStringLiteral(") was calculated from ") + origin + QLatin1Char('.');
    // The user's own line file that cannot serve needs their attention;
    // otherwise nothing to answer: the calculation goes on, and the user is
    // told once for each kind of replacement.
    if (ownFileUnusable)
        emit openOkDialog(text);
    else
        emit note(QStringLiteral("line data from ") + kind, text);
}

void HitranOnlineDownloader::prepareLineData()
{
    m_lineFileStore.clearBatch();
    m_source = Source::None;
    m_usesSample = false;
    m_feed.reset();
    m_regions->forgetRunRegion();
    if (m_fallbackPending) {
        m_fallbackPending = false;
        useFallbackLines(m_fallbackReason, lineRangeStart(), lineRangeEnd());
        return;
    }
    const int status = localDataStatus();
    if (m_usage == EveryTimeUsage) {
        m_regions->formRunRegions(lineRangeStart(), lineRangeEnd());
        m_source = Source::RegionDownloads;
        m_lineDataOrigin
            = QStringLiteral("HITRANonline (%1), downloaded for this calculation").arg(m_regions->serviceHost());
    } else if (m_usage == CompleteUsage && status >= 10 && !cumulativeFileProblem().isEmpty()) {
        useFallbackLines(cumulativeFileProblem(), lineRangeStart(), lineRangeEnd());
    } else if (m_usage == CompleteUsage && status >= 10) {
        m_source = Source::Files;
        newFeed();
        m_feed->useSingleFile(cumulativeFilePath(), lineRangeStart(), lineRangeEnd(), m_cumulativeFileName);
        m_lineDataOrigin = QStringLiteral("the line file %1 on this device").arg(m_cumulativeFileName);
    } else if (m_usage == SegmentedUsage || status == 1 || status == 2) {
        m_source = Source::Files;
        newFeed();
        m_feed->useRegionFiles(downloadsFolder(), lineRangeStart(), lineRangeEnd());
        m_lineDataOrigin = QStringLiteral("the HITRAN regions stored on this device");
    } else {
        useFallbackLines(QStringLiteral("No HITRAN line data are stored on this device for offline use."),
                         lineRangeStart(), lineRangeEnd());
    }
}

void HitranOnlineDownloader::newFeed()
{
    m_feed = std::make_unique<LocalLineFeed>(m_recordsPerChunk);
}

std::unique_ptr<LineFeed> HitranOnlineDownloader::takeLineFeed()
{
    return std::move(m_feed);
}

qint64 HitranOnlineDownloader::expectedRecordCount() const
{
    // Lines downloaded during the calculation are not counted before they arrive.
    if (m_source == Source::RegionDownloads || !m_feed)
        return 0;
    return m_feed->expectedRecordCount();
}

// The lines of the files read on the caller's thread, for a caller that asks
// for them batch by batch instead of taking the feed.
void HitranOnlineDownloader::readNextFromFiles()
{
    if (m_feed && m_feed->next(m_lineFileStore.batch())) {
        emit dataAvailable();
        return;
    }
    m_lineFileStore.clearBatch();
    hideBanner();
    if (m_feed && !m_feed->problem().isEmpty())
        emit openOkDialog(m_feed->problem());
    emit noMoreDataAvailable();
}

void HitranOnlineDownloader::requestNextChunk()
{
    if (m_source == Source::RegionDownloads) {
        if (m_regions->requestNextRunRegion())
            return;
        m_lineFileStore.clearBatch();
        hideBanner();
        emit noMoreDataAvailable();
        return;
    }
    readNextFromFiles();
}
