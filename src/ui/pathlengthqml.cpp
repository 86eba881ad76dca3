#include "ui/pathlengthqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

#include <cmath>

PathlengthQml::PathlengthQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    connect(m_core, &KolvexCore::valuesUpdated, this, &PathlengthQml::setUpdatedValues);
}

QString PathlengthQml::pathlength() const
{
    return NumberText::print(
        PathLengthUnit::fromMetres(m_core->params()->pathConditions().pathLength, units()));
}

void PathlengthQml::setPathlength(const QString &text)
{
    if (text == pathlength() || !NumberText::isComplete(text))
        return;
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    const double metres = PathLengthUnit::toMetres(value, units());
    if (problem.isEmpty() && !(std::isfinite(metres) && metres > 0.0))
        problem = QStringLiteral("The path length must be a positive number.");
    if (problem.isEmpty())
        m_core->params()->pathConditions().pathLength = metres;
    else
        OkDialog::show(m_core, problem);
    // Also after a refusal, so that the field shows the length in use again.
    emit pathlengthChanged();
}

quint8 PathlengthQml::units() const
{
    return m_core->pathLengthUnit()->unit;
}

void PathlengthQml::setUnits(quint8 code)
{
    if (code == units())
        return;
    if (!PathLengthUnit::isValid(code)) {
        OkDialog::show(m_core, QStringLiteral("Unknown path length unit %1.").arg(code));
        emit unitsChanged();
        return;
    }
    m_core->pathLengthUnit()->unit = code;
    emit unitsChanged();
    emit pathlengthChanged();
}

void PathlengthQml::setUpdatedValues()
{
    emit pathlengthChanged();
    emit unitsChanged();
}
