#pragma once

#include <QString>

// The data compiled into the program: the files installed into the data folder
// on first start (BundledFiles copies them), the sample line list and the
// program's own tables.
class BundledData
{
public:
    // Registers the compiled-in resources; safe to call more than once.
    static void initialize();

    // Resource folder whose files are copied into the data folder where missing.
    static QString dataFolderFiles() { return QStringLiteral(":/bundled"); }
    static QString sampleLineFile() { return QStringLiteral(":/sample/kolvex-sample.par"); }
    static QString programFolder() { return QStringLiteral(":/program"); }
};
