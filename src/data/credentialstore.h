#pragma once

#include "core/savefilewriter.h"

#include <QString>

// The HITRANonline login kept between runs: a small file in the data folder
// that only the user can read or write (mode 0600). Only what the user chose
// to keep is written; with nothing to keep the file is removed.
class CredentialStore
{
public:
    explicit CredentialStore(const QString &filePath);

    static QString fileName() { return QStringLiteral("hitran-login.txt"); }
    QString filePath() const { return m_filePath; }

    // Reads the file; false when there is none or it cannot be read.
    bool load(QString *userName, QString *password) const;
    // Writes the chosen parts (an empty text is not written); false on failure,
    // and then the previous file stays as it was.
    bool save(const QString &userName, const QString &password);

    // Seam for tests: the writer the file goes through (not owned); null puts
    // the program's own back.
    void setFileWriter(FileWriter *writer) { m_writer = writer ? writer : &m_ownWriter; }

private:
    QString m_filePath;
    SaveFileWriter m_ownWriter;
    FileWriter *m_writer = &m_ownWriter;
};
