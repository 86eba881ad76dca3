#include "download/hitranonlinedownloader.h"

#include "core/bundleddata.h"
#include "core/settingrules.h"
#include "download/filedownloader.h"
#include "download/hitranrequestdata.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/serverlogin.h"
#include "download/tipsfilesdownloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

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
    , m_loginQueryPath(QStringLiteral("/lbl/5?output_format_id=1&iso_ids_list="))
    , m_apiQueryPath(QStringLiteral("/lbl/api?iso_ids_list="))
    , m_sampleLineFile(BundledData::sampleLineFile())
    , m_login(new ServerLogin(this))
    , m_request(new HitranRequestData(this))
    , m_regionFinder(new NormalizedDownloadRegionsFinder(this))
    , m_fileDownloader(new FileDownloader(this))
    , m_tipsDownloader(new TipsFilesDownloader(this))
{
    BundledData::initialize();
    // The login shares the network manager of the requests, so that the session
    // cookie it receives goes with every line-data request.
    m_login->setNetworkManager(m_request->networkManager());
    connect(m_login, &ServerLogin::authenticationSuccessful, this,
            &HitranOnlineDownloader::authenticationComplete);
    connect(m_login, &ServerLogin::authenticationFailed, this,
            &HitranOnlineDownloader::authenticationFailed);
    connect(m_request, &HitranRequestData::hitranDataReturned, this,
            &HitranOnlineDownloader::processServerReturnedData);
    connect(m_fileDownloader, &FileDownloader::dataDownloaded, this,
            &HitranOnlineDownloader::molparamDownloaded);
    connect(m_tipsDownloader, &TipsFilesDownloader::notify, this, &HitranOnlineDownloader::notify);
    connect(m_tipsDownloader, &TipsFilesDownloader::tipsFilesDownloaded, this,
            &HitranOnlineDownloader::tipsFilesDownloaded);
    connect(m_regionFinder, &NormalizedDownloadRegionsFinder::downloadRegionsFormed, this,
            &HitranOnlineDownloader::sendInitialDownloadRequest);
}

HitranOnlineDownloader::~HitranOnlineDownloader() = default;

// ---------------------------------------------------------------- settings

void HitranOnlineDownloader::setMolecules(std::vector<Molecule> *molecules)
{
    m_molecules = molecules;
    m_tipsDownloader->setMolecules(molecules);
}

void HitranOnlineDownloader::setCancelRequested(bool cancel)
{
    m_cancelRequested = cancel;
    // A transfer in progress is given up at once instead of running to its end
    // or its time limit; its reply then ends the sequence.
    if (cancel && m_request->isBusy())
        m_request->abort();
    QCoreApplication::processEvents();
}

void HitranOnlineDownloader::setServiceBaseUrl(const QString &url)
{
    m_serviceBaseUrl = url;
    while (m_serviceBaseUrl.endsWith(QLatin1Char('/')))
        m_serviceBaseUrl.chop(1);
    m_tipsDownloader->setServiceHost(serviceHost());
}

void HitranOnlineDownloader::setLoginUrl(const QString &url) { m_login->setLoginUrl(url); }
void HitranOnlineDownloader::setLoginUserName(const QString &userName) { m_login->setUserName(userName); }
void HitranOnlineDownloader::setLoginPassword(const QString &password) { m_login->setPassword(password); }
void HitranOnlineDownloader::setAllowInsecureLogin(bool allow) { m_login->setAllowInsecure(allow); }

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

void HitranOnlineDownloader::setDownloadsFolder(const QString &folder)
{
    m_lineFileStore.setFolder(folder);
}

void HitranOnlineDownloader::setTipsBaseUrl(const QString &url) { m_tipsDownloader->setTipsBaseUrl(url); }
void HitranOnlineDownloader::setTipsFolder(const QString &folder) { m_tipsDownloader->setTipsFolder(folder); }

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
    m_request->setTimeout(timeout);
    m_login->setTimeout(timeout);
    m_fileDownloader->setTimeout(timeout);
    m_tipsDownloader->setTimeout(timeout);
}

