#include "ui/totalpressqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "sensors/sensors.h"

TotalPressQml::TotalPressQml(QObject *parent, KolvexCore *core)
    : UnitValueQml(parent, core, {"pressure", PressureUnits::toAtm, PressureUnits::fromAtm,
                                  PressureUnits::isValidPressureUnit, Setting::TotalPressure})
{
    // A sensor average has replaced the value.
    connect(core->sensors(), &Sensors::totalPressureUpdated, this, &UnitValueQml::setUpdatedValues);
}

double TotalPressQml::storedValue() const
{
    return m_core->params()->pathConditions().totalPressure;
}

void TotalPressQml::store(double atm)
{
    m_core->params()->pathConditions().totalPressure = atm;
}

QString TotalPressQml::problem(double atm) const
{
    return SettingRules::totalPressureProblem(atm);
}

quint8 &TotalPressQml::unitField() const
{
    return m_core->pressureUnits()->pressureUnit;
}
