#pragma once

#include "core/molecule.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class FileDownloader;
class FileWriter;

// Fetches the partition-sum (TIPS) files of every isotopologue that has one, one
// file at a time in molecule and isotopologue order; files already present are
// not fetched again. A failed file is skipped; the run fails only when no file
// at all was obtained. The whole run may be given a time limit, after which
// the files not yet fetched are skipped.
class TipsFilesDownloader : public QObject
{
    Q_OBJECT

public:
    explicit TipsFilesDownloader(QObject *parent = nullptr);

    void setTipsFolder(const QString &folder) { m_tipsFolder = folder; }
    QString tipsFolder() const { return m_tipsFolder; }
    void setTipsBaseUrl(const QString &url) { m_tipsBaseUrl = url; }
    void setMolecules(const std::vector<Molecule> *molecules) { m_molecules = molecules; }
    void setTimeout(int milliseconds);
    // Longest transfer of one file, milliseconds.
    void setTimeLimit(int milliseconds) { m_fileTimeLimit = milliseconds; }
    // Longest whole run, milliseconds; 0: none.
    void setRunTimeLimit(int milliseconds) { m_runTimeLimit = milliseconds; }
    void setFileWriter(FileWriter *writer);
    // Host named in the progress text.
    void setServiceHost(const QString &host) { m_serviceHost = host; }

    void start();
    bool isRunning() const { return m_running; }
    QStringList fileNames() const { return m_fileNames; }
    int succeeded() const { return m_succeeded; }

    static QString tipsFileName(const Isotopologue &isotopologue);

signals:
    void tipsFilesDownloaded(bool success);
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);

public slots:
    void tipsOneFileDownloadComplete(QByteArray *data, bool success);

private:
    // Counts the files already present from the current one on, then fetches the
    // first missing one or ends the run.
    void fetchCurrent();
    void finishRun();

    FileDownloader *m_fileDownloader = nullptr;
    QString m_tipsFolder;
    QString m_tipsBaseUrl;
    QString m_serviceHost;
    int m_succeeded = 0;
    int m_current = 0;
    QStringList m_fileNames;
    const std::vector<Molecule> *m_molecules = nullptr;
    bool m_running = false;
    int m_fileTimeLimit = 2 * 60 * 1000;
    int m_runTimeLimit = 0;
    QElapsedTimer m_runTime;
};
