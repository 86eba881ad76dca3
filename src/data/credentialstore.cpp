#include "data/credentialstore.h"

#include "core/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QUrl>

CredentialStore::CredentialStore(const QString &filePath)
    : m_filePath(filePath)
{
}

bool CredentialStore::load(QString *userName, QString *password) const
{
    // A few lines; a FIFO or device in its place is refused, not waited on.
    QByteArray text;
    if (!RegularFile::read(m_filePath, 64 * 1024, &text))
        return false;
    userName->clear();
    password->clear();
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = line.left(equals);
        const QString value = QUrl::fromPercentEncoding(line.mid(equals + 1).toUtf8());
        if (key == QLatin1String("email"))
            *userName = value;
        else if (key == QLatin1String("password"))
            *password = value;
    }
    return true;
}

bool CredentialStore::save(const QString &userName, const QString &password)
{
    if (userName.isEmpty() && password.isEmpty())
        return !QFileInfo::exists(m_filePath) || QFile::remove(m_filePath);

    QByteArray text;
    if (!userName.isEmpty())
        text += "email=" + QUrl::toPercentEncoding(userName) + '\n';
    if (!password.isEmpty())
        text += "password=" + QUrl::toPercentEncoding(password) + '\n';
    // Readable by its owner alone before a byte is in it; it replaces the old
    // file in one step once complete.
    return m_writer->writeWhole(m_filePath, text, FileWriter::Access::OwnerOnly);
}
