#pragma once

#include "core/linesource.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class HitranOnlineDownloader;
class SampleLines;
class StoredRegions;
class UserLineFile;

// Where the lines of a calculation come from: the line sources, tried in the
// order of the usage mode until one serves. The first that is ready serves;
// one that fails passes the request on to the next, and the user is told why
// the lines came from elsewhere (in a note, or as a problem when it was their
// own line file that could not serve). The sample shipped with the program
// always serves. A source that breaks off while the calculation reads it (a
// download) has the rest of its lines from the sources after it.
//
//   segmented use:  HITRANonline (stored)  your file  stored regions  sample
//   complete use:   your file  complete copy  HITRANonline (stored)  stored regions  sample
//   every time:     HITRANonline (streamed)  your file  stored regions  sample
//
// A new source is a class of its own, added in the constructor and placed
// in orderFor().
class LineSourceChain : public LineSource
{
    Q_OBJECT

public:
    explicit LineSourceChain(const QString &sampleFile, QObject *parent = nullptr);
    ~LineSourceChain() override;

    HitranOnlineDownloader *downloader() const { return m_downloader; }
    UserLineFile *userLineFile() const { return m_userLineFile; }
    void setUserLineFilePath(const QString &path);
    void setDownloadsFolder(const QString &folder);
    QString downloadsFolder() const;
    void setRecordsPerChunk(int records);
    void setSampleLineFile(const QString &file);

    // What the device holds for offline use: 0/10 no regions, 1/11 every
    // region, 2/12 some; +10 with a line file of the user's.
    int localDataStatus() const;
    // A range that no line source can serve, in words; empty when it can be served.
    static QString rangeProblem(double start, double end);

    // LineSource
    void prepare(const LineRequest &request) override;
    std::unique_ptr<LineFeed> takeFeed() override;
    QString origin() const override { return m_origin; }
    bool isSample() const override { return m_sample; }
    void cancel() override;

private:
    std::vector<LineSource *> orderFor(int usage) const;
    void tryNext();
    void sourceReady();
    void sourceFailed(const QString &reason);
    void continueBrokenSource(const QString &reason);
    // Tells the user why the lines (from `from` on) came from the source now serving.
    void tellFallback(double from);

    // Takes a source into the chain: it reports through the chain.
    template<typename Source>
    Source *add(std::unique_ptr<Source> source)
    {
        Source *added = source.get();
        m_sources.push_back(std::move(source));
        listenTo(added);
        return added;
    }
    void listenTo(LineSource *source);

    std::vector<std::unique_ptr<LineSource>> m_sources;
    HitranOnlineDownloader *m_downloader;
    UserLineFile *m_userLineFile;
    StoredRegions *m_completeCopy;
    StoredRegions *m_storedRegions;
    SampleLines *m_sampleLines;

    // The request in hand: the sources in order, the one tried, why those
    // before it could not serve.
    LineRequest m_request;
    std::vector<LineSource *> m_order;
    std::size_t m_tried = 0;
    LineSource *m_serving = nullptr;
    QStringList m_reasons;
    bool m_userFileFailed = false;
    // A source broke off: it takes the rest from the one now tried.
    LineSource *m_broken = nullptr;
    QString m_brokenOrigin;
    double m_brokenFrom = 0.0;
    QString m_origin;
    bool m_sample = false;
    bool m_cancelled = false;
};
