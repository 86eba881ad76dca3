#include "data/credentialstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTextStream>
#include <QUrl>

#include <cstdio>

CredentialStore::CredentialStore(const QString &filePath)
    : m_filePath(filePath)
{
}

bool CredentialStore::load(QString *userName, QString *password) const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    userName->clear();
    password->clear();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
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

bool CredentialStore::save(const QString &userName, const QString &password) const
{
    if (userName.isEmpty() && password.isEmpty())
        return !QFileInfo::exists(m_filePath) || QFile::remove(m_filePath);

    // A temporary file is created readable by its owner only; it replaces the
    // old file in one step once complete.
    QTemporaryFile temporary(QFileInfo(m_filePath).absolutePath() + QStringLiteral("/.hitran-login-XXXXXX"));
    if (!temporary.open())
        return false;
    QByteArray text;
    if (!userName.isEmpty())
        text += "email=" + QUrl::toPercentEncoding(userName) + '\n';
    if (!password.isEmpty())
        text += "password=" + QUrl::toPercentEncoding(password) + '\n';
    if (temporary.write(text) != text.size() || !temporary.flush())
        return false;
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    temporary.close();
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(m_filePath).constData()) != 0)
        return false;
    temporary.setAutoRemove(false);
    return QFile::setPermissions(m_filePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
