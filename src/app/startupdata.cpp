#include "app/startupdata.h"

#include "core/params.h"
#include "data/bundledfiles.h"
#include "data/parameterfiles.h"
#include "download/hitranonlinedownloader.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

StartupData::StartupData(const QString &dataFolder, ParameterFiles *files, HitranOnlineDownloader *downloader,
                         FileWriter *writer, Tell tell)
    : m_dataFolder(dataFolder)
    , m_files(files)
    , m_downloader(downloader)
    , m_writer(writer)
    , m_tell(std::move(tell))
{
}

QString StartupData::path(const char *name) const
{
    return m_dataFolder + QLatin1Char('/') + QLatin1String(name);
}

void StartupData::installShippedFiles()
{
    if (!m_useShipped)
        return;
    QString problem;
    if (BundledFiles::installMissingFiles(m_dataFolder, *m_writer, &problem) >= 0)
        return;
    m_tell(QStringLiteral("Kolvex could not put its shipped data into its data folder:\n%1\n"
                          "Is the disk full? Free some space and start Kolvex again.")
               .arg(problem));
}

// A first start fetches the parameter files the data folder lacks and waits for
// each. The downloader always reports the end of a download, failed or not, and
// each request is given only what is left of the start-up's time, so start-up
// never waits longer than that in total; without the files the built-in table
// serves.
void StartupData::fetchParameterFiles(int timeLimitMs)
{
    using Step = void (HitranOnlineDownloader::*)();
    const struct {
        QString path;
        Step start;
        Step done;
    } files[] = {
        {path("molparam.txt"), &HitranOnlineDownloader::downloadMolparam,
         &HitranOnlineDownloader::molparamTxtDownloadComplete},
        {path("globalid.txt"), &HitranOnlineDownloader::downloadGlobalId,
         &HitranOnlineDownloader::globalIdTxtDownloadComplete},
    };
    const QDeadlineTimer deadline(timeLimitMs);
    for (const auto &file : files) {
        if (QFileInfo::exists(file.path))
            continue;
        const int left = int(deadline.remainingTime());
        if (left <= 0) {
            qWarning().noquote() << "No time left at start-up to download" << file.path;
            continue;
        }
        m_downloader->setNetworkTimeout(left);
        m_downloader->setRequestTimeLimit(left);
        QEventLoop loop;
        bool finished = false;
        const QMetaObject::Connection connection = QObject::connect(m_downloader, file.done, &loop, [&] {
            finished = true;
            loop.quit();
        });
        (m_downloader->*file.start)();
        if (!finished)
            loop.exec();
        // A failed download is reported by the downloader, once per run in a
        // note: the built-in tables serve meanwhile.
        QObject::disconnect(connection);
    }
}

void StartupData::readParameterFiles()
{
    const QString molparam = path("molparam.txt");
    // A file that names no molecule is no parameter file (an error page stored
    // by an earlier version): it goes, so that the next start fetches it anew.
    if (QFileInfo::exists(molparam) && !m_files->readMolParams(molparam)) {
        if (QFile::remove(molparam))
            m_tell(QStringLiteral("molparam.txt could not be read and was removed; the built-in table serves "
                                  "until it is downloaded again at the next start."));
    }
    const QString globalIds = path("globalid.txt");
    const QFileInfo entry(globalIds);
    if (!entry.exists() && !entry.isSymLink())
        return;
    m_files->readGlobalIds(globalIds);
    if (m_files->globalIdsApplied() > 0)
        return;
    // Without its numbers no partition-sum table would be found or fetched,
    // and with one number for two isotopologues one of them would be
    // calculated with the other's partition sums.
    const QString problem = m_files->globalIdsProblem();
    QString why = QStringLiteral("the shipped copies are not installed");
    if (m_useShipped && BundledFiles::reinstall(globalIds, QStringLiteral("globalid.txt"), *m_writer, &why)) {
        m_files->readGlobalIds(globalIds);
        m_tell(QStringLiteral("globalid.txt could not be used: %1. The shipped copy was put back.").arg(problem));
    } else {
        m_tell(QStringLiteral("globalid.txt could not be used: %1. The shipped copy could not be put back:\n%2")
                   .arg(problem, why));
    }
}

StartupData::PartitionSums StartupData::PartitionSums::read(std::vector<Molecule> molecules, const QString &tipsFolder,
                                                           FileWriter *writer, bool reinstallShipped,
                                                           const Notify &notify)
{
    Params params;
    params.molecules() = std::move(molecules);
    ParameterFiles files(&params);
    files.setTipsFolder(tipsFolder);
    files.setReinstallShipped(reinstallShipped);
    files.setFileWriter(writer);
    QObject::connect(&files, &ParameterFiles::notify, [&notify](const QString &message) { notify(message); });
    files.loadAllTipsFiles();
    PartitionSums sums;
    sums.molecules = std::move(params.molecules());
    sums.temperatures = params.tipsTemperatures();
    sums.problems = files.tipsProblems();
    return sums;
}

void StartupData::PartitionSums::applyTo(Params &params)
{
    std::vector<Molecule> &target = params.molecules();
    for (std::size_t m = 0; m < target.size() && m < molecules.size(); ++m) {
        std::vector<Isotopologue> &to = target[m].isotopologues;
        std::vector<Isotopologue> &from = molecules[m].isotopologues;
        for (std::size_t i = 0; i < to.size() && i < from.size(); ++i) {
            to[i].partitionSums = std::move(from[i].partitionSums);
            to[i].partitionSumsFirstTemperature = from[i].partitionSumsFirstTemperature;
            to[i].tipsLoaded = from[i].tipsLoaded;
            to[i].partitionSumsMissing = from[i].partitionSumsMissing;
        }
    }
    params.setTipsTemperatures(std::move(temperatures));
}
