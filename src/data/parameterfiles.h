#pragma once

#include <QObject>
#include <QString>

class Params;
struct Isotopologue;

// The files of the data folder that fill the parameter store: the isotopologue
// parameter file (molparam.txt), the global isotopologue numbers (globalid.txt)
// and the partition-sum tables (TIPS/q<global number>.txt).
class ParameterFiles : public QObject
{
    Q_OBJECT

public:
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
    // the header (0 when the file does not open).
    int readGlobalIds(const QString &fileName);
    // Reads the partition-sum file of every isotopologue (from the compact copy
    // where it is up to date), then the temperature grid.
    void loadAllTipsFiles();

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
    void readTipsFile(Isotopologue &isotopologue);

    Params *m_params;
    QString m_tipsFolder;
};
