#include "download/parameterdownloads.h"

#include "download/filedownloader.h"
#include "download/parameterfilecheck.h"
#include "download/tipsfilesdownloader.h"

#include <QFileInfo>
#include <QUrl>

ParameterDownloads::ParameterDownloads(QObject *parent)
    : QObject(parent)
    , m_fileDownloader(new FileDownloader(this))
    , m_tipsDownloader(new TipsFilesDownloader(this))
{
    connect(m_fileDownloader, &FileDownloader::dataDownloaded, this, &ParameterDownloads::molparamDownloaded);
    connect(m_tipsDownloader, &TipsFilesDownloader::notify, this, &ParameterDownloads::notify);
    connect(m_tipsDownloader, &TipsFilesDownloader::tipsFilesDownloaded, this,
            &ParameterDownloads::tipsFilesDownloaded);
}

void ParameterDownloads::setTipsBaseUrl(const QString &url) { m_tipsDownloader->setTipsBaseUrl(url); }
void ParameterDownloads::setTipsFolder(const QString &folder) { m_tipsDownloader->setTipsFolder(folder); }
void ParameterDownloads::setMolecules(const std::vector<Molecule> *molecules)
{
    m_tipsDownloader->setMolecules(molecules);
}

void ParameterDownloads::setServiceHost(const QString &host)
{
    m_serviceHost = host;
    m_tipsDownloader->setServiceHost(host);
}

void ParameterDownloads::setTimeout(int milliseconds)
{
    m_fileDownloader->setTimeout(milliseconds);
    m_tipsDownloader->setTimeout(milliseconds);
}

void ParameterDownloads::setTimeLimit(int milliseconds)
{
    m_fileDownloader->setTimeLimit(milliseconds);
    m_tipsDownloader->setTimeLimit(milliseconds);
}

void ParameterDownloads::setTipsRunTimeLimit(int milliseconds)
{
    m_tipsDownloader->setRunTimeLimit(milliseconds);
}

void ParameterDownloads::setFileWriter(FileWriter *writer)
{
    m_fileDownloader->setFileWriter(writer);
    m_tipsDownloader->setFileWriter(writer);
}

void ParameterDownloads::downloadMolparam()
{
    m_fileDownloader->setContentCheck(ParameterFileCheck::molparamProblem);
    downloadIntoDataFolder(m_molparamUrl, &ParameterDownloads::molparamTxtDownloadComplete);
}

void ParameterDownloads::downloadGlobalId()
{
    m_fileDownloader->setContentCheck(ParameterFileCheck::globalIdProblem);
    downloadIntoDataFolder(m_globalIdUrl, &ParameterDownloads::globalIdTxtDownloadComplete);
}

void ParameterDownloads::downloadIntoDataFolder(const QString &url, void (ParameterDownloads::*done)())
{
    const QString path = m_dataFolder + url.mid(url.lastIndexOf(QLatin1Char('/')));
    if (QFileInfo::exists(path)) {
        emit (this->*done)();
        return;
    }
    m_fileDownloader->setUrl(url);
    m_fileDownloader->setFilePath(path);
    m_fileDownloader->setSaveToFile(true);
    m_fileDownloader->download();
}

void ParameterDownloads::molparamDownloaded(QByteArray *molparamData, bool success)
{
    Q_UNUSED(molparamData)
    const QString path = m_fileDownloader->finishedFilePath().toLower();
    const bool molparam = path.contains(QLatin1String("molparam.txt"));
    const bool globalId = path.contains(QLatin1String("globalid.txt"));
    if (!success) {
        const QString reason = m_fileDownloader->errorString();
        // The built-in tables serve meanwhile: nothing to answer.
        const QString fallback = QStringLiteral("\nKolvex uses its built-in tables and tries again at the next start.");
        if (molparam) {
            emit note(QStringLiteral("molparam.txt"),
                      QStringLiteral("Error downloading the molparam.txt\nfile from HITRAN online (") + m_serviceHost
                          + QLatin1Char(')') + QLatin1Char('\n') + reason + fallback);
        }
        if (globalId) {
            emit note(QStringLiteral("globalid.txt"),
                      QStringLiteral("Error downloading the globalid.txt\nfile from the Kolvex website (")
                          + QUrl(m_globalIdUrl).host() + QLatin1Char(')') + QLatin1Char('\n') + reason + fallback);
        }
    }
    // The completion signal follows success and failure alike: the start-up waits
    // for it, and then reads the file only when it is there.
    if (molparam)
        emit molparamTxtDownloadComplete();
    if (globalId)
        emit globalIdTxtDownloadComplete();
}

void ParameterDownloads::downloadTips()
{
    m_tipsDownloader->start();
}

void ParameterDownloads::tipsFilesDownloaded(bool success)
{
    m_lastTipsDownloadSucceeded = success;
    if (!success) {
        emit openOkDialog(QStringLiteral("Error downloading TIPS files\nfrom HITRANonline (") + m_serviceHost
                          + QLatin1Char(')'));
    }
    // Always announced, so that the start-up never waits for it in vain; the
    // partition sums present are loaded either way.
    emit tipsDownloadComplete();
}
