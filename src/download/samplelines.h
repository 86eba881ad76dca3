#pragma once

#include "core/linesource.h"
#include "core/molecule.h"

#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <vector>

class LocalLineFeed;

// The small sample line list shipped with the program, the lines of last
// resort when no others can be had: it serves any range (with what it holds
// of it, perhaps nothing) and says what it holds.
class SampleLines : public LineSource
{
    Q_OBJECT

public:
    explicit SampleLines(const QString &file, QObject *parent = nullptr);
    ~SampleLines() override;

    void setFile(const QString &file);
    void setRecordsPerChunk(int records) { m_recordsPerChunk = records; }
    // The sample as a file that reads quickly: an uncompressed resource is read
    // where it is; a compressed one would be unpacked on every open, so it is
    // copied once into a temporary file.
    QString filePath();
    // What the sample holds, molecules (named after `molecules`) and range, in plain words.
    QString description(const std::vector<Molecule> *molecules);

    void prepare(const LineRequest &request) override;
    std::unique_ptr<LineFeed> takeFeed() override;
    QString origin() const override { return m_origin; }
    bool isSample() const override { return true; }

private:
    QString m_file;
    std::unique_ptr<QTemporaryFile> m_copy;
    QString m_description;
    QString m_origin;
    int m_recordsPerChunk = 20000;
    std::unique_ptr<LocalLineFeed> m_feed;
};
