#pragma once

#include "core/molecule.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

class FileDownloader;
class FileWriter;
class TipsFilesDownloader;

// The downloads of the files that fill the parameter store: the isotopologue
// parameter file and the global number file, each only when the data folder
// lacks it, and the partition sums. Every download ends with its completion
// signal, failed or not, so that start-up never waits in vain; a failure is
// told in an OK dialog.
class ParameterDownloads : public QObject
{
    Q_OBJECT

public:
    explicit ParameterDownloads(QObject *parent = nullptr);

    void setDataFolder(const QString &folder) { m_dataFolder = folder; }
    void setMolparamUrl(const QString &url) { m_molparamUrl = url; }
    void setGlobalIdUrl(const QString &url) { m_globalIdUrl = url; }
    void setTipsBaseUrl(const QString &url);
    void setTipsFolder(const QString &folder);
    void setMolecules(const std::vector<Molecule> *molecules);
    // The host of the line-data service, named in messages.
    void setServiceHost(const QString &host);
    void setTimeout(int milliseconds);
    // Longest whole transfer of one file, milliseconds.
    void setTimeLimit(int milliseconds);
    // Longest whole partition-sum run, milliseconds; 0: none.
    void setTipsRunTimeLimit(int milliseconds);
    void setFileWriter(FileWriter *writer);

    void downloadMolparam();
    void downloadGlobalId();
    void downloadTips();
    // Whether the last partition-sum run obtained any file.
    bool lastTipsDownloadSucceeded() const { return m_lastTipsDownloadSucceeded; }

signals:
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);
    void openOkDialog(const QString &text);
    // A failure the program works around (with its built-in tables): no answer needed.
    void note(const QString &key, const QString &text);
    void molparamTxtDownloadComplete();
    void globalIdTxtDownloadComplete();
    void tipsDownloadComplete();

public slots:
    void molparamDownloaded(QByteArray *molparamData, bool success);
    void tipsFilesDownloaded(bool success);

private:
    // Downloads `url` into the data folder under its own file name, unless the
    // file is there; then `done` follows at once.
    void downloadIntoDataFolder(const QString &url, void (ParameterDownloads::*done)());

    FileDownloader *m_fileDownloader;
    TipsFilesDownloader *m_tipsDownloader;
    QString m_dataFolder;
    QString m_molparamUrl;
    QString m_globalIdUrl;
    QString m_serviceHost;
    bool m_lastTipsDownloadSucceeded = false;
};
