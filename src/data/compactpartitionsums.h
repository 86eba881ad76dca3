#pragma once

#include "core/partitionsumtable.h"

#include <QString>
#include <QtGlobal>

#include <vector>

class FileWriter;

// The partition-sum tables of the data folder kept in one binary file beside
// their text files, so that a start reads one file instead of parsing 125 texts
// (15 MB). Each table is stored with the size and a hash of the text it was
// read from: a text that differs by a single byte, whatever its size and
// modification time say, is read again, and the compact file is written anew.
//
// The file carries a checksum of everything it holds, and every number is
// checked once more (finite, above zero) when it is read: a compact file that
// is damaged, cut, of another form, larger than it can be or not a regular
// file at all (a FIFO, a device) is not used, never blocks, and the texts
// serve instead.
class CompactPartitionSums
{
public:
    struct Table
    {
        int globalId = 0;
        qint64 textSize = 0;
        quint64 textHash = 0;   // ContentHash of the text
        double firstTemperature = 0.0;
        PartitionSumTable values;
    };

    // 125 tables of up to 5000 kelvins take 4.5 MB; far more cannot be a
    // compact file of this program.
    static constexpr qint64 maxFileBytes = qint64(64) << 20;

    // Reads the file at `path`; without one that can be used, find() finds
    // nothing and problem() says why.
    explicit CompactPartitionSums(const QString &path);

    QString problem() const { return m_problem; }

    // The table of a global isotopologue number read from this very text
    // (its size and hash); false when there is none.
    bool find(int globalId, qint64 textSize, quint64 textHash, Table *table) const;

    // Writes the tables to `path` through the writer, whole or not at all;
    // false (problem saying why) when it cannot be written.
    static bool write(const QString &path, const std::vector<Table> &tables, FileWriter &writer,
                      QString *problem = nullptr);

private:
    bool read(const QString &path);

    std::vector<Table> m_tables;
    QString m_problem;
};
