#pragma once

#include "core/xaxis.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class QTextStream;
struct SpectraSet;

// The results of the last calculation as the plot shows them: the conditions
// used, the grid and one column per displayed spectrum. The core sets the
// conditions when a calculation ends, the results model fills the columns,
// and their text forms serve the remote RESULT commands and the data file.
//
// A column either holds its own numbers or reads them, row by row, from the
// arrays of the calculation through a function (a spectrum of a million points
// is 8 MB, and the table never copies one).
class CalculationResults
{
public:
    CalculationResults();

    // The conditions of the calculation just finished (base units).
    void setCalculationConditions(double temperature, double totalPressure, double pathLength,
                                  const QStringList &moleculeNames, const std::vector<double> &concentrations,
                                  const SpectraSet *spectra, const XAxis &xAxis);
    // A calculation has finished since the program started.
    bool hasResults() const { return m_hasResults; }
    double pathLength() const { return m_pathLength; }
    double totalPressure() const { return m_totalPressure; }
    double temperature() const { return m_temperature; }
    double concentration(int molecule) const;
    const QStringList &moleculeNames() const { return m_moleculeNames; }
    const XAxis &xAxis() const { return m_xAxis; }
    const SpectraSet *spectra() const { return m_spectra; }

    // What the results are: a calculation cancelled at a wavenumber (NaN: one
    // that ran to its end), or calculated from the sample lines rather than the
    // HITRAN database; how they were obtained, a line each (the conditions in
    // the user's units, the options, where lines and partition sums came from);
    // and the quantity the columns hold. The data file's header says all of it.
    void setCancelledAt(double wavenumber) { m_cancelledAt = wavenumber; }
    double cancelledAt() const { return m_cancelledAt; }
    bool cancelled() const;
    void setSampleLines(bool sample) { m_sampleLines = sample; }
    bool sampleLines() const { return m_sampleLines; }
    void setDescription(const QStringList &lines) { m_description = lines; }
    const QStringList &description() const { return m_description; }
    void setQuantity(const QString &quantity) { m_quantity = quantity; }
    QString quantity() const { return m_quantity; }
    // The marks of results that are not what they seem: cancelled, sample lines.
    QStringList marks() const;

    // The columns of the table the results model fills. A column whose values
    // are data only from index validFrom to validTo (the instrument-function
    // totals, which the kernel cannot reach at the ends) says so in the data
    // file's header line; validTo < validFrom: none is.
    using ValueAt = std::function<double(std::size_t row)>;
    void clearColumns();
    void addColumn(std::vector<double> values, const QString &title, int validFrom = 0,
                   int validTo = std::numeric_limits<int>::max());
    // A column of `rows` values, each read through valueAt when it is needed.
    void addColumn(std::size_t rows, ValueAt valueAt, const QString &title, int validFrom = 0,
                   int validTo = std::numeric_limits<int>::max());
    // A column that holds values on some rows only, not a number on the
    // others (a measured spectrum's rows that fall on grid points): the file
    // writes nan there, and the header counts the rows that hold one.
    void addSparseColumn(std::vector<double> values, const QString &title);
    // A column of the grid itself (the wavenumber, the x unit): it holds a value
    // on every row, also beyond the point a cancelled calculation reached.
    void addGridColumn(std::size_t rows, ValueAt valueAt, const QString &title);
    int columnCount() const { return int(m_columns.size()); }
    std::size_t columnSize(int index) const { return m_columns[std::size_t(index)].rows; }
    double columnValue(int index, std::size_t row) const { return m_columns[std::size_t(index)].valueAt(row); }
    std::vector<double> columnValues(int index) const;
    const QStringList &columnTitles() const { return m_titles; }

    // The tab-separated table: lines beginning with "#" that describe the
    // results, a line of titles, then one line per grid point. write() hands
    // it to the stream a few thousand lines at a time. Where a column holds no
    // result (outside its valid rows, or beyond the point a cancelled
    // calculation reached) the file says "nan", and the header how many
    // points of each column are valid.
    QString dataFileText() const;
    void writeDataFile(QTextStream &stream) const;

    // The grid in cm-1, and the last column titled `name` (ignoring case), or
    // titled `name` followed by "_" or " " and more, as numbers joined by
    // `delimiter`.
    QString gridText(const QString &delimiter, char format, int precision) const;
    QString spectrumText(const QString &name, const QString &delimiter, char format, int precision) const;

    // The default locale without digit grouping, in which every text form is written.
    QLocale locale() const { return m_locale; }

private:
    struct Column
    {
        std::size_t rows = 0;
        ValueAt valueAt;
        int validFrom = 0;
        int validTo = 0;
        bool grid = false;
        bool sparse = false;
    };

    // Whether row `row` of column `column` holds a result.
    bool holdsResult(std::size_t column, std::size_t row) const;

    QString joined(std::size_t count, const ValueAt &valueAt, const QString &delimiter, char format,
                   int precision) const;
    // The title a column carries in the data file.
    QString fileTitle(std::size_t column) const;

    bool m_hasResults = false;
    double m_totalPressure = 0.0;
    double m_temperature = 0.0;
    double m_pathLength = 0.0;
    std::vector<double> m_concentrations;
    QStringList m_moleculeNames;
    const SpectraSet *m_spectra = nullptr;
    XAxis m_xAxis;
    std::vector<Column> m_columns;
    QStringList m_titles;
    QLocale m_locale;
    double m_cancelledAt = std::numeric_limits<double>::quiet_NaN();
    bool m_sampleLines = false;
    QStringList m_description;
    QString m_quantity;
};
