#include "download/tipsfilesdownloader.h"

#include "download/filedownloader.h"

#include <QFileInfo>

TipsFilesDownloader::TipsFilesDownloader(QObject *parent)
    : QObject(parent)
    , m_fileDownloader(new FileDownloader(this))
{
    m_fileDownloader->setSaveToFile(true);
    connect(m_fileDownloader, &FileDownloader::dataDownloaded, this,
            &TipsFilesDownloader::tipsOneFileDownloadComplete);
}

void TipsFilesDownloader::setTimeout(int milliseconds)
{
    m_fileDownloader->setTimeout(milliseconds);
}

QString TipsFilesDownloader::tipsFileName(const Isotopologue &isotopologue)
{
    return QLatin1Char('q') + QString::number(isotopologue.globalId) + QLatin1String(".txt");
}

void TipsFilesDownloader::start()
{
    if (m_running)
        return;
    m_fileNames.clear();
    if (m_molecules) {
        for (const Molecule &molecule : *m_molecules) {
            for (const Isotopologue &isotopologue : molecule.isotopologues) {
                if (isotopologue.listedInGlobalIds && isotopologue.globalId > 0)
                    m_fileNames.append(tipsFileName(isotopologue));
            }
        }
    }
    m_succeeded = 0;
    m_current = 0;
    m_running = true;
    fetchCurrent();
}

void TipsFilesDownloader::fetchCurrent()
{
    // Present files count as obtained without a request (and without a banner
    // update each, which would only flicker).
    while (m_current < m_fileNames.size()
           && QFileInfo(m_tipsFolder + QLatin1Char('/') + m_fileNames.at(m_current)).isFile()) {
        ++m_succeeded;
        ++m_current;
    }
    if (m_current >= m_fileNames.size()) {
        finishRun();
        return;
    }
    m_fileDownloader->setUrl(m_tipsBaseUrl + m_fileNames.at(m_current));
    m_fileDownloader->setFilePath(m_tipsFolder + QLatin1Char('/') + m_fileNames.at(m_current));
    m_fileDownloader->download();
}

void TipsFilesDownloader::tipsOneFileDownloadComplete(QByteArray *data, bool success)
{
    Q_UNUSED(data)
    if (!m_running)
        return;
    if (success)
        ++m_succeeded;
    ++m_current;
    if (m_current < m_fileNames.size()) {
        if (success) {
            emit notify(QStringLiteral("Please wait for this task to complete.\nInitializing application. "
                                       "Downloading\nTIPS from HITRANonline (")
                            + m_serviceHost + QStringLiteral(")\nAcquired TIPS file: ")
                            + m_fileNames.at(m_current) + QStringLiteral(" of ")
                            + QString::number(m_fileNames.size()) + QStringLiteral(" files."),
                        0.0, true, false);
        }
        fetchCurrent();
        return;
    }
    finishRun();
}

void TipsFilesDownloader::finishRun()
{
    m_running = false;
    emit notify(QString(), 0.0, false, false);
    emit tipsFilesDownloaded(m_current > 0 && m_succeeded > 0);
}
