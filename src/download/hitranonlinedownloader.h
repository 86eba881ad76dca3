#pragma once

#include "core/linesource.h"
#include "download/linefilestore.h"
#include "download/locallinefeed.h"
#include "download/samplelines.h"

#include <QString>

#include <memory>

class FileWriter;
class ParameterDownloads;
class RegionDownloads;

// The program's line source: decides where the HITRAN lines of a calculation
// come from and feeds the engine with batches of them. Depending on the usage
// mode the missing regions are downloaded and stored for reuse, a complete
// local copy is read, or the regions are downloaded during the calculation and
// never stored (RegionDownloads fetches them, LocalLineFeed reads the files).
// When the lines cannot be obtained (no network, a service error, offline use
// without a local copy) the calculation runs from the user's own local line
// data for the range, or else from the sample shipped with the program
// (SampleLines), and an OK dialog says where the lines came from.
//
// It also offers the downloads of the parameter files and the partition sums
// (ParameterDownloads) under the names the core knows.
class HitranOnlineDownloader : public LineSource
{
    Q_OBJECT

public:
    enum Usage {
        SegmentedUsage = 0,   // download missing regions, store and reuse them
        CompleteUsage = 1,    // complete copy downloaded once, used offline
        EveryTimeUsage = 2    // download during every calculation, never store
    };

    static constexpr int recordLengthCrlf = 162;

    explicit HitranOnlineDownloader(QObject *parent = nullptr);
    ~HitranOnlineDownloader() override;

    // LineSource
    void setMolecules(std::vector<Molecule> *molecules) override;
    void setCalcStart(double wavenumber) override { m_calcStart = wavenumber; }
    void setCalcEnd(double wavenumber) override { m_calcEnd = wavenumber; }
    void setCancelRequested(bool cancel) override;
    bool cancelRequested() const override;
    void fetchForCalculation() override;
    void prepareLineData() override;
    std::unique_ptr<LineFeed> takeLineFeed() override;
    qint64 expectedRecordCount() const override;
    void requestNextChunk() override;
    const LineBatch &lineRecords() const override { return m_lineFileStore.batch(); }
    void clearLineRecords() override { m_lineFileStore.clearBatch(); }

    // Addresses, folders and switches set by the core at start-up.
    void setServiceBaseUrl(const QString &url);
    QString serviceBaseUrl() const;
    void setLoginUrl(const QString &url);
    void setLoginUserName(const QString &userName);
    void setLoginPassword(const QString &password);
    // Lets the login go over plain HTTP (only the local test server needs it).
    void setAllowInsecureLogin(bool allow);
    void setLoginFirst(bool loginFirst);
    bool loginFirst() const;
    void setMainDataFolder(const QString &folder);
    void setCumulativeFileName(const QString &name);
    QString cumulativeFilePath() const;
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
    // The line list used when no other lines can be had (the shipped sample).
    void setSampleLineFile(const QString &path) { m_sample.setFile(path); }

    // Downloads the regions of [start, end] that the downloads folder lacks (as the
    // usage mode requires), then emits hitranDownloadComplete().
    void fetchMissingRegions(bool loginFirst, double start, double end);
    // The one-time complete download: every missing region of 0-50000 cm-1.
    void downloadCompleteHitran();
    bool isDownloading() const;

    // 0/10: no regions, 1/11: all regions, 2/12: some regions; +10 with a cumulative file.
    int localDataStatus() const;
    QString lineQueryUrl(double start, double end) const;
    // A message for a requested range that cannot be served, empty when it can.
    static QString rangeProblem(double start, double end);
    // The range whose lines a calculation needs: the calculation's range widened
    // by the line reach, within the wavenumbers HITRAN covers.
    double lineRangeStart() const;
    double lineRangeEnd() const;

    void downloadMolparam();
    void downloadGlobalId();
    void downloadTips();
    // Whether the last partition-sum run obtained any file.
    bool lastTipsDownloadSucceeded() const;

    // Where the lines of the last prepared calculation come from, in plain words.
    QString lineDataOrigin() const override { return m_lineDataOrigin; }
    bool usesSampleLines() const override { return m_usesSample; }

    LineFileStore &lineFileStore() { return m_lineFileStore; }

signals:
    void molparamTxtDownloadComplete();
    void globalIdTxtDownloadComplete();
    void tipsDownloadComplete();

private:
    enum class Source { None, Files, RegionDownloads };

    void regionsFailed(const QString &reason);
    void runRegionFailed(const QString &reason, double from);
    void hideBanner();
    // Why the user's line file cannot serve, for the user; empty when it can.
    QString cumulativeFileProblem() const;
    // Chooses the local lines of [start, end] when the service cannot deliver them.
    void useFallbackLines(const QString &reason, double start, double end);
    void readNextFromFiles();
    // A new feed of the local files, with the chunk size of this source.
    void newFeed();

    LineFileStore m_lineFileStore;
    std::unique_ptr<LocalLineFeed> m_feed;
    SampleLines m_sample;
    RegionDownloads *m_regions;
    ParameterDownloads *m_parameters;
    QString m_mainDataFolder;
    QString m_cumulativeFileName;
    double m_calcStart = 0.0;
    double m_calcEnd = 0.0;
    int m_recordsPerChunk = 20000;
    quint8 m_usage = SegmentedUsage;
    std::vector<Molecule> *m_molecules = nullptr;

    Source m_source = Source::None;
    bool m_forCalculation = false;
    bool m_fallbackPending = false;
    QString m_fallbackReason;
    QString m_lineDataOrigin;
    bool m_usesSample = false;
};
