#include "ui/hitrandownloadoptionsqml.h"

#include "app/kolvexcore.h"
#include "download/hitranonlinedownloader.h"

HitranDownloadOptionsQml::HitranDownloadOptionsQml(KolvexCore *core, HitranOnlineDownloader *downloader,
                                                   QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_downloader(downloader)
{
    if (m_downloader) {
        m_hitranFileUsage = m_downloader->usage();
        // The complete download changes what is stored; the screen re-reads it.
        connect(m_downloader, &LineSource::hitranDownloadComplete, this,
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
}

bool HitranDownloadOptionsQml::cumulativeHitranExists() const
{
    if (!m_downloader)
        return false;
    const int status = m_downloader->localDataStatus();
    return status == 1 || status == 10 || status == 11 || status == 12;
}

void HitranDownloadOptionsQml::downloadCompleteHitran()
{
    if (m_downloader)
        m_downloader->downloadCompleteHitran();
}
