#pragma once

#include "core/filewriter.h"

#include <memory>

class QSaveFile;

// The program's file writer: the new content goes to a temporary file beside
// the target, which replaces the target only once every byte has reached the
// device.
class SaveFileWriter : public FileWriter
{
public:
    SaveFileWriter();
    ~SaveFileWriter() override;

    using FileWriter::open;
    bool open(const QString &path, Access access) override;
    bool write(const QByteArray &bytes) override;
    bool commit() override;
    void cancel() override;
    QString errorString() const override;

private:
    std::unique_ptr<QSaveFile> m_file;
    QString m_error;
};
