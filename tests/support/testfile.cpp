#include "testfile.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QFile>
#include <QTest>

void TestFile::write(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray TestFile::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestFile::makeEndlessNode(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // Major 1, minor 5: the memory device that reads as endless zeros.
    if (mknod(name.constData(), S_IFCHR | 0600, makedev(1, 5)) == 0)
        return true;
    return mkfifo(name.constData(), 0600) == 0;
}
