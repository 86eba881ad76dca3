#pragma once

#include "core/savefilewriter.h"
#include "download/replyguard.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches one file over HTTP and, when asked, stores it. A file is stored only
// when the reply arrived whole with status 200, within its limits (ReplyGuard),
// and its content is what the file must hold; it is written whole or not at
// all, so that a failed or interrupted transfer, or a full disk, never leaves a
// partial file behind.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    // Judges a body before it is stored: empty when it is what the file must
    // hold, otherwise why not.
    using ContentCheck = std::function<QString(const QByteArray &)>;

    // The parameter files and partition-sum tables are a few hundred kilobytes.
    static constexpr qint64 defaultMaxBytes = qint64(4) << 20;

    explicit FileDownloader(QObject *parent = nullptr);

    void setUrl(const QString &url) { m_url = url; }
    QString url() const { return m_url; }
    void setUrlObject(const QUrl &url) { m_urlObject = url; }
    void setUseUrlObject(bool use) { m_useUrlObject = use; }
    void setFilePath(const QString &path) { m_filePath = path; }
    QString filePath() const { return m_filePath; }
    void setSaveToFile(bool save) { m_saveToFile = save; }
    // The check of the transfers started from now on.
    void setContentCheck(ContentCheck check) { m_contentCheck = std::move(check); }
    // Longest wait for the next bytes, milliseconds.
    void setTimeout(int milliseconds) { m_limits.inactivityMs = milliseconds; }
    // Longest whole transfer, milliseconds.
    void setTimeLimit(int milliseconds) { m_limits.totalMs = milliseconds; }
    void setMaxBytes(qint64 bytes) { m_limits.maxBytes = bytes; }
    // Seam for tests: the writer stored files go through (not owned); null
    // puts the program's own back.
    void setFileWriter(FileWriter *writer) { m_writer = writer ? writer : &m_ownWriter; }

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
    QNetworkAccessManager *networkManager();

    QNetworkAccessManager *m_networkManager = nullptr;
    QString m_filePath;
    QString m_url;
    QUrl m_urlObject;
    bool m_useUrlObject = false;
    bool m_saveToFile = false;
    ReplyGuard::Limits m_limits{30000, 2 * 60 * 1000, defaultMaxBytes};
    ContentCheck m_contentCheck;
    QHash<const QNetworkReply *, ContentCheck> m_checks;   // of the transfers under way
    SaveFileWriter m_ownWriter;
    FileWriter *m_writer = &m_ownWriter;
    QByteArray m_data;
    QString m_finishedFilePath;
    QString m_errorString;
};
