#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QTimer;

// One line-data request to the HITRANonline service at a time. Every request has
// a time limit: a server that stops sending for longer than the timeout ends the
// request as failed. A reply counts as a success only when it arrived whole with
// HTTP status 200.
class HitranRequestData : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = 30000;

    explicit HitranRequestData(QObject *parent = nullptr);

    void setUrl(const QString &url) { m_url = url; }
    QString url() const { return m_url; }
    // Longest wait for the next bytes of a reply, milliseconds.
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }
    QNetworkAccessManager *networkManager() const { return m_networkManager; }

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
    void onTimeout();

private:
    QNetworkAccessManager *m_networkManager = nullptr;
    QNetworkReply *m_reply = nullptr;
    QString m_url;
    QTimer *m_timer = nullptr;
    int m_timeoutMs = defaultTimeoutMs;
    bool m_timedOut = false;
    QByteArray m_body;
    QString m_errorString;
};
