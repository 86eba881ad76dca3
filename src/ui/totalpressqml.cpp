#include "ui/totalpressqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

#include <cmath>

TotalPressQml::TotalPressQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    connect(m_core, &KolvexCore::valuesUpdated, this, &TotalPressQml::setUpdatedValues);
}

QString TotalPressQml::totalPressure() const
{
    return NumberText::print(
        PressureUnits::fromAtm(m_core->params()->pathConditions().totalPressure, units()));
}

void TotalPressQml::setTotalPressure(const QString &text)
{
    if (text == totalPressure() || !NumberText::isComplete(text))
        return;
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    const double atm = PressureUnits::toAtm(value, units());
    if (problem.isEmpty() && !(std::isfinite(atm) && atm > 0.0))
        problem = QStringLiteral("The total pressure must be a positive number.");
    if (problem.isEmpty())
        m_core->params()->pathConditions().totalPressure = atm;
    else
        OkDialog::show(m_core, problem);
    // Also after a refusal, so that the field shows the pressure in use again.
    emit totalPressureChanged();
}

quint8 TotalPressQml::units() const
{
    return m_core->pressureUnits()->pressureUnit;
}

void TotalPressQml::setUnits(quint8 code)
{
    if (code == units())
        return;
    if (!PressureUnits::isValidPressureUnit(code)) {
        OkDialog::show(m_core, QStringLiteral("Unknown pressure unit %1.").arg(code));
        emit unitsChanged();
        return;
    }
    m_core->pressureUnits()->pressureUnit = code;
    emit unitsChanged();
    emit totalPressureChanged();
}

void TotalPressQml::updateTotalPress()
{
    setUpdatedValues();
}

void TotalPressQml::setUpdatedValues()
{
    emit totalPressureChanged();
    emit unitsChanged();
}
