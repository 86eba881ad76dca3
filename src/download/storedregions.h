#pragma once

#include "core/linesource.h"

#include <QString>

class LocalLineFeed;

// The regions of HITRAN lines downloaded earlier and stored in the downloads
// folder. Complete: it serves only when every region of the line database is
// stored (a complete copy for offline use); otherwise it serves what the
// stored regions hold of the range, when they hold any of it.
class StoredRegions : public LineSource
{
    Q_OBJECT

public:
    enum class Coverage { Complete, AnyPart };

    StoredRegions(Coverage coverage, QObject *parent = nullptr);
    ~StoredRegions() override;

    void setFolder(const QString &folder) { m_folder = folder; }
    QString folder() const { return m_folder; }
    void setRecordsPerChunk(int records) { m_recordsPerChunk = records; }

    void prepare(const LineRequest &request) override;
    std::unique_ptr<LineFeed> takeFeed() override;
    QString origin() const override;

private:
    Coverage m_coverage;
    QString m_folder;
    int m_recordsPerChunk = 20000;
    std::unique_ptr<LocalLineFeed> m_feed;
};