void HitranOnlineDownloader::setSampleLineFile(const QString &path)
{
    m_sampleLineFile = path;
    m_sampleDescription.clear();
    m_sampleCopy.reset();
}

QString HitranOnlineDownloader::serviceHost() const
{
    return QUrl(m_serviceBaseUrl).host();
}

// ---------------------------------------------------------------- status and queries

int HitranOnlineDownloader::localDataStatus() const
{
    const QString cumulative = cumulativeFilePath();
    const int base = !cumulative.isEmpty() && QFileInfo(cumulative).isFile() ? 10 : 0;
    const int present = NormalizedDownloadRegionsFinder::presentRegions(downloadsFolder()).size();
    if (present >= NormalizedDownloadRegionsFinder::regionCount)
        return base + 1;
    return base + (present > 0 ? 2 : 0);
}

QString HitranOnlineDownloader::lineQueryUrl(double start, double end) const
{
    QString url = m_serviceBaseUrl + (m_loginFirst ? m_loginQueryPath : m_apiQueryPath);
    std::set<int> ids;
    if (m_molecules) {
        for (const Molecule &molecule : *m_molecules) {
            for (const Isotopologue &isotopologue : molecule.isotopologues) {
                if (isotopologue.globalId > 0)
                    ids.insert(isotopologue.globalId);
            }
        }
    }
    QStringList parts;
    for (int id : ids)
        parts.append(QString::number(id));
    url += parts.join(QLatin1String("%2C"));
    url += QLatin1String("&numin=") + general(start) + QLatin1String("&numax=") + general(end);
    return url;
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
    fetchMissingRegions(m_loginFirst, lineRangeStart(), lineRangeEnd());
}

