#include "ui/livecontrolsqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "sensors/sensors.h"
#include "ui/mollistviewmodel.h"
#include "ui/numbertext.h"
#include "ui/unitvalueqml.h"

#include <algorithm>
#include <cmath>

namespace {

Setting settingOf(int quantity)
{
    switch (quantity) {
    case LiveControlsQml::Temperature: return Setting::Temperature;
    case LiveControlsQml::TotalPressure: return Setting::TotalPressure;
    case LiveControlsQml::PathLength: return Setting::PathLength;
    case LiveControlsQml::Concentration: return Setting::Concentration;
    default: return Setting::None;
    }
}

} // namespace

LiveControlsQml::LiveControlsQml(KolvexCore *core, UnitValueQml *temperature, UnitValueQml *totalPressure,
                                 UnitValueQml *pathLength, MolListViewModel *molecules, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_holders{temperature, totalPressure, pathLength}
    , m_molecules(molecules)
{
    // The first selected molecule, water when none is.
    for (int m = 0; m < core->params()->moleculeCount(); ++m) {
        if (core->params()->molecule(m).selected) {
            m_molecule = m + 1;
            break;
        }
    }
    connect(core, &KolvexCore::valuesUpdated, this, &LiveControlsQml::touch);
    connect(core, &KolvexCore::settingChanged, this, &LiveControlsQml::touch);
    connect(core, &KolvexCore::startupFinished, this, &LiveControlsQml::touch);
    for (UnitValueQml *holder : m_holders)
        connect(holder, &UnitValueQml::unitsChanged, this, &LiveControlsQml::touch);
    connect(molecules, &MolListViewModel::unitsChanged, this, &LiveControlsQml::touch);
    Sensors *sensors = core->sensors();
    for (auto signal : {&Sensors::totalPressureUpdated, &Sensors::temperatureUpdated, &Sensors::humidityUpdated})
        connect(sensors, signal, this, &LiveControlsQml::touch);
}

void LiveControlsQml::touch()
{
    ++m_revision;
    emit changed();
}

QStringList LiveControlsQml::moleculeNames() const
{
    QStringList names;
    for (const Molecule &molecule : m_core->params()->molecules())
        names << molecule.name;
    return names;
}

void LiveControlsQml::setMolecule(int number)
{
    if (number == m_molecule || !m_core->params()->isValidMolecule(number - 1))
        return;
    m_molecule = number;
    touch();
}

double LiveControlsQml::valueAt(double position, double lowest, double highest, bool logarithmic)
{
    const double p = std::clamp(position, 0.0, 1.0);
    if (logarithmic)
        return lowest * std::pow(highest / lowest, p);
    return lowest + p * (highest - lowest);
}

double LiveControlsQml::positionOf(double value, double lowest, double highest, bool logarithmic)
{
    if (!(highest > lowest) || !std::isfinite(value))
        return 0.0;
    const double p = logarithmic ? (value > 0.0 ? std::log(value / lowest) / std::log(highest / lowest) : 0.0)
                                 : (value - lowest) / (highest - lowest);
    return std::clamp(p, 0.0, 1.0);
}

double LiveControlsQml::baseValue(int quantity) const
{
    const PathConditions &path = m_core->params()->pathConditions();
    switch (quantity) {
    case Temperature: return path.temperature;
    case TotalPressure: return path.totalPressure;
    case PathLength: return path.pathLength;
    case Concentration: {
        const std::size_t i = std::size_t(m_molecule - 1);
        return i < path.concentrations.size() ? path.concentrations[i] : 0.0;
    }
    default: return 0.0;
    }
}

double LiveControlsQml::position(int quantity) const
{
    const SettingRules::SliderSpan span = SettingRules::sliderSpan(settingOf(quantity), *m_core->params());
    return positionOf(baseValue(quantity), span.lowest, span.highest, span.logarithmic);
}

bool LiveControlsQml::adjustable(int quantity) const
{
    const SettingRules::SliderSpan span = SettingRules::sliderSpan(settingOf(quantity), *m_core->params());
    if (!(span.highest > span.lowest))
        return false;
    const Sensors *sensors = m_core->sensors();
    switch (quantity) {
    case Temperature: return !sensors->temperatureSensorEnabled();
    case TotalPressure: return !sensors->pressureSensorEnabled();
    case PathLength: return true;
    case Concentration: return !(m_molecule == 1 && sensors->humiditySensorEnabled());
    default: return false;
    }
}

QString LiveControlsQml::moveTo(int quantity, double position)
{
    if (!adjustable(quantity))
        return QString();
    const SettingRules::SliderSpan span = SettingRules::sliderSpan(settingOf(quantity), *m_core->params());
    const double base = valueAt(position, span.lowest, span.highest, span.logarithmic);
    if (quantity == Concentration)
        return m_molecules->enterConcentration(m_molecule, m_molecules->displayText(base));
    const quint8 unit = m_holders[quantity]->units();
    double shown = base;
    switch (quantity) {
    case Temperature: shown = TemperatureUnit::fromKelvin(base, unit); break;
    case TotalPressure: shown = PressureUnits::fromAtm(base, unit); break;
    case PathLength: shown = PathLengthUnit::fromMetres(base, unit); break;
    default: break;
    }
    const QString problem = m_holders[quantity]->enter(NumberText::print(shown));
    return problem;
}

QString LiveControlsQml::valueText(int quantity) const
{
    switch (quantity) {
    case Temperature:
        return QStringLiteral("T %1 %2").arg(m_holders[0]->property("temperature").toString(),
                                              TemperatureUnit::label(m_holders[0]->units()));
    case TotalPressure:
        return QStringLiteral("p %1 %2").arg(m_holders[1]->property("totalPressure").toString(),
                                              PressureUnits::pressureLabel(m_holders[1]->units()));
    case PathLength:
        return QStringLiteral("L %1 %2").arg(m_holders[2]->property("pathlength").toString(),
                                              PathLengthUnit::label(m_holders[2]->units()));
    case Concentration: {
        const QStringList names = moleculeNames();
        const QString name = m_molecule - 1 < names.size() ? names.at(m_molecule - 1) : QString();
        return QStringLiteral("%1 %2 %3").arg(name, m_molecules->displayText(baseValue(Concentration)),
                                              m_core->pressureUnits()->concentrationLabel());
    }
    default: return QString();
    }
}
