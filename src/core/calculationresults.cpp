#include "core/calculationresults.h"

#include <algorithm>

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
    m_validRanges.clear();
    m_titles.clear();
}

void CalculationResults::addColumn(const std::vector<double> &values, const QString &title, int validFrom, int validTo)
{
    m_columns.push_back(values);
    m_validRanges.emplace_back(validFrom, validTo);
    m_titles.append(title);
}

QString CalculationResults::fileTitle(std::size_t column) const
{
    const QString &title = m_titles.at(int(column));
    const int size = int(m_columns[column].size());
    const int from = std::max(0, m_validRanges[column].first);
    const int to = std::min(size - 1, m_validRanges[column].second);
    if (from == 0 && to == size - 1)
        return title;
    if (to < from)
        return title + QStringLiteral(" (not computed)");
    // In wavenumbers when the kept grid is the column's, else in row numbers.
    const std::vector<double> &grid = m_xAxis.grid();
    if (int(grid.size()) == size) {
        return title + QStringLiteral(" (valid from %1 to %2 cm-1 only)")
                           .arg(m_locale.toString(grid[std::size_t(from)], 'g', 8),
                                m_locale.toString(grid[std::size_t(to)], 'g', 8));
    }
    return title + QStringLiteral(" (valid in rows %1 to %2 only)").arg(from + 1).arg(to + 1);
}

QString CalculationResults::dataFileText() const
{
    QStringList titles;
    for (std::size_t c = 0; c < m_columns.size(); ++c)
        titles.append(fileTitle(c));
    QString text = titles.join(QLatin1Char('\t')) + QLatin1Char('\n');
    const std::size_t rows = m_columns.empty() ? 0 : m_columns.front().size();
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            if (c > 0)
                text += QLatin1Char('\t');
            // A column shorter than the grid leaves its field empty.
            if (r < m_columns[c].size())
                text += m_locale.toString(m_columns[c][r], 'g', 8);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QString CalculationResults::joined(const std::vector<double> &values, const QString &delimiter, char format,
                                   int precision) const
{
    QString text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += delimiter;
        text += m_locale.toString(values[i], format, precision);
    }
    return text;
}

QString CalculationResults::gridText(const QString &delimiter, char format, int precision) const
{
    return joined(m_xAxis.grid(), delimiter, format, precision);
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
    return joined(m_columns[std::size_t(found)], delimiter, format, precision);
}
