#pragma once

#include "core/savefilewriter.h"
#include "data/compactpartitionsums.h"

#include <QObject>
#include <QString>
#include <QStringList>

class Params;
struct Isotopologue;
struct Molecule;

// The files of the data folder that fill the parameter store: the isotopologue
// parameter file (molparam.txt), the global isotopologue numbers (globalid.txt)
// and the partition-sum tables (TIPS/q<global number>.txt). Only regular files
// are read, each of at most maxFileBytes.
//
// A partition-sum table that should be there but cannot be read whole
// (missing, empty, binary, not a regular file, a single damaged line) is put
// back from the shipped copy where one ships; where none does, its
// isotopologue keeps the constant Q(296 K) and is marked, so that only 296 K
// is calculated with it. The last load says which tables were concerned
// (tipsProblems()).
class ParameterFiles : public QObject
{
    Q_OBJECT

public:
    // Every one of these files is some tens of kilobytes.
    static constexpr qint64 maxFileBytes = qint64(4) << 20;

    explicit ParameterFiles(Params *params, QObject *parent = nullptr);

    QString tipsFolder() const { return m_tipsFolder; }
    void setTipsFolder(const QString &folder) { m_tipsFolder = folder; }
    QString tipsFilePath(const Isotopologue &isotopologue) const;
    // The compact copy of all the tables that spares a start reading them as text.
    QString compactTipsFilePath() const;

    // Replaces the table from an isotopologue parameter file (molparam.txt).
    // Returns false and keeps the current table when the file cannot be read or
    // names no molecule the program knows.
    bool readMolParams(const QString &fileName);
    // Applies a global isotopologue number file; returns the number of lines after
    // the header (0 when the file does not open). A file that gives one global
    // number to two isotopologues is refused whole: their partition sums would
    // be read from one table. Nothing is applied then, and globalIdsProblem()
    // says why.
    int readGlobalIds(const QString &fileName);
    // How many isotopologues the last readGlobalIds() set.
    int globalIdsApplied() const { return m_globalIdsApplied; }
    QString globalIdsProblem() const { return m_globalIdsProblem; }
    // Reads the partition-sum file of every isotopologue (from the compact copy
    // where it is up to date), then the temperature grid.
    void loadAllTipsFiles();
    // The tables the last load could not read and what became of each, one
    // line each; empty when every table expected was read.
    QStringList tipsProblems() const { return m_tipsProblems; }

    // Whether a table that cannot be read is put back from the shipped copy
    // (on by default; off where the shipped data are not to be installed).
    void setReinstallShipped(bool reinstall) { m_reinstallShipped = reinstall; }
    // Seam for tests: the writer shipped copies are put back with (not owned);
    // null puts the program's own back.
    void setFileWriter(FileWriter *writer) { m_writer = writer ? writer : &m_ownWriter; }

signals:
    void accessNextTipsFile(int molecule, int isotopologue);
    void readingTipsFilesComplete();
    void readingMolParamsComplete();
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);

public slots:
    // Reads one table and asks for the next; the last one is followed by
    // readingTipsFilesComplete() and the temperature grid.
    void readOneTipsFile(int molecule, int isotopologue);
    void readTempTipsValues();

private:
    // Where a load takes a table from: the compact copy, when it holds a table
    // of the very same text, else the text; `table` receives the table as the
    // compact copy is to keep it, and `parsed` whether the text was parsed.
    struct TipsSource
    {
        const CompactPartitionSums *compact = nullptr;
        CompactPartitionSums::Table table;
        bool parsed = false;
    };

    // Reads one table; returns why a table that should be there cannot be used,
    // empty when it was read or none is expected.
    QString readTipsFile(Isotopologue &isotopologue, TipsSource *source = nullptr);
    // Reads one table and, when it cannot be used, puts back the shipped copy
    // or marks the isotopologue; the outcome joins tipsProblems().
    void loadTipsTable(const Molecule &molecule, Isotopologue &isotopologue, TipsSource *source = nullptr);

    Params *m_params;
    QString m_tipsFolder;
    QStringList m_tipsProblems;
    int m_globalIdsApplied = 0;
    QString m_globalIdsProblem;
    bool m_reinstallShipped = true;
    SaveFileWriter m_ownWriter;
    FileWriter *m_writer = &m_ownWriter;
};
