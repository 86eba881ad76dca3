#include "ui/pathlengthqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"

PathlengthQml::PathlengthQml(QObject *parent, KolvexCore *core)
    : UnitValueQml(parent, core, {"path length", PathLengthUnit::toMetres, PathLengthUnit::fromMetres,
                                  PathLengthUnit::isValid, Setting::PathLength})
{
}

double PathlengthQml::storedValue() const
{
    return m_core->params()->pathConditions().pathLength;
}

void PathlengthQml::store(double metres)
{
    m_core->params()->pathConditions().pathLength = metres;
}

QString PathlengthQml::problem(double metres) const
{
    return SettingRules::pathLengthProblem(metres);
}

quint8 &PathlengthQml::unitField() const
{
    return m_core->pathLengthUnit()->unit;
}
