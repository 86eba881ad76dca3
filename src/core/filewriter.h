#pragma once

#include <QByteArray>
#include <QString>

// Writes one file whole or not at all: open() begins its new content, write()
// adds to it, commit() puts it in the place of the old file, and until then
// the old file stays as it was. Classes that write files take a writer, so
// that a test can put one in its place that fails part-way, as a full disk or
// a lost device would; SaveFileWriter is the program's own.
class FileWriter
{
public:
    // Who may read the new file: everyone the folder lets in, or its owner
    // alone (a stored password).
    enum class Access { Everyone, OwnerOnly };

    virtual ~FileWriter() = default;

    bool open(const QString &path) { return open(path, Access::Everyone); }
    virtual bool open(const QString &path, Access access) = 0;
    // False when not every byte could be taken; the file is then not to be committed.
    virtual bool write(const QByteArray &bytes) = 0;
    // False when the file could not be put in place; the old one then stays.
    virtual bool commit() = 0;
    // Gives up what was written since open(); the old file stays.
    virtual void cancel() = 0;
    virtual QString errorString() const = 0;

    // Opens, writes and commits one file; on failure nothing new is left
    // behind, the old file stays and errorString() says why.
    bool writeWhole(const QString &path, const QByteArray &bytes, Access access = Access::Everyone);
};
