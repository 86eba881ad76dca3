#include "core/calculationresults.h"

#include <QTextStream>

#include <algorithm>
#include <cmath>

CalculationResults::CalculationResults()
{
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
}

void CalculationResults::setCalculationConditions(double temperature, double totalPressure, double pathLength,
                                                  const QStringList &moleculeNames,
                                                  const std::vector<double> &concentrations,
                                                  const SpectraSet *spectra, const XAxis &xAxis)
{
    m_hasResults = true;
    m_temperature = temperature;
    m_totalPressure = totalPressure;
    m_pathLength = pathLength;
    m_moleculeNames = moleculeNames;
    m_concentrations = concentrations;
    m_spectra = spectra;
    // The copy shares the calculation's grid.
    m_xAxis = xAxis;
    if (m_xAxis.grid().size() != std::size_t(std::max(0, m_xAxis.numPoints())))
        m_xAxis.buildGrid();
}

double CalculationResults::concentration(int molecule) const
{
    if (molecule < 0 || std::size_t(molecule) >= m_concentrations.size())
        return 0.0;
    return m_concentrations[std::size_t(molecule)];
}

void CalculationResults::clearColumns()
{
    m_columns.clear();
    m_titles.clear();
}

void CalculationResults::addColumn(std::vector<double> values, const QString &title, int validFrom, int validTo)
{
    auto held = std::make_shared<const std::vector<double>>(std::move(values));
    const std::size_t rows = held->size();
    addColumn(rows, [held](std::size_t row) { return (*held)[row]; }, title, validFrom, validTo);
}

void CalculationResults::addColumn(std::size_t rows, ValueAt valueAt, const QString &title, int validFrom,
                                   int validTo)
{
    m_columns.push_back({rows, std::move(valueAt), validFrom, validTo, false});
    m_titles.append(title);
}

void CalculationResults::addSparseColumn(std::vector<double> values, const QString &title)
{
    addColumn(std::move(values), title);
    m_columns.back().sparse = true;
}

void CalculationResults::addGridColumn(std::size_t rows, ValueAt valueAt, const QString &title)
{
    m_columns.push_back({rows, std::move(valueAt), 0, std::numeric_limits<int>::max(), true});
    m_titles.append(title);
}

bool CalculationResults::holdsResult(std::size_t column, std::size_t row) const
{
    const Column &entry = m_columns[column];
    if (entry.grid)
        return true;
    if (int(row) < entry.validFrom || int(row) > entry.validTo)
        return false;
    if (entry.sparse && !std::isfinite(entry.valueAt(row)))
        return false;
    // A cancelled calculation added no line beyond the wavenumber it reached:
    // the values there are not the spectrum's.
    const SpectrumValues &grid = m_xAxis.grid();
    return !cancelled() || row >= grid.size() || !(grid[row] > m_cancelledAt);
}

std::vector<double> CalculationResults::columnValues(int index) const
{
    const Column &column = m_columns[std::size_t(index)];
    std::vector<double> values(column.rows);
    for (std::size_t row = 0; row < column.rows; ++row)
        values[row] = column.valueAt(row);
    return values;
}

QString CalculationResults::fileTitle(std::size_t column) const
{
    const QString &title = m_titles.at(int(column));
    const int size = int(m_columns[column].rows);
    const int from = std::max(0, m_columns[column].validFrom);
    const int to = std::min(size - 1, m_columns[column].validTo);
    if (from == 0 && to == size - 1)
        return title;
    if (to < from)
        return title + QStringLiteral(" (not computed)");
    // In wavenumbers when the kept grid is the column's, else in row numbers.
    const SpectrumValues &grid = m_xAxis.grid();
    if (int(grid.size()) == size) {
        return title + QStringLiteral(" (valid from %1 to %2 cm⁻¹ only)")
                           .arg(m_locale.toString(grid[std::size_t(from)], 'g', 8),
                                m_locale.toString(grid[std::size_t(to)], 'g', 8));
    }
    return title + QStringLiteral(" (valid in rows %1 to %2 only)").arg(from + 1).arg(to + 1);
}

bool CalculationResults::cancelled() const
{
    return !std::isnan(m_cancelledAt);
}

