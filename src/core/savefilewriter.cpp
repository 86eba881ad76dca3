#include "core/savefilewriter.h"

#include <QSaveFile>

SaveFileWriter::SaveFileWriter() = default;

SaveFileWriter::~SaveFileWriter() = default;

bool SaveFileWriter::open(const QString &path)
{
    m_file = std::make_unique<QSaveFile>(path);
    if (m_file->open(QIODevice::WriteOnly))
        return true;
    m_error = m_file->errorString();
    m_file.reset();
    return false;
}

bool SaveFileWriter::write(const QByteArray &bytes)
{
    if (!m_file)
        return false;
    if (m_file->write(bytes) == bytes.size())
        return true;
    m_error = m_file->errorString();
    return false;
}

bool SaveFileWriter::commit()
{
    if (!m_file)
        return false;
    const bool committed = m_file->commit();
    if (!committed)
        m_error = m_file->errorString();
    m_file.reset();
    return committed;
}

void SaveFileWriter::cancel()
{
    if (!m_file)
        return;
    m_file->cancelWriting();
    m_file->commit();   // removes the temporary file and keeps the old one
    m_file.reset();
}

QString SaveFileWriter::errorString() const
{
    return m_error;
}
