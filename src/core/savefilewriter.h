#pragma once

#include "core/filewriter.h"

#include <memory>

class QSaveFile;

// The program's file writer: the new content goes to a temporary file beside
// the target, which replaces the target only once every byte has reached the
// device.
//
// Only a regular file is ever replaced. A target that exists as anything else
// (a folder, a FIFO, a socket, a device node), whether named directly or
// reached through symbolic links, is refused with a message that names it:
// replacing a link to /dev/zero would otherwise put a regular file in the
// place of the device. A link to a regular file is written through, and the
// link stays.
class SaveFileWriter : public FileWriter
{
public:
    SaveFileWriter();
    ~SaveFileWriter() override;

    // Why the file at path may not be replaced, naming it; empty when it may
    // (a regular file, through links or not, or nothing yet).
    static QString replaceProblem(const QString &path);

    using FileWriter::open;
    bool open(const QString &path, Access access) override;
    bool write(const QByteArray &bytes) override;
    bool commit() override;
    void cancel() override;
    QString errorString() const override;

private:
    // What went wrong with the file, given the system's error number.
    QString deviceError(int error) const;

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    QString m_error;
};
