#include "download/filedownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
const char filePathProperty[] = "kolvexFilePath";
const char saveProperty[] = "kolvexSaveToFile";
} // namespace

FileDownloader::FileDownloader(QObject *parent)
    : QObject(parent)
{
}

QNetworkAccessManager *FileDownloader::networkManager()
{
    // Made at the first download: the first network manager of a process sets
    // up Qt's network configuration, which a start with every file at hand
    // need not wait for.
    if (!m_networkManager) {
        m_networkManager = new QNetworkAccessManager(this);
        connect(m_networkManager, &QNetworkAccessManager::finished, this, &FileDownloader::replyFinished);
    }
    return m_networkManager;
}

void FileDownloader::download()
{
    QNetworkRequest request(m_useUrlObject ? m_urlObject : QUrl(m_url));
    // The session cookie goes with every request: a redirect is followed
    // only to the same host over HTTPS.
    ReplyGuard::restrictRedirects(request);
    QNetworkReply *reply = networkManager()->get(request);
    reply->setProperty(filePathProperty, m_filePath);
    reply->setProperty(saveProperty, m_saveToFile);
    m_checks.insert(reply, m_contentCheck);
    ReplyGuard::watch(reply, m_limits);
}

void FileDownloader::replyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    m_finishedFilePath = reply->property(filePathProperty).toString();
    QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    m_errorString = ReplyGuard::problem(reply, body);
    const ContentCheck check = m_checks.take(reply);
    if (m_errorString.isEmpty() && check)
        m_errorString = check(body);
    bool success = m_errorString.isEmpty();
    m_data.clear();
    if (success) {
        m_data = body;
        // Reporting success for a file that is not there whole would let the
        // caller read it.
        if (reply->property(saveProperty).toBool() && !m_writer->writeWhole(m_finishedFilePath, m_data)) {
            m_errorString = QStringLiteral("Cannot write the file %1: %2")
                                .arg(m_finishedFilePath, m_writer->errorString());
            success = false;
        }
    }
    emit dataDownloaded(&m_data, success);
}
