#pragma once

#include <QString>

class FileWriter;

// Puts the files shipped inside the program into the data folder, so that a
// device without network starts complete, and puts a shipped file back where
// its copy in the data folder cannot be read.
class BundledFiles
{
public:
    // Copies every shipped data-folder file that is missing from the folder; files
    // already there, downloaded or not, are kept. Returns the number copied, or -1
    // when a file could not be written whole (problem then names it and says why);
    // no file is left behind half written.
    static int installMissingFiles(const QString &dataFolder, FileWriter &writer, QString *problem = nullptr);

    // Whether a copy of the file at `relativePath` (for example "TIPS/q7.txt") ships.
    static bool isShipped(const QString &relativePath);
    // Replaces the file at target by the shipped copy of relativePath; false when
    // none ships or it cannot be written (problem says why).
    static bool reinstall(const QString &target, const QString &relativePath, FileWriter &writer,
                          QString *problem = nullptr);
};
