#pragma once

#include "download/replyguard.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// One line-data request to the HITRANonline service at a time. Every request has
// an inactivity limit, a limit on its whole duration and a bound on the size
// of its reply (ReplyGuard); a request beyond any of them ends as failed. A
// reply counts as a success only when it arrived whole with HTTP status 200.
class HitranRequestData : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = 30000;
    // The regions hold a few megabytes of records each; no region of the
    // whole database comes near this.
    static constexpr qint64 maxReplyBytes = qint64(256) << 20;

    explicit HitranRequestData(QObject *parent = nullptr);

    void setUrl(const QString &url) { m_url = url; }
    QString url() const { return m_url; }
    // Longest wait for the next bytes of a reply, milliseconds.
    void setTimeout(int milliseconds) { m_limits.inactivityMs = milliseconds; }
    int timeout() const { return m_limits.inactivityMs; }
    // Longest whole request, milliseconds.
    void setTimeLimit(int milliseconds) { m_limits.totalMs = milliseconds; }
    void setMaxReplyBytes(qint64 bytes) { m_limits.maxBytes = bytes; }
    // The network manager of the requests, made when first needed.
    QNetworkAccessManager *networkManager();

    void send();
    // Ends the outstanding request; it reports as failed.
    void abort();
    bool isBusy() const { return m_reply != nullptr; }
    // Why the last request failed, in words for the user; empty after a success.
    QString errorString() const { return m_errorString; }

signals:
    void hitranDataReturned(QByteArray *data, bool success);

private slots:
    void onDownloadProgressUpdate(qint64 bytesReceived, qint64 bytesToAquire);
    void onReplyError(QNetworkReply::NetworkError code);
    void onFinished(QNetworkReply *reply);

private:
    QNetworkAccessManager *m_networkManager = nullptr;
    QNetworkReply *m_reply = nullptr;
    QString m_url;
    ReplyGuard::Limits m_limits{defaultTimeoutMs, 10 * 60 * 1000, maxReplyBytes};
    QByteArray m_body;
    QString m_errorString;
};
