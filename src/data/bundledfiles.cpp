#include "data/bundledfiles.h"

#include "core/bundleddata.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

int BundledFiles::installMissingFiles(const QString &dataFolder)
{
    BundledData::initialize();
    const QString bundle = BundledData::dataFolderFiles();
    int copied = 0;
    bool failed = false;
    QDirIterator it(bundle, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = dataFolder + source.mid(bundle.size());
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile in(source);
        // Written under a temporary name and renamed, so that an interrupted
        // start never leaves a partial file that later counts as complete.
        QSaveFile out(target);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)
            || out.write(in.readAll()) < 0 || !out.commit()) {
            qWarning() << "Cannot install the shipped file" << target;
            failed = true;
            continue;
        }
        ++copied;
    }
    return failed ? -1 : copied;
}
