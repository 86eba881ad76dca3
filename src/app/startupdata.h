#pragma once

#include <QString>

#include <functional>

class FileWriter;
class HitranOnlineDownloader;
class ParameterFiles;

// The data a calculation needs, set up when the program starts: the shipped
// files put into the data folder, the parameter files it lacks downloaded
// within the start-up's time, the files read (a damaged one put back from the
// shipped copy or set aside), and the partition sums loaded once their
// download has ended. What the user must know goes to the message sink.
class StartupData
{
public:
    using Tell = std::function<void(const QString &)>;

    StartupData(const QString &dataFolder, ParameterFiles *files, HitranOnlineDownloader *downloader,
                FileWriter *writer, Tell tell);

    // Whether shipped copies are installed and put back (on by default).
    void setUseShippedFiles(bool use) { m_useShipped = use; }

    // Copies the shipped files the folder lacks; a file that cannot be written
    // whole (a full disk) is not left behind, and the user is told.
    void installShippedFiles();
    // Downloads molparam.txt and globalid.txt where missing and waits for them,
    // never longer than timeLimitMs in total.
    void fetchParameterFiles(int timeLimitMs);
    // Reads molparam.txt and globalid.txt into the parameter store.
    void readParameterFiles();
    // Reads the partition-sum tables once their download has ended; false when
    // none could be had.
    bool loadPartitionSums();

private:
    QString path(const char *name) const;

    QString m_dataFolder;
    ParameterFiles *m_files;
    HitranOnlineDownloader *m_downloader;
    FileWriter *m_writer;
    Tell m_tell;
    bool m_useShipped = true;
};
