#include "download/hitranrequestdata.h"

#include "download/replycheck.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

HitranRequestData::HitranRequestData(QObject *parent)
    : QObject(parent)
    , m_networkManager(new QNetworkAccessManager(this))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &HitranRequestData::onTimeout);
    connect(m_networkManager, &QNetworkAccessManager::finished, this, &HitranRequestData::onFinished);
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
    m_timedOut = false;
    QNetworkRequest request{QUrl(m_url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_networkManager->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this,
            &HitranRequestData::onDownloadProgressUpdate);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &HitranRequestData::onReplyError);
    m_timer->start(m_timeoutMs);
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
    // Bytes are arriving: the time limit counts from the last of them.
    m_timer->start(m_timeoutMs);
    QCoreApplication::processEvents();
}

void HitranRequestData::onReplyError(QNetworkReply::NetworkError code)
{
    Q_UNUSED(code)
}

void HitranRequestData::onTimeout()
{
    if (!m_reply)
        return;
    m_timedOut = true;
    m_reply->abort();
}

void HitranRequestData::onFinished(QNetworkReply *reply)
{
    if (reply != m_reply) {
        reply->deleteLater();
        return;
    }
    m_timer->stop();
    m_reply = nullptr;
    m_body = reply->isOpen() ? reply->readAll() : QByteArray();
    m_errorString = ReplyCheck::problem(reply, m_body, m_timedOut, m_timeoutMs);
    const bool success = m_errorString.isEmpty();
    if (!success)
        m_body.clear();
    reply->deleteLater();
    emit hitranDataReturned(&m_body, success);
}
