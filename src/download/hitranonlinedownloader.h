#pragma once

#include "core/linesource.h"
#include "download/linefilestore.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <memory>

class FileDownloader;
class HitranRequestData;
class NormalizedDownloadRegionsFinder;
class ServerLogin;
class TipsFilesDownloader;

// Decides where the HITRAN lines of a calculation come from and fetches the
// missing ones from the HITRANonline service, region by region. Depending on the
// usage mode the regions are stored in the downloads folder for reuse, read from
// a complete local copy, or downloaded during the calculation and never stored.
// It feeds the engine with batches of records and also runs the downloads of the
// isotopologue parameter file, the global number file and the partition sums.
//
// When the lines of a calculation cannot be obtained (no network, a service
// error, offline use without a local copy) the calculation runs from the user's
// own local line data for the range, or else from the sample line list shipped
// with the program, and an OK dialog says where the lines came from.
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
    bool cancelRequested() const override { return m_cancelRequested; }
    void fetchForCalculation() override;
    void prepareLineData() override;
    qint64 expectedRecordCount() const override;
    void requestNextChunk() override;
    const std::vector<LineRecord> &lineRecords() const override { return m_lineFileStore.batch(); }
    void clearLineRecords() override { m_lineFileStore.clearBatch(); }

    // Addresses, folders and switches set by the core at start-up.
    void setServiceBaseUrl(const QString &url);
    QString serviceBaseUrl() const { return m_serviceBaseUrl; }
    void setLoginUrl(const QString &url);
    void setLoginUserName(const QString &userName);
    void setLoginPassword(const QString &password);
    // Lets the login go over plain HTTP (only the local test server needs it).
    void setAllowInsecureLogin(bool allow);
    void setLoginFirst(bool loginFirst) { m_loginFirst = loginFirst; }
    bool loginFirst() const { return m_loginFirst; }
    void setMainDataFolder(const QString &folder);
    void setCumulativeFileName(const QString &name);
    QString cumulativeFilePath() const;
    void setDownloadsFolder(const QString &folder);
    QString downloadsFolder() const { return m_lineFileStore.folder(); }
    void setDataFolder(const QString &folder) { m_dataFolder = folder; }
    void setMolparamUrl(const QString &url) { m_molparamUrl = url; }
    void setGlobalIdUrl(const QString &url) { m_globalIdUrl = url; }
    void setTipsBaseUrl(const QString &url);
    void setTipsFolder(const QString &folder);
    // Sets the usage mode (0, 1 or 2); other values are refused (returns false).
    bool setUsage(int usage);
    int usage() const { return m_usage; }
    void setRecordsPerChunk(int records);
    int recordsPerChunk() const { return m_recordsPerChunk; }
    // Longest wait for the next bytes of any network reply, milliseconds.
    void setNetworkTimeout(int milliseconds);
    // The line list used when no other lines can be had (the shipped sample).
    void setSampleLineFile(const QString &path);

    // Downloads the regions of [start, end] that the downloads folder lacks (as the
    // usage mode requires), then emits hitranDownloadComplete().
    void fetchMissingRegions(bool loginFirst, double start, double end);
    // The one-time complete download: every missing region of 0-50000 cm-1.
    void downloadCompleteHitran();
    bool isDownloading() const { return m_transfer != Transfer::None; }

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
    bool lastTipsDownloadSucceeded() const { return m_lastTipsDownloadSucceeded; }

    // Where the lines of the last prepared calculation come from, in plain words.
    QString lineDataOrigin() const { return m_lineDataOrigin; }
    // What the sample line list holds: molecules and range, in plain words.
    QString sampleDescription();

    LineFileStore &lineFileStore() { return m_lineFileStore; }
    NormalizedDownloadRegionsFinder *regionFinder() const { return m_regionFinder; }

signals:
    void molparamTxtDownloadComplete();
    void globalIdTxtDownloadComplete();
    void tipsDownloadComplete();

public slots:
    void processServerReturnedData(QByteArray *hitranData, bool success);
    void authenticationComplete();
    void molparamDownloaded(QByteArray *molparamData, bool success);
    void tipsFilesDownloaded(bool success);
    void sendInitialDownloadRequest();

private slots:
    void authenticationFailed(const QString &message);

private:
    enum class Transfer { None, StoringRegions, RunRegion };
    enum class Source { None, SingleFile, RegionFiles, RegionDownloads };

    void requestRegion(int listPosition);
    void notifyStoredProgress();
    void hideBanner();
    void endStoredSequence();
    void storedSequenceFailed(const QString &reason);
    bool storeRegion(const QByteArray &data, QString *problem);
    // Chooses the local lines of [start, end] when the service cannot deliver them.
    void useFallbackLines(const QString &reason, double start, double end);
    void useSingleFile(const QString &path, double start, double end);
    bool useRegionFiles(double start, double end);
    void readNextFromFiles();
    QString serviceHost() const;
    // The sample as a plain file: a compressed resource would be unpacked on every open.
    QString sampleFilePath();

    QString m_serviceBaseUrl;
    QString m_loginQueryPath;
    QString m_apiQueryPath;
    QString m_mainDataFolder;
    QString m_cumulativeFileName;
    QString m_dataFolder;
    QString m_molparamUrl;
    QString m_globalIdUrl;
    QString m_sampleLineFile;
    QString m_singleFilePath;
    qint64 m_singleFileRecordLength = 161;
    std::unique_ptr<QTemporaryFile> m_sampleCopy;
    double m_calcStart = 0.0;
    double m_calcEnd = 0.0;
    int m_firstFile = 0;
    int m_lastFile = -1;
    int m_currentFile = 0;
    qint64 m_startOffset = 0;
    qint64 m_endOffset = 0;
    qint64 m_position = 0;
    qint64 m_chunkEnd = 0;
    int m_recordsPerChunk = 20000;
    bool m_loginFirst = false;
    ServerLogin *m_login = nullptr;
    HitranRequestData *m_request = nullptr;
    NormalizedDownloadRegionsFinder *m_regionFinder = nullptr;
    LineFileStore m_lineFileStore;
    int m_currentRegion = 0;
    FileDownloader *m_fileDownloader = nullptr;
    TipsFilesDownloader *m_tipsDownloader = nullptr;
    quint8 m_usage = SegmentedUsage;
    std::vector<Molecule> *m_molecules = nullptr;
    bool m_cancelRequested = false;

    Transfer m_transfer = Transfer::None;
    Source m_source = Source::None;
    bool m_forCalculation = false;
    bool m_fallbackPending = false;
    QString m_fallbackReason;
    QString m_lineDataOrigin;
    QString m_sampleDescription;
    bool m_lastTipsDownloadSucceeded = false;
};
