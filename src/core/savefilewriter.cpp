#include "core/savefilewriter.h"

#include <QSaveFile>

SaveFileWriter::SaveFileWriter() = default;

SaveFileWriter::~SaveFileWriter() = default;

bool SaveFileWriter::open(const QString &path, Access access)
{
    m_error.clear();
    m_file = std::make_unique<QSaveFile>(path);
    if (m_file->open(QIODevice::WriteOnly)) {
        // The temporary file is narrowed before a byte is in it.
        if (access == Access::OwnerOnly
            && !m_file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            m_error = m_file->errorString();
            cancel();
            return false;
        }
        return true;
    }
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
    // Written bytes wait in a buffer, and a full disk only shows when it is
    // flushed; QSaveFile's commit() would put a file cut short in place then,
    // so the flush and the device's error are checked first.
    if (!m_file->flush() || m_file->error() != QFileDevice::NoError) {
        m_error = m_file->errorString();
        cancel();
        return false;
    }
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
