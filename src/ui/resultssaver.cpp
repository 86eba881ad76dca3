#include "ui/resultssaver.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>

ResultsSaver::ResultsSaver(QObject *parent)
    : QObject(parent)
{
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
}

void ResultsSaver::setCalculationConditions(double temperature, double totalPressure, double pathLength,
                                            const QStringList &moleculeNames,
                                            const std::vector<double> &concentrations,
                                            const SpectraSet *spectra, const XAxis &xAxis)
{
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

double ResultsSaver::concentration(int molecule) const
{
    if (molecule < 0 || std::size_t(molecule) >= m_concentrations.size())
        return 0.0;
    return m_concentrations[std::size_t(molecule)];
}

void ResultsSaver::clearColumns()
{
    m_columns.clear();
    m_validRanges.clear();
    m_titles.clear();
}

void ResultsSaver::addColumn(const std::vector<double> &values, const QString &title, int validFrom, int validTo)
{
    m_columns.push_back(values);
    m_validRanges.emplace_back(validFrom, validTo);
    m_titles.append(title);
}

QString ResultsSaver::fileTitle(std::size_t column) const
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

void ResultsSaver::prepareFileNames(const QDateTime &when)
{
    m_headerText = m_locale.toString(m_pathLength, 'g', 6) + QLatin1String(" meters;   ")
        + m_locale.toString(m_temperature, 'g', 6) + QLatin1String(" Kelvin;   ")
        + m_locale.toString(m_totalPressure, 'g', 6) + QLatin1String(" Atm;");
    m_baseName = QLatin1String("kolvex-") + when.toString(QStringLiteral("MM_dd_yyyy")) + QLatin1Char('-')
        + when.toString(QStringLiteral("HH_mm_ss"));
    const QString stem = m_outputFolder + QLatin1Char('/') + m_baseName;
    m_imageFilePath = stem + QLatin1String(".png");
    m_dataFilePath = stem + QLatin1String(".txt");
    m_configFilePath = stem + QLatin1String("-config.txt");
}

QString ResultsSaver::dataFileText() const
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

bool ResultsSaver::writeDataFile(const QString &path) const
{
    // Written to a temporary file and renamed, so that the file whose appearance
    // marks the end of a save is never seen half written.
    QSaveFile file(path.isEmpty() ? m_dataFilePath : path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream << dataFileText();
    stream.flush();
    return stream.status() == QTextStream::Ok && file.commit();
}

QString ResultsSaver::joined(const std::vector<double> &values, const QString &delimiter, char format,
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

QString ResultsSaver::gridText(const QString &delimiter, char format, int precision) const
{
    return joined(m_xAxis.grid(), delimiter, format, precision);
}

QString ResultsSaver::spectrumText(const QString &name, const QString &delimiter, char format, int precision) const
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
