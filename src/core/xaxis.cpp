#include "core/xaxis.h"

#include "core/settingrules.h"

#include <QLocale>

#include <cmath>

XAxis::XAxis(quint8 unit, double minWavenumber, double maxWavenumber, int numPoints)
    : m_minWavenumber(minWavenumber)
    , m_maxWavenumber(maxWavenumber)
    , m_numPoints(numPoints)
    , m_units(unit < UnitCount ? unit : quint8(Wavenumber))
{
    recomputeStep();
}

void XAxis::setMinWavenumber(double wavenumber)
{
    m_minWavenumber = wavenumber;
    recomputeStep();
}

void XAxis::setMaxWavenumber(double wavenumber)
{
    m_maxWavenumber = wavenumber;
    recomputeStep();
}

void XAxis::setNumPoints(int points)
{
    m_numPoints = points;
    recomputeStep();
}

void XAxis::recomputeStep()
{
    // A grid of fewer than two points has no step; it is refused before any calculation.
    m_step = m_numPoints >= 2 ? (m_maxWavenumber - m_minWavenumber) / double(m_numPoints - 1) : 0.0;
}

double XAxis::toWavenumber(double value, quint8 unit)
{
    switch (unit) {
    case WavelengthNm: return 1e7 / value;
    case WavelengthMicron: return 10000.0 / value;
    case FrequencyHz: return value * 3.3356409519815204 * 1e-11;
    default: return value;
    }
}

double XAxis::fromWavenumber(double wavenumber, quint8 unit)
{
    switch (unit) {
    case WavelengthNm: return 1e7 / wavenumber;
    case WavelengthMicron: return 10000.0 / wavenumber;
    case FrequencyHz: return wavenumber * 29979245800.0;
    default: return wavenumber;
    }
}

static bool isWavelength(quint8 unit)
{
    return unit == XAxis::WavelengthNm || unit == XAxis::WavelengthMicron;
}

double XAxis::displayStart() const
{
    return fromWavenumber(isWavelength(m_units) ? m_maxWavenumber : m_minWavenumber);
}

double XAxis::displayEnd() const
{
    return fromWavenumber(isWavelength(m_units) ? m_minWavenumber : m_maxWavenumber);
}

void XAxis::setDisplayStart(double value)
{
    if (isWavelength(m_units))
        setMaxWavenumber(toWavenumber(value));
    else
        setMinWavenumber(toWavenumber(value));
}

void XAxis::setDisplayEnd(double value)
{
    if (isWavelength(m_units))
        setMinWavenumber(toWavenumber(value));
    else
        setMaxWavenumber(toWavenumber(value));
}

double XAxis::displayResolution() const
{
    if (m_units == Wavenumber)
        return m_step;
    const double middle = (m_minWavenumber + m_maxWavenumber) / 2.0;
    return std::fabs(fromWavenumber(middle) - fromWavenumber(middle + m_step));
}

QString XAxis::title(quint8 unit)
{
    const int code = unit < UnitCount ? int(unit) : int(Wavenumber);
    return QString::fromUtf8(OptionLists::xUnits[code].label);
}

QString XAxis::unitSymbol(quint8 unit)
{
    const QString full = title(unit);
    return full.mid(full.indexOf(QLatin1String(", ")) + 2);
}

QString XAxis::unitName(quint8 unit)
{
    return OptionLists::words(OptionLists::xUnits, unit, Wavenumber);
}

QString XAxis::validationProblem(quint8 unit) const
{
    return validationProblem(m_minWavenumber, m_maxWavenumber, m_numPoints, unit);
}

QString XAxis::validationProblem(double minWavenumber, double maxWavenumber, int numPoints, quint8 unit)
{
    QString problem = SettingRules::wavenumberProblem(minWavenumber);
    if (problem.isEmpty())
        problem = SettingRules::wavenumberProblem(maxWavenumber);
    if (problem.isEmpty() && !(maxWavenumber > minWavenumber)) {
        // Shown as the user set them: for wavelengths the start is the wavelength
        // of the highest wavenumber.
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        const bool wavelength = isWavelength(unit);
        const double start = fromWavenumber(wavelength ? maxWavenumber : minWavenumber, unit);
        const double end = fromWavenumber(wavelength ? minWavenumber : maxWavenumber, unit);
        problem = QStringLiteral("The spectral range from %1 to %2 %3 cannot be calculated: its end must be "
                                 "above its start.")
                      .arg(locale.toString(start, 'g', 6), locale.toString(end, 'g', 6), unitName(unit));
    }
    if (problem.isEmpty())
        problem = SettingRules::pointsProblem(numPoints);
    return problem;
}

void XAxis::buildGrid()
{
    recomputeStep();
    const bool countable = m_numPoints >= SettingRules::minPoints && m_numPoints <= SettingRules::maxPoints;
    const std::size_t count = countable ? std::size_t(m_numPoints) : 0;
    // The grid of the last calculation serves again when nothing changed: its
    // values are those a new one would get, and a million points take a
    // millisecond to write.
    if (m_grid && m_grid->size() == count && m_gridStart == m_minWavenumber && m_gridStep == m_step)
        return;
    m_gridStart = m_minWavenumber;
    m_gridStep = m_step;
    auto grid = std::make_shared<SpectrumValues>(count);
    for (std::size_t i = 0; i < count; ++i)
        (*grid)[i] = m_minWavenumber + double(i) * m_step;
    m_grid = std::move(grid);
}

void XAxis::takeGridOf(const XAxis &other)
{
    m_grid = other.m_grid;
    m_gridStart = other.m_gridStart;
    m_gridStep = other.m_gridStep;
}

const SpectrumValues &XAxis::grid() const
{
    static const SpectrumValues none;
    return m_grid ? *m_grid : none;
}
