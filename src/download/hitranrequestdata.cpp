#include "download/hitranrequestdata.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

HitranRequestData::HitranRequestData(QObject *parent)
    : QObject(parent)
{
}

QNetworkAccessManager *HitranRequestData::networkManager()
{
    // Made at the first request, as nothing needs the network before.
    if (!m_networkManager) {
        m_networkManager = new QNetworkAccessManager(this);
        connect(m_networkManager, &QNetworkAccessManager::finished, this, &HitranRequestData::onFinished);
    }
    return m_networkManager;
}

void HitranRequestData::send()
{
    if (m_reply) {
        // Only one request is outstanding; the previous one is given up.
        QNetworkReply *previous = m_reply;
        m_reply = nullptr;
        previous->abort();
        previous->deleteLater();
    }
    m_errorString.clear();
    QNetworkRequest request{QUrl(m_url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    // The session cookie goes with every request: a redirect is followed
    // only to the same host over HTTPS.
    ReplyGuard::restrictRedirects(request);
    m_reply = networkManager()->get(request);
    // The guard hears of new bytes first, before the events they let run.
    ReplyGuard::watch(m_reply, m_limits);
    connect(m_reply, &QNetworkReply::downloadProgress, this,
            &HitranRequestData::onDownloadProgressUpdate);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &HitranRequestData::onReplyError);
}

void HitranRequestData::abort()
{
    if (m_reply)
        m_reply->abort();
}

void HitranRequestData::onDownloadProgressUpdate(qint64 bytesReceived, qint64 bytesToAquire)
{
    Q_UNUSED(bytesReceived)
    Q_UNUSED(bytesToAquire)
    QCoreApplication::processEvents();
}

void HitranRequestData::onReplyError(QNetworkReply::NetworkError code)
{
    Q_UNUSED(code)
}

void HitranRequestData::onFinished(QNetworkReply *reply)
{
    if (reply != m_reply) {
        reply->deleteLater();
        return;
    }
    m_reply = nullptr;
    m_body = reply->isOpen() ? reply->readAll() : QByteArray();
    m_errorString = ReplyGuard::problem(reply, m_body);
    const bool success = m_errorString.isEmpty();
    if (!success)
        m_body.clear();
    reply->deleteLater();
    emit hitranDataReturned(&m_body, success);
}