void HitranOnlineDownloader::downloadCompleteHitran()
{
    if (m_transfer != Transfer::None)
        return;
    m_forCalculation = false;
    fetchMissingRegions(m_loginFirst, NormalizedDownloadRegionsFinder::lowestWavenumber,
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
    if (m_transfer != Transfer::None) {
        // One sequence at a time: the running one is given up for the new request.
        m_transfer = Transfer::None;
        m_request->abort();
    }
    m_loginFirst = loginFirst;
    const int status = localDataStatus();
    if ((m_usage == CompleteUsage && (status == 1 || status >= 10)) || m_usage == EveryTimeUsage) {
        emit hitranDownloadComplete();
        return;
    }
    emit notify(QStringLiteral("Searching HITRAN parts\navailable on your device."), 0.0, true, true);
    m_regionFinder->setFolder(downloadsFolder());
    m_regionFinder->setStart(start);
    m_regionFinder->setEnd(end);
    m_regionFinder->findMissingRegions();
}

void HitranOnlineDownloader::sendInitialDownloadRequest()
{
    m_cancelRequested = false;
    m_currentRegion = 0;
    if (m_regionFinder->regionListCount() == 0) {
        hideBanner();
        emit hitranDownloadComplete();
        return;
    }
    if (downloadsFolder().isEmpty() || !QDir().mkpath(downloadsFolder())) {
        storedSequenceFailed(QStringLiteral("The downloads folder %1 cannot be created.").arg(downloadsFolder()));
        return;
    }
    m_transfer = Transfer::StoringRegions;
    if (m_loginFirst) {
        m_login->login();
        return;
    }
    notifyStoredProgress();
    requestRegion(m_currentRegion);
}

void HitranOnlineDownloader::authenticationComplete()
{
    if (m_transfer != Transfer::StoringRegions)
        return;
    if (m_cancelRequested) {
        endStoredSequence();
        return;
    }
    notifyStoredProgress();
    requestRegion(m_currentRegion);
}

void HitranOnlineDownloader::authenticationFailed(const QString &message)
{
    if (m_transfer != Transfer::StoringRegions)
        return;
    if (m_cancelRequested) {
        endStoredSequence();
        return;
    }
    storedSequenceFailed(message);
}

void HitranOnlineDownloader::requestRegion(int listPosition)
{
    m_request->setUrl(lineQueryUrl(m_regionFinder->regionStart(listPosition),
                                   m_regionFinder->regionEnd(listPosition)));
    m_request->send();
}

void HitranOnlineDownloader::notifyStoredProgress()
{
    emit notify(QStringLiteral("Downloading HITRAN, file ") + QString::number(m_currentRegion + 1)
                    + QStringLiteral(" of ") + QString::number(m_regionFinder->regionListCount())
                    + QStringLiteral("\nFile spectral range: ")
                    + general(m_regionFinder->regionStart(m_currentRegion)) + QStringLiteral(" - ")
                    + general(m_regionFinder->regionEnd(m_currentRegion)) + QStringLiteral(" cm-1"),
                0.0, true, true);
}

void HitranOnlineDownloader::hideBanner()
{
    emit notify(QString(), 0.0, false, true);
}

void HitranOnlineDownloader::endStoredSequence()
{
    m_transfer = Transfer::None;
    hideBanner();
    emit hitranDownloadComplete();
    QCoreApplication::processEvents();
}

void HitranOnlineDownloader::storedSequenceFailed(const QString &reason)
{
    m_transfer = Transfer::None;
    hideBanner();
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

bool HitranOnlineDownloader::storeRegion(const QByteArray &data, QString *problem)
{
    // A text that is not empty must hold line records: an error page sent with
    // status 200 would otherwise be stored as a region and never fetched again.
    if (!data.trimmed().isEmpty()) {
        const int firstLineEnd = data.indexOf('\n');
        const QByteArray first = data.left(firstLineEnd < 0 ? data.size() : firstLineEnd);
        LineRecord record;
        if (!LineFileStore::parseRecord(first.constData(), first.size(), record)) {
            *problem = QStringLiteral("The service sent no line data for %1 - %2 cm-1.")
                           .arg(general(m_regionFinder->regionStart(m_currentRegion)),
                                general(m_regionFinder->regionEnd(m_currentRegion)));
            return false;
        }
    }
    const QString path = downloadsFolder() + QLatin1Char('/') + m_regionFinder->regionFileName(m_currentRegion);
    // Written under a temporary name and renamed: a region file is complete or absent.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        *problem = QStringLiteral("The file %1 cannot be written.").arg(path);
        return false;
    }
    return true;
}

void HitranOnlineDownloader::processServerReturnedData(QByteArray *hitranData, bool success)
{
    const QByteArray empty;
    const QByteArray &data = hitranData ? *hitranData : empty;

    if (m_transfer == Transfer::RunRegion) {
        m_transfer = Transfer::None;
        if (!success && !m_cancelRequested) {
            // The rest of the range comes from local lines.
            const double from = m_regionFinder->regionStart(m_currentRegion);
            useFallbackLines(QLatin1String(downloadErrorText) + QLatin1Char('\n') + m_request->errorString(),
                             from, lineRangeEnd());
            readNextFromFiles();
            return;
        }
        ++m_currentRegion;
        m_lineFileStore.takeDownloaded(success ? data : empty);
        emit dataAvailable();
        return;
    }
    if (m_transfer != Transfer::StoringRegions)
        return;

    if (m_cancelRequested) {
        QString ignored;
        if (success)
            storeRegion(data, &ignored);
        endStoredSequence();
        return;
    }
    if (!success) {
        storedSequenceFailed(m_request->errorString());
        return;
    }
    QString problem;
    if (!storeRegion(data, &problem)) {
        storedSequenceFailed(problem);
        return;
    }
    ++m_currentRegion;
    if (m_currentRegion < m_regionFinder->regionListCount()) {
        notifyStoredProgress();
        requestRegion(m_currentRegion);
    } else {
        m_transfer = Transfer::None;
        hideBanner();
        emit hitranDownloadComplete();
    }
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------- feeding the engine

void HitranOnlineDownloader::useSingleFile(const QString &path, double start, double end)
{
    m_source = Source::SingleFile;
    m_singleFilePath = path;
    m_startOffset = std::max<qint64>(0, m_lineFileStore.recordOffsetAtOrAbove(path, start));
    m_endOffset = std::max(m_startOffset, m_lineFileStore.recordOffsetAtOrAbove(path, end));
    m_position = m_startOffset;
    m_singleFileRecordLength = std::max(161, LineFileStore::recordLengthOf(path));
    m_chunkEnd = std::min(m_position + qint64(m_recordsPerChunk) * m_singleFileRecordLength, m_endOffset);
}

bool HitranOnlineDownloader::useRegionFiles(double start, double end)
{
    m_source = Source::RegionFiles;
    const bool found = m_lineFileStore.locateInRegionFiles(start, end, &m_firstFile, &m_lastFile,
                                                           &m_startOffset, &m_endOffset);
    m_position = m_startOffset;
    m_currentFile = m_firstFile;
    return found;
}

QString HitranOnlineDownloader::sampleDescription()
{
    if (!m_sampleDescription.isEmpty())
        return m_sampleDescription;
    // The molecules and the range are taken from the text itself, mapped where
    // it can be (the sample is 90 000 lines; no record is kept).
    QFile file(sampleFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the sample line list shipped with Kolvex");
    QByteArray read;
    const char *data = reinterpret_cast<const char *>(file.map(0, file.size()));
    if (!data) {
        read = file.readAll();
        data = read.constData();
    }
    const char *const end = data + file.size();
    std::set<int> molecules;
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
            molecules.insert(molecule);
            lowest = std::min(lowest, wavenumber);
            highest = std::max(highest, wavenumber);
        }
        line = lineEnd + 1;
    }
    if (molecules.empty())
        return QStringLiteral("the sample line list shipped with Kolvex");
    QStringList names;
    for (int number : molecules) {
        const bool known = m_molecules && number >= 1 && number <= int(m_molecules->size())
            && !(*m_molecules)[size_t(number - 1)].name.isEmpty();
        names.append(known ? (*m_molecules)[size_t(number - 1)].name
                           : QStringLiteral("molecule %1").arg(number));
    }
    QString list = names.join(QLatin1String(", "));
    const int comma = list.lastIndexOf(QLatin1String(", "));
    if (comma >= 0)
        list.replace(comma, 2, QLatin1String(" and "));
    m_sampleDescription = QStringLiteral("the small sample line list shipped with Kolvex. It is not the "
                                         "HITRAN database: it holds only lines of %1 between %2 and %3 cm-1, "
                                         "and lacks most minor isotopologues and every other molecule")
                              .arg(list, general(std::floor(lowest)), general(std::ceil(highest)));
    return m_sampleDescription;
}

QString HitranOnlineDownloader::sampleFilePath()
{
    if (!m_sampleLineFile.startsWith(QLatin1Char(':')))
        return m_sampleLineFile;
    // A sample kept uncompressed in the program is read where it is.
    if (QResource(m_sampleLineFile).compressionAlgorithm() == QResource::NoCompression)
        return m_sampleLineFile;
    if (m_sampleCopy)
        return m_sampleCopy->fileName();
    QFile resource(m_sampleLineFile);
    auto copy = std::make_unique<QTemporaryFile>();
    if (!resource.open(QIODevice::ReadOnly) || !copy->open() || copy->write(resource.readAll()) != resource.size()
        || !copy->flush())
        return m_sampleLineFile;
    m_sampleCopy = std::move(copy);
    return m_sampleCopy->fileName();
}

void HitranOnlineDownloader::useFallbackLines(const QString &reason, double start, double end)
{
    const int status = localDataStatus();
    QString origin;
    if (status >= 10) {
        useSingleFile(cumulativeFilePath(), start, end);
        origin = QStringLiteral("the line file %1 on this device").arg(m_cumulativeFileName);
    } else if (useRegionFiles(start, end)) {
        origin = QStringLiteral("the HITRAN regions stored earlier on this device; they may not cover "
                                "the whole range");
    } else {
        useSingleFile(sampleFilePath(), start, end);
        origin = sampleDescription();
        if (m_endOffset <= m_startOffset)
            origin += QStringLiteral(". Your range holds none of its lines, so the spectrum is empty");
    }
    m_lineDataOrigin = origin;
    // The part of the spectrum concerned, not the wider range of its lines.
    const QString range = general(std::max(start, m_calcStart)) + QStringLiteral(" - ")
        + general(std::min(end, m_calcEnd)) + QStringLiteral(" cm-1");
    emit openOkDialog(reason + QStringLiteral("\n\nThe spectrum (") + range
                      + QStringLiteral(") was calculated from ") + origin + QLatin1Char('.'));
}

void HitranOnlineDownloader::prepareLineData()
{
    m_lineFileStore.clearBatch();
    m_source = Source::None;
    m_transfer = m_transfer == Transfer::RunRegion ? Transfer::None : m_transfer;
    if (m_fallbackPending) {
        m_fallbackPending = false;
        useFallbackLines(m_fallbackReason, lineRangeStart(), lineRangeEnd());
        return;
    }
    const int status = localDataStatus();
    if (m_usage == EveryTimeUsage) {
        m_regionFinder->setStart(lineRangeStart());
        m_regionFinder->setEnd(lineRangeEnd());
        m_regionFinder->formRegions();
        m_currentRegion = 0;
        m_source = Source::RegionDownloads;
        m_lineDataOrigin = QStringLiteral("HITRANonline (%1), downloaded for this calculation").arg(serviceHost());
    } else if (m_usage == CompleteUsage && status >= 10) {
        useSingleFile(cumulativeFilePath(), lineRangeStart(), lineRangeEnd());
        m_lineDataOrigin = QStringLiteral("the line file %1 on this device").arg(m_cumulativeFileName);
    } else if (m_usage == SegmentedUsage || status == 1 || status == 2) {
        useRegionFiles(lineRangeStart(), lineRangeEnd());
        m_lineDataOrigin = QStringLiteral("the HITRAN regions stored on this device");
    } else {
        useFallbackLines(QStringLiteral("No HITRAN line data are stored on this device for offline use."),
                         lineRangeStart(), lineRangeEnd());
    }
}

qint64 HitranOnlineDownloader::expectedRecordCount() const
{
    switch (m_source) {
    case Source::RegionDownloads:
        return qint64(m_lineFileStore.batch().size());
    case Source::SingleFile:
        return (m_endOffset - m_startOffset) / m_singleFileRecordLength;
    case Source::RegionFiles:
        return m_lineFileStore.countRecordsInRegionFiles(m_firstFile, m_lastFile, m_startOffset, m_endOffset);
    case Source::None:
        break;
    }
    return 0;
}

void HitranOnlineDownloader::readNextFromFiles()
{
    if (m_source == Source::SingleFile && m_position < m_endOffset) {
        qint64 next = m_position;
        m_lineFileStore.readRange(m_singleFilePath, m_position, m_chunkEnd, &next);
        m_position = std::max(next, m_chunkEnd);
        m_chunkEnd = std::min(m_position + qint64(m_recordsPerChunk) * m_singleFileRecordLength, m_endOffset);
        emit dataAvailable();
        return;
    }
    if (m_source == Source::RegionFiles && m_currentFile <= m_lastFile
        && (m_position < m_endOffset || m_currentFile != m_lastFile)) {
        m_lineFileStore.readNextRegionChunk(&m_position, &m_currentFile, m_recordsPerChunk, m_lastFile,
                                            m_endOffset);
        emit dataAvailable();
        return;
    }
    m_lineFileStore.clearBatch();
    hideBanner();
    emit noMoreDataAvailable();
}

void HitranOnlineDownloader::requestNextChunk()
{
    if (m_source == Source::RegionDownloads) {
        const int count = m_regionFinder->regionListCount();
        if (m_currentRegion < count && !m_cancelRequested) {
            emit notify(QStringLiteral("Downloading HITRAN data ") + QString::number(m_currentRegion + 1)
                            + QStringLiteral(" of ") + QString::number(count)
                            + QStringLiteral("\nRegion spectral range: ")
                            + general(m_regionFinder->regionStart(m_currentRegion)) + QStringLiteral(" - ")
                            + general(m_regionFinder->regionEnd(m_currentRegion)) + QStringLiteral(" cm-1"),
                        0.0, true, true);
            m_transfer = Transfer::RunRegion;
            requestRegion(m_currentRegion);
            return;
        }
        m_lineFileStore.clearBatch();
        hideBanner();
        emit noMoreDataAvailable();
        return;
    }
    readNextFromFiles();
}

// ---------------------------------------------------------------- parameter and TIPS files

void HitranOnlineDownloader::downloadMolparam()
{
    const QString path = m_dataFolder + m_molparamUrl.mid(m_molparamUrl.lastIndexOf(QLatin1Char('/')));
    if (QFileInfo::exists(path)) {
        emit molparamTxtDownloadComplete();
        return;
    }
    m_fileDownloader->setUrl(m_molparamUrl);
    m_fileDownloader->setFilePath(path);
    m_fileDownloader->setSaveToFile(true);
    m_fileDownloader->download();
}

void HitranOnlineDownloader::downloadGlobalId()
{
    const QString path = m_dataFolder + m_globalIdUrl.mid(m_globalIdUrl.lastIndexOf(QLatin1Char('/')));
    if (QFileInfo::exists(path)) {
        emit globalIdTxtDownloadComplete();
        return;
    }
    m_fileDownloader->setUrl(m_globalIdUrl);
    m_fileDownloader->setFilePath(path);
    m_fileDownloader->setSaveToFile(true);
    m_fileDownloader->download();
}

void HitranOnlineDownloader::molparamDownloaded(QByteArray *molparamData, bool success)
{
    Q_UNUSED(molparamData)
    const QString path = m_fileDownloader->finishedFilePath().toLower();
    const bool molparam = path.contains(QLatin1String("molparam.txt"));
    const bool globalId = path.contains(QLatin1String("globalid.txt"));
    if (!success) {
        const QString reason = m_fileDownloader->errorString();
        if (molparam) {
            emit openOkDialog(QStringLiteral("Error downloading the molparam.txt\nfile from HITRAN online (")
                              + serviceHost() + QLatin1Char(')') + QLatin1Char('\n') + reason);
        }
        if (globalId) {
            emit openOkDialog(QStringLiteral("Error downloading the globalid.txt\nfile from the Kolvex website (")
                              + QUrl(m_globalIdUrl).host() + QLatin1Char(')') + QLatin1Char('\n') + reason);
        }
    }
    // The completion signal follows success and failure alike: the start-up waits
    // for it, and then reads the file only when it is there.
    if (molparam)
        emit molparamTxtDownloadComplete();
    if (globalId)
        emit globalIdTxtDownloadComplete();
}

void HitranOnlineDownloader::downloadTips()
{
    m_tipsDownloader->setServiceHost(serviceHost());
    m_tipsDownloader->start();
}

void HitranOnlineDownloader::tipsFilesDownloaded(bool success)
{
    m_lastTipsDownloadSucceeded = success;
    if (!success) {
        emit openOkDialog(QStringLiteral("Error downloading TIPS files\nfrom HITRANonline (") + serviceHost()
                          + QLatin1Char(')'));
    }
    // Always announced, so that the start-up never waits for it in vain; the
    // partition sums present are loaded either way.
    emit tipsDownloadComplete();
}
