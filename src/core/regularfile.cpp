#include "core/regularfile.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool RegularFile::open(QFile &file, const QString &path, QString *problem)
{
    const auto fail = [&](const QString &why) {
        if (problem)
            *problem = why;
        return false;
    };
    // A file compiled into the program (":/...") is bytes in memory, never a
    // FIFO or a device.
    if (path.startsWith(QLatin1Char(':'))) {
        file.setFileName(path);
        return file.open(QIODevice::ReadOnly) || fail(file.errorString());
    }
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of
    // waiting for one; on a regular file the flag changes nothing.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("it is not a regular file"));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

bool RegularFile::read(const QString &path, qint64 maxBytes, QByteArray *content, QString *problem)
{
    content->clear();
    QFile file;
    if (!open(file, path, problem))
        return false;
    // Read in pieces up to one byte past the bound: the size the file system
    // reports is not trusted.
    constexpr qint64 piece = 1 << 16;
    QByteArray text;
    for (;;) {
        const qint64 wanted = std::min(piece, maxBytes + 1 - text.size());
        const QByteArray more = file.read(wanted);
        if (more.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                if (problem)
                    *problem = file.errorString();
                return false;
            }
            break;
        }
        text += more;
        if (text.size() > maxBytes) {
            if (problem)
                *problem = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
            return false;
        }
    }
    *content = text;
    return true;
}
