#pragma once

#include "core/molecule.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class FileWriter;
class Params;
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
    // The partition-sum tables of the isotopologues of `molecules` read from
    // the files of `tipsFolder` (a damaged one put back from the shipped copy
    // where reinstallShipped allows), and what went wrong. read() touches
    // nothing but the files, its arguments and a parameter store of its own,
    // so it runs on a thread of its own; `notify` hears of each file read as
    // text (from that thread). A null writer: the program's own.
    struct PartitionSums
    {
        std::vector<Molecule> molecules;
        std::vector<double> temperatures;
        QStringList problems;

        using Notify = std::function<void(const QString &)>;
        static PartitionSums read(std::vector<Molecule> molecules, const QString &tipsFolder, FileWriter *writer,
                                  bool reinstallShipped, const Notify &notify);
        // Puts the tables into the parameter store, isotopologue by isotopologue
        // (nothing else of the molecules, which may have changed meanwhile).
        void applyTo(Params &params);
    };

private:
    QString path(const char *name) const;

    QString m_dataFolder;
    ParameterFiles *m_files;
    HitranOnlineDownloader *m_downloader;
    FileWriter *m_writer;
    Tell m_tell;
    bool m_useShipped = true;
};
