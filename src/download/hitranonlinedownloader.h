#pragma once

#include "core/linesource.h"
#include "download/linefilestore.h"

#include <QString>

#include <memory>
#include <vector>

class FileWriter;
class LocalLineFeed;
class ParameterDownloads;
class QueuedLineFeed;
class RegionDownloads;

// HITRANonline: the line data of a calculation from the service, and the
// downloads of the parameter files and the partition sums.
//
// As a line source it follows the usage mode: it fetches the regions of the
// range that the downloads folder lacks, stores them and serves the stored
// regions (segmented and complete use), or, used every time, downloads the
// regions one after the other while the calculation reads them and stores
// nothing; a region that cannot be had then ends it, and the rest of the lines
// come from elsewhere (resumeFrom(), continueWith()).
class HitranOnlineDownloader : public LineSource
{
    Q_OBJECT

public:
    enum Usage {
        SegmentedUsage = 0,   // download missing regions, store and reuse them
        CompleteUsage = 1,    // complete copy downloaded once, used offline
        EveryTimeUsage = 2    // download during every calculation, never store
    };

    explicit HitranOnlineDownloader(QObject *parent = nullptr);
    ~HitranOnlineDownloader() override;

    // LineSource
    void prepare(const LineRequest &request) override;
    std::unique_ptr<LineFeed> takeFeed() override;
    QString origin() const override;
    void cancel() override;
    double resumeFrom() const override { return m_resumeFrom; }
    void continueWith(std::unique_ptr<LineFeed> rest) override;

    // Addresses, folders and switches set by the core at start-up.
    void setMolecules(const std::vector<Molecule> *molecules);
    void setServiceBaseUrl(const QString &url);
    QString serviceBaseUrl() const;
    QString serviceHost() const;
    void setLoginUrl(const QString &url);
    void setLoginUserName(const QString &userName);
    void setLoginPassword(const QString &password);
    // Lets the login go over plain HTTP (only the local test server needs it).
    void setAllowInsecureLogin(bool allow);
    void setLoginFirst(bool loginFirst);
    bool loginFirst() const;
    void setDownloadsFolder(const QString &folder) { m_lineFileStore.setFolder(folder); }
    QString downloadsFolder() const { return m_lineFileStore.folder(); }
    void setDataFolder(const QString &folder);
    void setMolparamUrl(const QString &url);
    void setGlobalIdUrl(const QString &url);
    void setTipsBaseUrl(const QString &url);
    void setTipsFolder(const QString &folder);
    // Sets the usage mode (0, 1 or 2); other values are refused (returns false).
    bool setUsage(int usage);
    int usage() const { return m_usage; }
    void setRecordsPerChunk(int records);
    int recordsPerChunk() const { return m_recordsPerChunk; }
    // Longest wait for the next bytes of any network reply, milliseconds.
    void setNetworkTimeout(int milliseconds);
    // Longest whole network request, milliseconds.
    void setRequestTimeLimit(int milliseconds);
    // The largest line-data reply, bytes (far above any region's; tests lower it).
    void setMaxLineReplyBytes(qint64 bytes);
    // Longest whole partition-sum download run, milliseconds; 0: none.
    void setTipsRunTimeLimit(int milliseconds);
    // Seam for tests: the writer every downloaded file goes through (not
    // owned); null puts the program's own back.
    void setFileWriter(FileWriter *writer);

    // The one-time complete download: every missing region of 0-50000 cm-1;
    // completeDownloadEnded() follows, a failure told as a problem first.
    void downloadCompleteHitran();
    bool isDownloading() const;
    QString lineQueryUrl(double start, double end) const;

    void downloadMolparam();
    void downloadGlobalId();
    void downloadTips();
    // Whether the last partition-sum run obtained any file.
    bool lastTipsDownloadSucceeded() const;

signals:
    void molparamTxtDownloadComplete();
    void globalIdTxtDownloadComplete();
    void tipsDownloadComplete();
    void completeDownloadEnded();

private:
    enum class Job { None, Calculation, CompleteDownload, Stream };

    void regionsStored();
    void regionsFailed(const QString &reason);
    void runRegionArrived();
    void runRegionFailed(const QString &reason, double from);
    void askForRunRegion();
    void relayNotify(const QString &message, double value, bool visible);

    LineFileStore m_lineFileStore;
    RegionDownloads *m_regions;
    ParameterDownloads *m_parameters;
    int m_recordsPerChunk = 20000;
    quint8 m_usage = SegmentedUsage;

    Job m_job = Job::None;
    LineRequest m_request;
    std::unique_ptr<LineFeed> m_feed;
    std::shared_ptr<QueuedLineFeed> m_stream;   // the feed of the regions downloaded during a calculation
    double m_resumeFrom = 0.0;
};
