#include "download/regiondownloads.h"

#include "download/hitranrequestdata.h"
#include "download/linefilestore.h"
#include "download/linereplycheck.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "download/serverlogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QUrl>

#include <set>

namespace {

QString general(double value)
{
    return QString::number(value, 'g', 6);
}

const char downloadErrorText[] = "Error downloading HITRAN data.";

} // namespace

RegionDownloads::RegionDownloads(LineFileStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_login(new ServerLogin(this))
    , m_request(new HitranRequestData(this))
    , m_regionFinder(new NormalizedDownloadRegionsFinder(this))
    , m_loginQueryPath(QStringLiteral("/lbl/5?output_format_id=1&iso_ids_list="))
    , m_apiQueryPath(QStringLiteral("/lbl/api?iso_ids_list="))
{
    // The login shares the network manager of the requests, so that the session
    // cookie it receives goes with every line-data request.
    m_login->setNetworkManagerSource([this] { return m_request->networkManager(); });
    connect(m_login, &ServerLogin::authenticationSuccessful, this, &RegionDownloads::authenticationComplete);
    connect(m_login, &ServerLogin::authenticationFailed, this, &RegionDownloads::authenticationFailed);
    connect(m_request, &HitranRequestData::hitranDataReturned, this, &RegionDownloads::processServerReturnedData);
    connect(m_regionFinder, &NormalizedDownloadRegionsFinder::downloadRegionsFormed, this,
            &RegionDownloads::sendInitialDownloadRequest);
}

RegionDownloads::~RegionDownloads() = default;

void RegionDownloads::setServiceBaseUrl(const QString &url)
{
    m_serviceBaseUrl = url;
    while (m_serviceBaseUrl.endsWith(QLatin1Char('/')))
        m_serviceBaseUrl.chop(1);
}

QString RegionDownloads::serviceHost() const
{
    return QUrl(m_serviceBaseUrl).host();
}

void RegionDownloads::setLoginUrl(const QString &url) { m_login->setLoginUrl(url); }
void RegionDownloads::setLoginUserName(const QString &userName) { m_login->setUserName(userName); }
void RegionDownloads::setLoginPassword(const QString &password) { m_login->setPassword(password); }
void RegionDownloads::setAllowInsecureLogin(bool allow) { m_login->setAllowInsecure(allow); }

void RegionDownloads::setTimeout(int milliseconds)
{
    m_request->setTimeout(milliseconds);
    m_login->setTimeout(milliseconds);
}

void RegionDownloads::setTimeLimit(int milliseconds)
{
    m_request->setTimeLimit(milliseconds);
    m_login->setTimeLimit(milliseconds);
}

void RegionDownloads::setMaxReplyBytes(qint64 bytes)
{
    m_request->setMaxReplyBytes(bytes);
}

void RegionDownloads::setCancelRequested(bool cancel)
{
    m_cancelRequested = cancel;
    if (cancel && m_request->isBusy())
        m_request->abort();
}

QString RegionDownloads::lineQueryUrl(double start, double end) const
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

// ---------------------------------------------------------------- stored regions

void RegionDownloads::fetchMissing(double start, double end)
{
    if (m_transfer != Transfer::None) {
        // One sequence at a time: the running one is given up for the new request.
        m_transfer = Transfer::None;
        m_request->abort();
    }
    emit notify(QStringLiteral("Searching HITRAN parts\navailable on your device."), 0.0, true, true);
    m_regionFinder->setFolder(m_store->folder());
    m_regionFinder->setStart(start);
    m_regionFinder->setEnd(end);
    m_regionFinder->findMissingRegions();
}

void RegionDownloads::sendInitialDownloadRequest()
{
    m_cancelRequested = false;
    m_currentRegion = 0;
    if (m_regionFinder->regionListCount() == 0) {
        hideBanner();
        emit regionsStored();
        return;
    }
    const QString folder = m_store->folder();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        storedSequenceFailed(QStringLiteral("The downloads folder %1 cannot be created.").arg(folder));
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

void RegionDownloads::authenticationComplete()
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

void RegionDownloads::authenticationFailed(const QString &message)
{
    if (m_transfer != Transfer::StoringRegions)
        return;
    if (m_cancelRequested) {
        endStoredSequence();
        return;
    }
    storedSequenceFailed(message);
}

void RegionDownloads::requestRegion(int listPosition)
{
    m_request->setUrl(lineQueryUrl(m_regionFinder->regionStart(listPosition), m_regionFinder->regionEnd(listPosition)));
    m_request->send();
}

void RegionDownloads::notifyStoredProgress()
{
    emit notify(QStringLiteral("Downloading HITRAN, file ") + QString::number(m_currentRegion + 1)
                    + QStringLiteral(" of ") + QString::number(m_regionFinder->regionListCount())
                    + QStringLiteral("\nFile spectral range: ") + general(m_regionFinder->regionStart(m_currentRegion))
                    + QStringLiteral(" - ") + general(m_regionFinder->regionEnd(m_currentRegion))
                    + QStringLiteral(" cm-1"),
                0.0, true, true);
}

void RegionDownloads::hideBanner()
{
    emit notify(QString(), 0.0, false, true);
}

void RegionDownloads::endStoredSequence()
{
    m_transfer = Transfer::None;
    hideBanner();
    emit regionsStored();
    QCoreApplication::processEvents();
}

void RegionDownloads::storedSequenceFailed(const QString &reason)
{
    m_transfer = Transfer::None;
    hideBanner();
    emit storingFailed(reason);
}

QString RegionDownloads::replyProblem(const QByteArray &data) const
{
    // The bounds as the request wrote them, which is what the service used.
    const double start = general(m_regionFinder->regionStart(m_currentRegion)).toDouble();
    const double end = general(m_regionFinder->regionEnd(m_currentRegion)).toDouble();
    return LineReplyCheck::problem(data, start, end);
}

bool RegionDownloads::storeRegion(const QByteArray &data, QString *problem)
{
    *problem = replyProblem(data);
    if (!problem->isEmpty())
        return false;
    const QString path = m_store->folder() + QLatin1Char('/') + m_regionFinder->regionFileName(m_currentRegion);
    // A region file is complete or absent, also on a full disk.
    if (!m_writer->writeWhole(path, data)) {
        *problem = QStringLiteral("The file %1 cannot be written: %2").arg(path, m_writer->errorString());
        return false;
    }
    return true;
}

void RegionDownloads::processServerReturnedData(QByteArray *hitranData, bool success)
{
    const QByteArray empty;
    const QByteArray &data = hitranData ? *hitranData : empty;

    if (m_transfer == Transfer::RunRegion) {
        m_transfer = Transfer::None;
        const QString problem = success ? replyProblem(data) : m_request->errorString();
        if (!problem.isEmpty() && !m_cancelRequested) {
            emit runRegionFailed(QLatin1String(downloadErrorText) + QLatin1Char('\n') + problem,
                                 m_regionFinder->regionStart(m_currentRegion));
            return;
        }
        ++m_currentRegion;
        m_store->takeDownloaded(success && problem.isEmpty() ? data : empty);
        emit runRegionArrived();
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
        emit regionsStored();
    }
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------- regions of a run

void RegionDownloads::formRunRegions(double start, double end)
{
    m_regionFinder->setStart(start);
    m_regionFinder->setEnd(end);
    m_regionFinder->formRegions();
    m_currentRegion = 0;
}

bool RegionDownloads::requestNextRunRegion()
{
    const int count = m_regionFinder->regionListCount();
    if (m_currentRegion >= count || m_cancelRequested)
        return false;
    emit notify(QStringLiteral("Downloading HITRAN data ") + QString::number(m_currentRegion + 1)
                    + QStringLiteral(" of ") + QString::number(count) + QStringLiteral("\nRegion spectral range: ")
                    + general(m_regionFinder->regionStart(m_currentRegion)) + QStringLiteral(" - ")
                    + general(m_regionFinder->regionEnd(m_currentRegion)) + QStringLiteral(" cm-1"),
                0.0, true, true);
    m_transfer = Transfer::RunRegion;
    requestRegion(m_currentRegion);
    return true;
}

void RegionDownloads::forgetRunRegion()
{
    if (m_transfer == Transfer::RunRegion)
        m_transfer = Transfer::None;
}
