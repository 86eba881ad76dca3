#include "offlinesamplecore.h"

#include "download/hitranonlinedownloader.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

OfflineSampleCore::OfflineSampleCore(const QString &lineFile, int heightPoints)
{
    QFile::copy(lineFile, m_folder.filePath(QStringLiteral("HITRAN2012.par")));
    KolvexCore::Settings settings;
    settings.dataFolder = m_folder.path();
    settings.serviceBaseUrl = QStringLiteral("http://127.0.0.1:9");   // no network
    settings.productBaseUrl = settings.serviceBaseUrl;
    m_core = std::make_unique<KolvexCore>(settings);
    while (!m_core->tipsLoaded())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_results = std::make_unique<SpectraResultsQml>(nullptr, m_core.get());
    m_results->setHeightPoints(heightPoints);
    m_core->downloader()->setUsage(HitranOnlineDownloader::CompleteUsage);
}
