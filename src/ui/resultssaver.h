#pragma once

#include "data/xaxis.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <limits>
#include <utility>
#include <vector>

struct SpectraSet;

// Keeps the results of the last calculation as the plot shows them: the
// conditions used, the grid and one column per displayed spectrum. Writes them
// as a tab-separated data file and gives them as delimited text to the remote
// RESULT commands.
class ResultsSaver : public QObject
{
    Q_OBJECT

public:
    explicit ResultsSaver(QObject *parent = nullptr);

    QString outputFolder() const { return m_outputFolder; }
    void setOutputFolder(const QString &folder) { m_outputFolder = folder; }

    // The conditions of the calculation just finished (base units).
    void setCalculationConditions(double temperature, double totalPressure, double pathLength,
                                  const QStringList &moleculeNames, const std::vector<double> &concentrations,
                                  const SpectraSet *spectra, const XAxis &xAxis);
    double pathLength() const { return m_pathLength; }
    double totalPressure() const { return m_totalPressure; }
    double temperature() const { return m_temperature; }
    double concentration(int molecule) const;
    const QStringList &moleculeNames() const { return m_moleculeNames; }
    const XAxis &xAxis() const { return m_xAxis; }
    const SpectraSet *spectra() const { return m_spectra; }

    // The columns of the table the results model fills. A column whose values
    // are data only from index validFrom to validTo (the instrument-function
    // totals, which the kernel cannot reach at the ends) says so in the data
    // file's header line; validTo < validFrom: none is.
    void clearColumns();
    void addColumn(const std::vector<double> &values, const QString &title, int validFrom = 0,
                   int validTo = std::numeric_limits<int>::max());
    int columnCount() const { return int(m_columns.size()); }
    const std::vector<double> &column(int index) const { return m_columns[std::size_t(index)]; }
    const QStringList &columnTitles() const { return m_titles; }

    // Header line, base name and the three file paths for a save at `when`.
    void prepareFileNames(const QDateTime &when = QDateTime::currentDateTime());
    QString headerText() const { return m_headerText; }
    QString baseName() const { return m_baseName; }
    QString dataFilePath() const { return m_dataFilePath; }
    QString imageFilePath() const { return m_imageFilePath; }
    QString configFilePath() const { return m_configFilePath; }

    // Writes the columns to `path` (the data file path when empty); false when
    // the file cannot be written.
    bool writeDataFile(const QString &path = QString()) const;
    QString dataFileText() const;

    // The grid in cm-1, and the last column titled `name` (ignoring case), or
    // titled `name` followed by "_" or " " and more, as numbers joined by
    // `delimiter`.
    QString gridText(const QString &delimiter, char format, int precision) const;
    QString spectrumText(const QString &name, const QString &delimiter, char format, int precision) const;

    QLocale locale() const { return m_locale; }

private:
    QString joined(const std::vector<double> &values, const QString &delimiter, char format, int precision) const;

    QString m_outputFolder;
    double m_totalPressure = 0.0;
    double m_temperature = 0.0;
    double m_pathLength = 0.0;
    std::vector<double> m_concentrations;
    QStringList m_moleculeNames;
    const SpectraSet *m_spectra = nullptr;
    XAxis m_xAxis;
    QString m_headerText;
    QString m_baseName;
    QString m_dataFilePath;
    QString m_imageFilePath;
    QString m_configFilePath;
    // The title a column carries in the data file.
    QString fileTitle(std::size_t column) const;

    std::vector<std::vector<double>> m_columns;
    std::vector<std::pair<int, int>> m_validRanges;
    QStringList m_titles;
    QLocale m_locale;
};