QStringList CalculationResults::marks() const
{
    QStringList marks;
    if (cancelled())
        marks << QStringLiteral("Cancelled at %1 cm⁻¹").arg(m_locale.toString(m_cancelledAt, 'g', 7));
    if (m_sampleLines)
        marks << QStringLiteral("Sample lines, not the HITRAN database");
    return marks;
}

QString CalculationResults::dataFileText() const
{
    QString text;
    QTextStream stream(&text);
    writeDataFile(stream);
    stream.flush();
    return text;
}

void CalculationResults::writeDataFile(QTextStream &stream) const
{
    // What the results are comes first, on lines that table readers skip.
    if (!m_quantity.isEmpty())
        stream << QStringLiteral("# Kolvex spectra: %1\n").arg(m_quantity);
    if (cancelled()) {
        stream << QStringLiteral("# Cancelled at %1 cm⁻¹: the calculation was stopped, lines beyond this "
                                 "wavenumber are missing.\n").arg(m_locale.toString(m_cancelledAt, 'g', 7));
    }
    if (m_sampleLines)
        stream << QStringLiteral("# Calculated from the sample lines shipped with Kolvex, not the HITRAN database.\n");
    for (const QString &line : m_description)
        stream << QStringLiteral("# ") << line << QLatin1Char('\n');
    const std::size_t rows = m_columns.empty() ? 0 : m_columns.front().rows;
    QStringList partial;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        std::size_t valid = 0;
        for (std::size_t r = 0; r < m_columns[c].rows; ++r)
            valid += holdsResult(c, r) ? 1 : 0;
        if (valid < rows)
            partial << QStringLiteral("%1 %2").arg(m_titles.at(int(c))).arg(valid);
    }
    if (partial.isEmpty()) {
        if (rows > 0)
            stream << QStringLiteral("# Valid points: all %1.\n").arg(rows);
    } else {
        stream << QStringLiteral("# Valid points of %1 (the others are written as nan): %2.\n")
                      .arg(rows)
                      .arg(partial.join(QStringLiteral(", ")));
    }
    QStringList titles;
    for (std::size_t c = 0; c < m_columns.size(); ++c)
        titles.append(fileTitle(c));
    stream << titles.join(QLatin1Char('\t')) << QLatin1Char('\n');
    constexpr std::size_t rowsPerPiece = 4096;
    QString piece;
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            if (c > 0)
                piece += QLatin1Char('\t');
            // A column shorter than the grid leaves its field empty.
            if (r >= m_columns[c].rows)
                continue;
            if (holdsResult(c, r))
                piece += m_locale.toString(m_columns[c].valueAt(r), 'g', 8);
            else
                piece += QLatin1String("nan");
        }
        piece += QLatin1Char('\n');
        if ((r + 1) % rowsPerPiece == 0 || r + 1 == rows) {
            stream << piece;
            piece.clear();
        }
    }
}

QString CalculationResults::joined(std::size_t count, const ValueAt &valueAt, const QString &delimiter,
                                   char format, int precision) const
{
    QString text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            text += delimiter;
        text += m_locale.toString(valueAt(i), format, precision);
    }
    return text;
}

QString CalculationResults::gridText(const QString &delimiter, char format, int precision) const
{
    const SpectrumValues &grid = m_xAxis.grid();
    return joined(grid.size(), [&grid](std::size_t i) { return grid[i]; }, delimiter, format, precision);
}

QString CalculationResults::spectrumText(const QString &name, const QString &delimiter, char format, int precision) const
{
    int found = -1;
    for (int i = 0; i < m_titles.size(); ++i) {
        // "CO" names the columns "CO" and "CO_R", never "CO2"; "Instr. funct."
        // names the instrument-function totals.
        const QString &title = m_titles.at(i);
        if (!title.startsWith(name, Qt::CaseInsensitive))
            continue;
        if (title.size() == name.size() || title.at(name.size()) == QLatin1Char('_')
            || title.at(name.size()) == QLatin1Char(' '))
            found = i;
    }
    if (found < 0)
        return QString();
    const Column &column = m_columns[std::size_t(found)];
    return joined(column.rows, column.valueAt, delimiter, format, precision);
}
