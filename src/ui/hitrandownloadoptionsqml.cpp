#include "ui/hitrandownloadoptionsqml.h"

#include "app/kolvexcore.h"
#include "download/hitranonlinedownloader.h"
#include "download/linesourcechain.h"
#include "download/normalizeddownloadregionsfinder.h"

#include <QDir>

#include <algorithm>
#include <cmath>

HitranDownloadOptionsQml::HitranDownloadOptionsQml(KolvexCore *core, LineSourceChain *sources, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_sources(sources)
    , m_downloader(sources ? sources->downloader() : nullptr)
{
    if (m_downloader) {
        m_hitranFileUsage = m_downloader->usage();
        // The complete download changes what is stored; the screen re-reads it.
        connect(m_downloader, &HitranOnlineDownloader::completeDownloadEnded, this,
                &HitranDownloadOptionsQml::cumulativeHitranExistsChanged);
    }
    if (m_core) {
        // A usage mode changed from outside the screen (a remote command) reaches it here.
        connect(m_core, &KolvexCore::valuesUpdated, this, [this] {
            if (m_downloader)
                m_hitranFileUsage = m_downloader->usage();
            emit hitranFileUsageChanged();
        });
    }
}

QString HitranDownloadOptionsQml::dataFolder() const
{
    return m_core ? QDir::toNativeSeparators(m_core->dataFolder()) : QString();
}

int HitranDownloadOptionsQml::hitranFileUsage() const
{
    return m_downloader ? m_downloader->usage() : m_hitranFileUsage;
}

void HitranDownloadOptionsQml::setHitranFileUsage(int usage)
{
    if (usage == m_hitranFileUsage || !m_downloader)
        return;
    if (!m_downloader->setUsage(usage))
        return;
    m_hitranFileUsage = usage;
    emit hitranFileUsageChanged();
    if (m_core)
        m_core->announce(Setting::AccessOption);
}

bool HitranDownloadOptionsQml::cumulativeHitranExists() const
{
    if (!m_sources)
        return false;
    const int status = m_sources->localDataStatus();
    return status == 1 || status == 10 || status == 11 || status == 12;
}

QString HitranDownloadOptionsQml::completeDownloadQuestion() const
{
    const int total = NormalizedDownloadRegionsFinder::regionCount;
    const int present = m_downloader ? NormalizedDownloadRegionsFinder::presentRegions(m_downloader->downloadsFolder()).size()
                                     : 0;
    const int missing = std::max(0, total - present);
    const int megabytes = int(std::ceil(double(completeDatabaseMegabytes) * missing / total));
    return QStringLiteral("Download the complete HITRAN line database from HITRANonline?\n\n"
                          "%1 of its %2 regions are not on this device yet: about %3 MB to download "
                          "(the whole database is about %4 MB), which takes long on a slow or metered "
                          "connection. The download can be cancelled; regions already received are kept.")
        .arg(missing)
        .arg(total)
        .arg(megabytes)
        .arg(completeDatabaseMegabytes);
}

void HitranDownloadOptionsQml::downloadCompleteHitran()
{
    if (m_downloader)
        m_downloader->downloadCompleteHitran();
}
