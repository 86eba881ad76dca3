#include "ui/temperatureqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "sensors/sensors.h"

TemperatureQml::TemperatureQml(QObject *parent, KolvexCore *core)
    : UnitValueQml(parent, core, {"temperature", TemperatureUnit::toKelvin, TemperatureUnit::fromKelvin,
                                  TemperatureUnit::isValid, Setting::Temperature})
{
    // A sensor average has replaced the value.
    connect(core->sensors(), &Sensors::temperatureUpdated, this, &UnitValueQml::setUpdatedValues);
}

double TemperatureQml::storedValue() const
{
    return m_core->params()->pathConditions().temperature;
}

void TemperatureQml::store(double kelvin)
{
    m_core->params()->pathConditions().temperature = kelvin;
}

QString TemperatureQml::problem(double kelvin) const
{
    return SettingRules::temperatureProblem(kelvin, *m_core->params());
}

quint8 &TemperatureQml::unitField() const
{
    return m_core->temperatureUnit()->unit;
}
