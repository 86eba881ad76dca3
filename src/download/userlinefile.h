#pragma once

#include "core/linesource.h"

#include <QString>

class LocalLineFeed;

// The user's own line file in the data folder (a HITRAN line list sorted by
// wavenumber): it serves any range; without one it has nothing to offer, and
// one that cannot serve (not a regular file, empty, binary, not sorted) fails
// with the reason, naming the file.
class UserLineFile : public LineSource
{
    Q_OBJECT

public:
    explicit UserLineFile(QObject *parent = nullptr);
    ~UserLineFile() override;

    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }
    // The file as the user knows it.
    QString name() const;
    void setRecordsPerChunk(int records) { m_recordsPerChunk = records; }
    // Whether there is anything by the file's name (which may still fail to serve).
    bool isPresent() const;
    // Chooses the line file among the files of a folder: the first ".par" file in
    // name order; without a regular one, the first ".par" entry of any kind (a
    // FIFO, a folder, which the user is then told cannot serve);
    // "HITRAN2012.par" when there is none.
    static QString chooseFileName(const QString &folder);

    void prepare(const LineRequest &request) override;
    std::unique_ptr<LineFeed> takeFeed() override;
    QString origin() const override;

private:
    QString m_path;
    int m_recordsPerChunk = 20000;
    std::unique_ptr<LocalLineFeed> m_feed;
};
