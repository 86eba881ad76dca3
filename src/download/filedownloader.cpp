#include "download/filedownloader.h"

#include "download/replycheck.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

namespace {
const char filePathProperty[] = "kolvexFilePath";
const char saveProperty[] = "kolvexSaveToFile";
const char timedOutProperty[] = "kolvexTimedOut";
} // namespace

FileDownloader::FileDownloader(QObject *parent)
    : QObject(parent)
    , m_networkManager(new QNetworkAccessManager(this))
{
    connect(m_networkManager, &QNetworkAccessManager::finished, this, &FileDownloader::replyFinished);
}

void FileDownloader::download()
{
    QNetworkRequest request(m_useUrlObject ? m_urlObject : QUrl(m_url));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_networkManager->get(request);
    reply->setProperty(filePathProperty, m_filePath);
    reply->setProperty(saveProperty, m_saveToFile);
    // The time limit counts from the last bytes received.
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [reply] {
        reply->setProperty(timedOutProperty, true);
        reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, timer, [timer, this] { timer->start(m_timeoutMs); });
    timer->start(m_timeoutMs);
}

void FileDownloader::replyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const bool timedOut = reply->property(timedOutProperty).toBool();
    m_finishedFilePath = reply->property(filePathProperty).toString();
    QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    m_errorString = ReplyCheck::problem(reply, body, timedOut, m_timeoutMs);
    bool success = m_errorString.isEmpty();
    m_data.clear();
    if (success) {
        m_data = body;
        if (reply->property(saveProperty).toBool()) {
            QSaveFile file(m_finishedFilePath);
            if (!file.open(QIODevice::WriteOnly) || file.write(m_data) != m_data.size()
                || !file.commit()) {
                // Reporting success here would let the caller read a file that is not there.
                m_errorString = QStringLiteral("Cannot write the file %1.").arg(m_finishedFilePath);
                success = false;
            }
        }
    }
    emit dataDownloaded(&m_data, success);
}
