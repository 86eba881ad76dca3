#include "failingfilewriter.h"

bool FailingFileWriter::open(const QString &path, Access access)
{
    m_written = 0;
    m_failed = false;
    return SaveFileWriter::open(path, access);
}

bool FailingFileWriter::write(const QByteArray &bytes)
{
    if (m_limit < 0)
        return SaveFileWriter::write(bytes);
    const qint64 room = qMax<qint64>(0, m_limit - m_written);
    if (bytes.size() <= room) {
        m_written += bytes.size();
        return SaveFileWriter::write(bytes);
    }
    SaveFileWriter::write(bytes.left(int(room)));
    m_written += room;
    m_failed = true;
    return false;
}

QString FailingFileWriter::errorString() const
{
    return m_failed ? QStringLiteral("No space left on device") : SaveFileWriter::errorString();
}
