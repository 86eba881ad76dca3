#include "data/bundleddata.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Resources linked from a static library must be registered by name.
static void registerResources()
{
    Q_INIT_RESOURCE(bundled);
    Q_INIT_RESOURCE(sample);
    Q_INIT_RESOURCE(program);
}

void BundledData::initialize()
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered)
}

int BundledData::installMissingFiles(const QString &dataFolder)
{
    initialize();
    const QString bundle = dataFolderFiles();
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
