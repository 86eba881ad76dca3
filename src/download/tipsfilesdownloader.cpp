#include "download/tipsfilesdownloader.h"

#include "download/filedownloader.h"
#include "download/parameterfilecheck.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>

TipsFilesDownloader::TipsFilesDownloader(QObject *parent)
    : QObject(parent)
    , m_fileDownloader(new FileDownloader(this))
{
    m_fileDownloader->setSaveToFile(true);
    m_fileDownloader->setContentCheck(ParameterFileCheck::tipsProblem);
    connect(m_fileDownloader, &FileDownloader::dataDownloaded, this,
            &TipsFilesDownloader::tipsOneFileDownloadComplete);
}

void TipsFilesDownloader::setTimeout(int milliseconds)
{
    m_fileDownloader->setTimeout(milliseconds);
}

void TipsFilesDownloader::setFileWriter(FileWriter *writer)
{
    m_fileDownloader->setFileWriter(writer);
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
    m_runTime.start();
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
    int timeLimit = m_fileTimeLimit;
    if (m_runTimeLimit > 0) {
        const qint64 left = m_runTimeLimit - m_runTime.elapsed();
        if (left <= 0) {
            qWarning().noquote() << QStringLiteral("The partition-sum download took its whole time; %1 files "
                                                   "were not fetched.").arg(m_fileNames.size() - m_current);
            finishRun();
            return;
        }
        timeLimit = int(std::min<qint64>(timeLimit, left));
    }
    m_fileDownloader->setTimeLimit(timeLimit);
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
