#pragma once

#include "core/partitionsumtable.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// The partition-sum tables of the data folder kept in one binary file beside
// their text files, so that a start maps one file instead of parsing 125 texts
// (15 MB). Each table is stored with the size and modification time of the text
// file it was read from; a text file that differs is read again, and the
// compact file is written anew. A compact file that is missing, damaged or of
// another form is simply not used.
class CompactPartitionSums
{
public:
    struct Table
    {
        int globalId = 0;
        qint64 fileSize = 0;
        qint64 fileModified = 0;   // ms since the epoch
        double firstTemperature = 0.0;
        PartitionSumTable values;
    };

    // Maps the file at `path`; without one that can be used, find() finds nothing.
    explicit CompactPartitionSums(const QString &path);

    // The table of a global isotopologue number read from a text file of this
    // size and modification time; false when there is none.
    bool find(int globalId, qint64 fileSize, qint64 fileModified, Table *table) const;

    // Writes the tables to `path` (under a temporary name, then renamed).
    static bool write(const QString &path, const std::vector<Table> &tables);

private:
    std::vector<Table> m_tables;
};
