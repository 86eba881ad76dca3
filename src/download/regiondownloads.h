#pragma once

#include "core/molecule.h"
#include "core/savefilewriter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

class HitranRequestData;
class LineFileStore;
class NormalizedDownloadRegionsFinder;
class ServerLogin;

// Line data from HITRANonline, one GET per region of the fixed region grid:
// either the regions of a range that the downloads folder lacks, each stored
// as a file for reuse (after a login, when asked for), or, during a
// calculation that stores nothing, one region per batch of the engine, handed
// to the line-file store as it arrives.
class RegionDownloads : public QObject
{
    Q_OBJECT

public:
    RegionDownloads(LineFileStore *store, QObject *parent = nullptr);
    ~RegionDownloads() override;

    void setServiceBaseUrl(const QString &url);
    QString serviceBaseUrl() const { return m_serviceBaseUrl; }
    // The host of the service, named in messages.
    QString serviceHost() const;
    void setLoginUrl(const QString &url);
    void setLoginUserName(const QString &userName);
    void setLoginPassword(const QString &password);
    // Lets the login go over plain HTTP (only the local test server needs it).
    void setAllowInsecureLogin(bool allow);
    void setLoginFirst(bool loginFirst) { m_loginFirst = loginFirst; }
    bool loginFirst() const { return m_loginFirst; }
    void setMolecules(const std::vector<Molecule> *molecules) { m_molecules = molecules; }
    void setTimeout(int milliseconds);
    // Longest whole request, milliseconds, and the largest reply, bytes.
    void setTimeLimit(int milliseconds);
    void setMaxReplyBytes(qint64 bytes);
    // Seam for tests: the writer region files go through (not owned); null
    // puts the program's own back.
    void setFileWriter(FileWriter *writer) { m_writer = writer ? writer : &m_ownWriter; }
    // A cancel gives up the transfer in progress; its reply then ends the sequence.
    void setCancelRequested(bool cancel);
    bool cancelRequested() const { return m_cancelRequested; }

    // The query of the lines of every isotopologue with a global number in [start, end].
    QString lineQueryUrl(double start, double end) const;
    bool isBusy() const { return m_transfer != Transfer::None; }

    // Searches the downloads folder, then fetches and stores every region of
    // [start, end] it lacks; ends with regionsStored() or storingFailed().
    void fetchMissing(double start, double end);

    // The regions of [start, end], clipped to it, for a calculation that stores nothing.
    void formRunRegions(double start, double end);
    // Requests the next of them; false when none is left or the user cancelled.
    bool requestNextRunRegion();
    // A reply to a run region still on its way no longer counts.
    void forgetRunRegion();

signals:
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);
    // Every missing region is stored, or the user cancelled.
    void regionsStored();
    void storingFailed(const QString &reason);
    // A run region is in the line-file store's batch.
    void runRegionArrived();
    // A run region could not be had; the lines from `from` on must come from elsewhere.
    void runRegionFailed(const QString &reason, double from);

public slots:
    void processServerReturnedData(QByteArray *hitranData, bool success);
    void authenticationComplete();
    void sendInitialDownloadRequest();

private slots:
    void authenticationFailed(const QString &message);

private:
    enum class Transfer { None, StoringRegions, RunRegion };

    void requestRegion(int listPosition);
    void notifyStoredProgress();
    void hideBanner();
    void endStoredSequence();
    void storedSequenceFailed(const QString &reason);
    bool storeRegion(const QByteArray &data, QString *problem);
    // Why the reply for the current region cannot be used; empty when it can.
    QString replyProblem(const QByteArray &data) const;

    LineFileStore *m_store;
    ServerLogin *m_login;
    HitranRequestData *m_request;
    NormalizedDownloadRegionsFinder *m_regionFinder;
    QString m_serviceBaseUrl;
    QString m_loginQueryPath;
    QString m_apiQueryPath;
    const std::vector<Molecule> *m_molecules = nullptr;
    bool m_loginFirst = false;
    bool m_cancelRequested = false;
    Transfer m_transfer = Transfer::None;
    int m_currentRegion = 0;
    SaveFileWriter m_ownWriter;
    FileWriter *m_writer = &m_ownWriter;
};
