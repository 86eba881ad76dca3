#include "core/savefilewriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    return QStringLiteral("something other than a file");
}

} // namespace

SaveFileWriter::SaveFileWriter() = default;

SaveFileWriter::~SaveFileWriter() = default;

QString SaveFileWriter::replaceProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat entry;
    // Nothing there yet (or a folder on the way missing, which opening reports).
    if (::lstat(name.constData(), &entry) != 0)
        return QString();
    if (!S_ISLNK(entry.st_mode)) {
        if (S_ISREG(entry.st_mode))
            return QString();
        return QStringLiteral("%1 is %2, not a regular file; it is not replaced.").arg(path, kindOf(entry.st_mode));
    }
    struct stat target;
    if (::stat(name.constData(), &target) != 0) {
        if (errno == ELOOP)
            return QStringLiteral("%1 is a loop of symbolic links; it is not replaced.").arg(path);
        // A link to nothing: the new file is made where it points.
        return QString();
    }
    if (S_ISREG(target.st_mode))
        return QString();
    return QStringLiteral("%1 is a symbolic link to %2, which is %3, not a regular file; it is not replaced.")
        .arg(path, QFileInfo(path).canonicalFilePath(), kindOf(target.st_mode));
}

bool SaveFileWriter::open(const QString &path, Access access)
{
    m_path = path;
    m_error = replaceProblem(path);
    if (!m_error.isEmpty()) {
        m_file.reset();
        return false;
    }
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
    errno = 0;
    if (m_file->write(bytes) == bytes.size())
        return true;
    m_error = deviceError(errno);
    return false;
}

QString SaveFileWriter::deviceError(int error) const
{
    // Qt reports some failures of the system (a file beyond the size limit)
    // as "Unknown error"; the system's own words say more.
    const QString text = m_file->errorString();
    if (error != 0 && (text.isEmpty() || text == QLatin1String("Unknown error")))
        return QString::fromLocal8Bit(std::strerror(error));
    return text;
}

bool SaveFileWriter::commit()
{
    if (!m_file)
        return false;
    // Written bytes wait in a buffer, and a full disk only shows when it is
    // flushed; QSaveFile's commit() would put a file cut short in place then,
    // so the flush and the device's error are checked first.
    errno = 0;
    if (!m_file->flush() || m_file->error() != QFileDevice::NoError) {
        m_error = deviceError(errno);
        cancel();
        return false;
    }
    // What the target is may have changed since it was opened; the new file
    // replaces only a regular file still.
    const QString problem = replaceProblem(m_path);
    if (!problem.isEmpty()) {
        m_error = problem;
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
