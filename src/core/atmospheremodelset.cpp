#include "core/atmospheremodelset.h"

#include "core/bundleddata.h"
#include "core/params.h"

#include <QDebug>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Columns of the model table: altitude, pressure, temperature, air density,
// then H2O, CO2, O3, N2O, CO, CH4, O2 (molecule indices 0 to 6).
constexpr int modelColumns = 11;
constexpr int modelFirstConcentrationColumn = 4;
// Columns of the trace-gas table: altitude, then molecule indices 7 to 27.
constexpr int traceColumns = 22;
constexpr int traceFirstMolecule = 7;

using Table = std::vector<std::vector<double>>;

QString resourceText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot open the atmosphere table" << path;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

// One data row: exactly `columns` finite, non-negative numbers separated by
// white space.
bool parseRow(const QString &line, int columns, std::vector<double> *row)
{
    row->clear();
    const int length = line.size();
    int at = 0;
    for (;;) {
        while (at < length && line.at(at).isSpace())
            ++at;
        if (at == length)
            break;
        const int start = at;
        while (at < length && !line.at(at).isSpace())
            ++at;
        bool ok = false;
        const double value = line.midRef(start, at - start).toDouble(&ok);
        if (!ok || !std::isfinite(value) || value < 0.0 || int(row->size()) == columns)
            return false;
        row->push_back(value);
    }
    return int(row->size()) == columns;
}

// A table is usable when it has one row per level at the expected altitudes.
bool matchesGrid(const Table &table, const std::vector<double> &grid)
{
    if (table.size() != grid.size())
        return false;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (std::fabs(table[i].front() - grid[i]) > 1e-9)
            return false;
    }
    return true;
}

// Splits the model table into its six blocks, each introduced by a line
// "# MODEL <index> <name>".
bool parseModelTable(const QString &text, std::array<Table, AtmosphereModelSet::modelCount> *blocks)
{
    int current = -1;
    std::array<bool, AtmosphereModelSet::modelCount> seen{};
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("# MODEL "))) {
            bool ok = false;
            const int index = line.section(QLatin1Char(' '), 2, 2).toInt(&ok);
            if (!ok || index < 0 || index >= AtmosphereModelSet::modelCount || seen[std::size_t(index)]) {
                qWarning() << "Atmosphere table: unexpected model header" << line;
                return false;
            }
            seen[std::size_t(index)] = true;
            current = index;
            continue;
        }
        if (line.startsWith(QLatin1Char('#')))
            continue;
        std::vector<double> row;
        if (current < 0 || !parseRow(line, modelColumns, &row)) {
            qWarning() << "Atmosphere table: damaged line" << line.left(60);
            return false;
        }
        (*blocks)[std::size_t(current)].push_back(row);
    }
    return std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
}

bool parseTraceTable(const QString &text, Table *table)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        std::vector<double> row;
        if (!parseRow(line, traceColumns, &row)) {
            qWarning() << "Trace-gas table: damaged line" << line.left(60);
            return false;
        }
        table->push_back(row);
    }
    return true;
}

AtmosphereProfile column(const Table &table, int index, const std::vector<double> &grid)
{
    AtmosphereProfile profile;
    profile.auxValues = grid;
    profile.values.reserve(table.size());
    for (const std::vector<double> &row : table)
        profile.values.push_back(row[std::size_t(index)]);
    return profile;
}

} // namespace

AtmosphereModelSet::AtmosphereModelSet()
{
    resetModels();
}

void AtmosphereModelSet::setMoleculeCount(int count)
{
    m_moleculeCount = std::clamp(count, 0, Params::maxMoleculeCount);
}

void AtmosphereModelSet::resetModels()
{
    m_models.assign(std::size_t(modelCount), AtmosphereModel());
    for (int i = 0; i < modelCount; ++i)
        m_models[std::size_t(i)].name = modelName(i);
}

bool AtmosphereModelSet::buildModels()
{
    BundledData::initialize();
    return buildModels(resourceText(modelTableResource()), resourceText(traceTableResource()));
}

bool AtmosphereModelSet::buildModels(const QString &modelTable, const QString &traceTable)
{
    resetModels();
    const std::vector<double> grid = altitudeGrid();
    std::array<Table, modelCount> blocks;
    Table trace;
    if (!parseModelTable(modelTable, &blocks) || !parseTraceTable(traceTable, &trace)
        || !matchesGrid(trace, grid)
        || !std::all_of(blocks.begin(), blocks.end(),
                        [&grid](const Table &block) { return matchesGrid(block, grid); })) {
        qWarning() << "The standard atmosphere tables are damaged; no model can be applied.";
        return false;
    }

    AtmosphereProfile zeros;
    zeros.auxValues = grid;
    zeros.values.assign(grid.size(), 0.0);
    for (int m = 0; m < modelCount; ++m) {
        const Table &block = blocks[std::size_t(m)];
        AtmosphereModel &model = m_models[std::size_t(m)];
        model.pressure = column(block, 1, grid);
        model.temperature = column(block, 2, grid);
        model.airDensity = column(block, 3, grid);
        model.concentrations.assign(std::size_t(m_moleculeCount), zeros);
        for (int k = 0; k < m_moleculeCount && k < profiledMoleculeCount; ++k) {
            model.concentrations[std::size_t(k)] = k < traceFirstMolecule
                ? column(block, modelFirstConcentrationColumn + k, grid)
                : column(trace, 1 + k - traceFirstMolecule, grid);
        }
    }
    return true;
}

bool AtmosphereModelSet::setCurrentIndex(int index)
{
    if (index < 0 || index >= modelCount)
        return false;
    m_currentIndex = quint8(index);
    return true;
}

QString AtmosphereModelSet::modelName(int index)
{
    if (index < 0 || index >= OptionLists::count(OptionLists::atmosphereModels))
        return QString();
    return OptionLists::words(OptionLists::atmosphereModels, index);
}

std::vector<double> AtmosphereModelSet::altitudeGrid()
{
    std::vector<double> grid;
    grid.reserve(levelCount);
    for (int km = 0; km <= 25; ++km)
        grid.push_back(double(km));
    for (int step = 1; step <= 10; ++step)
        grid.push_back(25.0 + 2.5 * step);
    for (int km = 55; km <= 120; km += 5)
        grid.push_back(double(km));
    return grid;
}

QString AtmosphereModelSet::modelTableResource()
{
    return BundledData::programFolder() + QLatin1String("/afgl/afgl_models_3sig.txt");
}

QString AtmosphereModelSet::traceTableResource()
{
    return BundledData::programFolder() + QLatin1String("/afgl/afgl_trace_3sig.txt");
}
