#include "download/hitranonlinedownloader.h"

#include "core/bundleddata.h"
#include "core/queuedlinefeed.h"
#include "core/settingrules.h"
#include "download/locallinefeed.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/parameterdownloads.h"
#include "download/regiondownloads.h"

#include <QPointer>

#include <algorithm>

static_assert(HitranOnlineDownloader::EveryTimeUsage + 1
                  == SettingRules::optionCount(SettingRules::Option::AccessOption),
              "every usage mode is an access option of the settings");

namespace {

const char downloadErrorText[] = "Error downloading HITRAN data.";

// The calculation's end of the regions downloaded while it runs: the
// downloader keeps the queue to put them in.
class StreamFeed : public LineFeed
{
public:
    explicit StreamFeed(std::shared_ptr<QueuedLineFeed> queue)
        : m_queue(std::move(queue))
    {
    }
    bool next(LineBatch &batch) override { return m_queue->next(batch); }
    qint64 expectedRecordCount() const override { return m_queue->expectedRecordCount(); }
    QString problem() const override { return m_queue->problem(); }
    void interrupt() override { m_queue->interrupt(); }

private:
    std::shared_ptr<QueuedLineFeed> m_queue;
};

} // namespace

HitranOnlineDownloader::HitranOnlineDownloader(QObject *parent)
    : LineSource(parent)
    , m_regions(new RegionDownloads(&m_lineFileStore, this))
    , m_parameters(new ParameterDownloads(this))
{
    BundledData::initialize();
    connect(m_regions, &RegionDownloads::notify, this, &HitranOnlineDownloader::relayNotify);
    connect(m_regions, &RegionDownloads::regionsStored, this, &HitranOnlineDownloader::regionsStored);
    connect(m_regions, &RegionDownloads::storingFailed, this, &HitranOnlineDownloader::regionsFailed);
    connect(m_regions, &RegionDownloads::runRegionArrived, this, &HitranOnlineDownloader::runRegionArrived);
    connect(m_regions, &RegionDownloads::runRegionFailed, this, &HitranOnlineDownloader::runRegionFailed);
    connect(m_parameters, &ParameterDownloads::notify, this, &HitranOnlineDownloader::relayNotify);
    connect(m_parameters, &ParameterDownloads::openOkDialog, this, &LineSource::problem);
    connect(m_parameters, &ParameterDownloads::note, this, &LineSource::note);
    connect(m_parameters, &ParameterDownloads::molparamTxtDownloadComplete, this,
            &HitranOnlineDownloader::molparamTxtDownloadComplete);
    connect(m_parameters, &ParameterDownloads::globalIdTxtDownloadComplete, this,
            &HitranOnlineDownloader::globalIdTxtDownloadComplete);
    connect(m_parameters, &ParameterDownloads::tipsDownloadComplete, this,
            &HitranOnlineDownloader::tipsDownloadComplete);
}

HitranOnlineDownloader::~HitranOnlineDownloader()
{
    if (m_stream)
        m_stream->finish();
}

// ---------------------------------------------------------------- settings

void HitranOnlineDownloader::setMolecules(const std::vector<Molecule> *molecules)
{
    m_regions->setMolecules(molecules);
    m_parameters->setMolecules(molecules);
}

void HitranOnlineDownloader::setServiceBaseUrl(const QString &url)
{
    m_regions->setServiceBaseUrl(url);
    m_parameters->setServiceHost(m_regions->serviceHost());
}

QString HitranOnlineDownloader::serviceBaseUrl() const { return m_regions->serviceBaseUrl(); }
QString HitranOnlineDownloader::serviceHost() const { return m_regions->serviceHost(); }
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

