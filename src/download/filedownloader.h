#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches one file over HTTP and, when asked, stores it. A file is stored only
// when the reply arrived whole with status 200, and it is written under a
// temporary name and renamed, so that a failed or interrupted transfer never
// leaves a partial file behind. Every transfer has a time limit.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    explicit FileDownloader(QObject *parent = nullptr);

    void setUrl(const QString &url) { m_url = url; }
    QString url() const { return m_url; }
    void setUrlObject(const QUrl &url) { m_urlObject = url; }
    void setUseUrlObject(bool use) { m_useUrlObject = use; }
    void setFilePath(const QString &path) { m_filePath = path; }
    QString filePath() const { return m_filePath; }
    void setSaveToFile(bool save) { m_saveToFile = save; }
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    // Sends the GET for the current address; the local path is kept with the
    // transfer, so that several may run at once.
    void download();
    // Local path of the transfer that has just reported.
    QString finishedFilePath() const { return m_finishedFilePath; }
    // Why the transfer that has just reported failed; empty after a success.
    QString errorString() const { return m_errorString; }

signals:
    void dataDownloaded(QByteArray *data, bool success);

private slots:
    void replyFinished(QNetworkReply *reply);

private:
    QNetworkAccessManager *m_networkManager = nullptr;
    QString m_filePath;
    QString m_url;
    QUrl m_urlObject;
    bool m_useUrlObject = false;
    bool m_saveToFile = false;
    int m_timeoutMs = 30000;
    QByteArray m_data;
    QString m_finishedFilePath;
    QString m_errorString;
};
