#pragma once

#include <QString>

// Puts the files shipped inside the program into the data folder, so that a
// device without network starts complete.
class BundledFiles
{
public:
    // Copies every shipped data-folder file that is missing from the folder; files
    // already there, downloaded or not, are kept. Returns the number copied, or -1
    // when a file could not be written.
    static int installMissingFiles(const QString &dataFolder);
};