bool HitranOnlineDownloader::setUsage(int usage)
{
    if (usage < SegmentedUsage || usage > EveryTimeUsage)
        return false;
    m_usage = quint8(usage);
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

void HitranOnlineDownloader::relayNotify(const QString &text, double value, bool visible)
{
    emit message(visible ? text : QString(), value);
}

// ---------------------------------------------------------------- lines of a calculation

void HitranOnlineDownloader::prepare(const LineRequest &request)
{
    m_request = request;
    m_feed.reset();
    m_resumeFrom = request.lineStart;
    m_regions->setCancelRequested(false);
    m_regions->forgetRunRegion();
    if (m_usage == EveryTimeUsage) {
        // The calculation reads the regions as they arrive; it asks for the
        // next one when it takes one.
        m_job = Job::Stream;
        m_regions->formRunRegions(request.lineStart, request.lineEnd);
        const QPointer<HitranOnlineDownloader> self(this);
        m_stream = std::make_shared<QueuedLineFeed>([self] {
            QMetaObject::invokeMethod(self, [self] {
                if (self)
                    self->askForRunRegion();
            }, Qt::QueuedConnection);
        });
        m_feed = std::make_unique<StreamFeed>(m_stream);
        emit ready();
        return;
    }
    m_job = Job::Calculation;
    m_regions->fetchMissing(request.lineStart, request.lineEnd);
}

std::unique_ptr<LineFeed> HitranOnlineDownloader::takeFeed()
{
    return std::move(m_feed);
}

QString HitranOnlineDownloader::origin() const
{
    if (m_usage == EveryTimeUsage)
        return QStringLiteral("HITRANonline (%1), downloaded for this calculation").arg(m_regions->serviceHost());
    return QStringLiteral("the HITRAN regions stored on this device");
}

void HitranOnlineDownloader::cancel()
{
    m_regions->setCancelRequested(true);
}

void HitranOnlineDownloader::continueWith(std::unique_ptr<LineFeed> rest)
{
    if (m_stream)
        m_stream->continueWith(std::move(rest));
    m_stream.reset();
    m_job = Job::None;
}

void HitranOnlineDownloader::downloadCompleteHitran()
{
    if (m_regions->isBusy())
        return;
    m_job = Job::CompleteDownload;
    m_regions->setCancelRequested(false);
    m_regions->fetchMissing(NormalizedDownloadRegionsFinder::lowestWavenumber,
                            NormalizedDownloadRegionsFinder::highestWavenumber);
}

void HitranOnlineDownloader::regionsStored()
{
    const Job job = m_job;
    m_job = Job::None;
    if (job == Job::CompleteDownload) {
        emit completeDownloadEnded();
        return;
    }
    if (job != Job::Calculation)
        return;
    auto feed = std::make_unique<LocalLineFeed>(m_recordsPerChunk);
    feed->useRegionFiles(downloadsFolder(), m_request.lineStart, m_request.lineEnd);
    m_feed = std::move(feed);
    emit ready();
}

void HitranOnlineDownloader::regionsFailed(const QString &reason)
{
    const Job job = m_job;
    m_job = Job::None;
    const QString text = QLatin1String(downloadErrorText) + QLatin1Char('\n') + reason;
    if (job == Job::CompleteDownload) {
        emit problem(text);
        emit completeDownloadEnded();
        return;
    }
    if (job == Job::Calculation)
        emit failed(text);
}

void HitranOnlineDownloader::askForRunRegion()
{
    if (m_job != Job::Stream || !m_stream)
        return;
    if (!m_regions->requestNextRunRegion()) {
        emit message(QString(), 0.0);
        m_stream->finish();
        m_stream.reset();
        m_job = Job::None;
    }
}

void HitranOnlineDownloader::runRegionArrived()
{
    if (m_job != Job::Stream || !m_stream)
        return;
    LineBatch batch;
    batch.swap(m_lineFileStore.batch());
    // Lines downloaded during the calculation are not counted before they arrive.
    m_stream->push(std::move(batch), 0);
}

void HitranOnlineDownloader::runRegionFailed(const QString &reason, double from)
{
    if (m_job != Job::Stream)
        return;
    // The rest of the range must come from elsewhere: the chain of line
    // sources hands it on through continueWith().
    m_resumeFrom = from;
    emit failed(reason);
}
