#include "data/bundledfiles.h"

#include "core/bundleddata.h"
#include "core/filewriter.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

QString shippedPath(const QString &relativePath)
{
    return BundledData::dataFolderFiles() + QLatin1Char('/') + relativePath;
}

// Writes one shipped file into place through the writer, whole or not at all.
bool copyShipped(const QString &source, const QString &target, FileWriter &writer, QString *problem)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("%1: the shipped copy cannot be read").arg(target);
        return false;
    }
    if (!writer.writeWhole(target, in.readAll())) {
        *problem = QStringLiteral("%1: %2").arg(target, writer.errorString());
        return false;
    }
    return true;
}

} // namespace

int BundledFiles::installMissingFiles(const QString &dataFolder, FileWriter &writer, QString *problem)
{
    BundledData::initialize();
    const QString bundle = BundledData::dataFolderFiles();
    int copied = 0;
    QString firstProblem;
    QDirIterator it(bundle, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = dataFolder + source.mid(bundle.size());
        // A link counts as present too, whatever it points to: the reader judges it.
        if (QFileInfo(target).exists() || QFileInfo(target).isSymLink())
            continue;
        QString why;
        if (!copyShipped(source, target, writer, &why)) {
            qWarning().noquote() << "Cannot install the shipped file" << why;
            if (firstProblem.isEmpty())
                firstProblem = why;
            continue;
        }
        ++copied;
    }
    if (problem)
        *problem = firstProblem;
    return firstProblem.isEmpty() ? copied : -1;
}

bool BundledFiles::isShipped(const QString &relativePath)
{
    BundledData::initialize();
    return QFileInfo(shippedPath(relativePath)).isFile();
}

bool BundledFiles::reinstall(const QString &target, const QString &relativePath, FileWriter &writer,
                             QString *problem)
{
    QString why;
    if (!isShipped(relativePath)) {
        why = QStringLiteral("no copy of %1 ships with Kolvex").arg(relativePath);
    } else {
        // A link or a FIFO is taken away first, so that the copy replaces the
        // entry itself instead of writing through it.
        const QFileInfo entry(target);
        if (entry.isSymLink() || (entry.exists() && !entry.isFile()))
            QFile::remove(target);
        if (copyShipped(shippedPath(relativePath), target, writer, &why)) {
            qWarning().noquote() << "Put back the shipped copy of" << target;
            return true;
        }
    }
    if (problem)
        *problem = why;
    return false;
}
