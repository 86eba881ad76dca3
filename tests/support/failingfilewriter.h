#pragma once

#include "core/savefilewriter.h"

// The program's file writer, made to fail part-way as a full disk would: the
// bytes beyond the limit are not written and write() fails from then on.
class FailingFileWriter : public SaveFileWriter
{
public:
    // Bytes written before the failure; negative for no failure.
    explicit FailingFileWriter(qint64 bytesBeforeFailure) : m_limit(bytesBeforeFailure) {}

    using SaveFileWriter::open;
    bool open(const QString &path, Access access) override;
    bool write(const QByteArray &bytes) override;
    QString errorString() const override;

private:
    qint64 m_limit;
    qint64 m_written = 0;
    bool m_failed = false;
};
