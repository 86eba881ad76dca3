#pragma once

#include "core/linesource.h"
#include "core/params.h"
#include "download/hitranonlinedownloader.h"
#include "download/linesourcechain.h"
#include "hitranstandinserver.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <memory>

// What a calculation received from a line source: whether it was served, and
// the positions of all records, read on a thread of their own as the engine
// reads them (a download hands its batches in from the event loop).
struct LineSourceRun
{
    bool completed = false;
    bool unsuccessful = false;
    QVector<double> positions;
    int chunks = 0;
    // Of the feed: the records it counted, and what it found wrong with them.
    qint64 expected = 0;
    QString feedProblem;
};

// Asks a line source for the lines of a request and reads them all.
LineSourceRun runLineSource(LineSource &source, const LineRequest &request, int timeoutMs = 10000);

// The program's line sources in a fresh data folder, with the stand-in of
// HITRANonline serving the test line list: the user's line file is
// HITRAN2012.par of the folder, chunks are 150 records, and what the sources
// tell the user is collected.
class LineSourcesUnderTest : public QObject
{
    Q_OBJECT

public:
    LineSourcesUnderTest();
    ~LineSourcesUnderTest() override;

    // Whether the stand-in server runs and the folder could be made.
    bool isValid() const { return m_valid; }
    static QString fixture();

    HitranStandInServer &server() { return *m_server; }
    LineSourceChain &chain() { return *m_chain; }
    HitranOnlineDownloader &downloader() { return *m_chain->downloader(); }
    Params &params() { return *m_params; }

    QString folder() const { return m_dir.path(); }
    QString userLineFile() const { return m_dir.filePath(QStringLiteral("HITRAN2012.par")); }
    QString downloads() const { return m_dir.filePath(QStringLiteral("HITRAN-downloads")); }
    QStringList storedFiles() const;

    // A calculation of [start, end] whose lines reach `reach` beyond their positions.
    LineSourceRun calculate(double start, double end, double reach = 0.0);

    QStringList notifications;   // the banner's texts
    QStringList dialogs;         // messages that need the user's attention
    QStringList notes;           // messages that need no answer (lines from elsewhere)

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Params> m_params;
    std::unique_ptr<HitranStandInServer> m_server;
    std::unique_ptr<LineSourceChain> m_chain;
    bool m_valid = false;
};
