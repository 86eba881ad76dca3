#pragma once

#include "core/molecule.h"

#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <vector>

// The small sample line list shipped with the program, the lines of last
// resort when no others can be had: where to read it and what it holds.
class SampleLines
{
public:
    explicit SampleLines(const QString &file);

    void setFile(const QString &file);
    // The sample as a file that reads quickly: an uncompressed resource is read
    // where it is; a compressed one would be unpacked on every open, so it is
    // copied once into a temporary file.
    QString filePath();
    // What the sample holds, molecules (named after `molecules`) and range, in plain words.
    QString description(const std::vector<Molecule> *molecules);

private:
    QString m_file;
    std::unique_ptr<QTemporaryFile> m_copy;
    QString m_description;
};
