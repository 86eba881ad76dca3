#include "ui/temperatureqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

TemperatureQml::TemperatureQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    connect(m_core, &KolvexCore::valuesUpdated, this, &TemperatureQml::setUpdatedValues);
}

QString TemperatureQml::temperature() const
{
    return NumberText::print(
        TemperatureUnit::fromKelvin(m_core->params()->pathConditions().temperature, units()));
}

void TemperatureQml::setTemperature(const QString &text)
{
    if (text == temperature() || !NumberText::isComplete(text))
        return;
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    const double kelvin = TemperatureUnit::toKelvin(value, units());
    // Only temperatures that every calculated isotopologue's partition sums serve
    // can be calculated.
    if (problem.isEmpty())
        problem = m_core->params()->temperatureProblem(kelvin);
    if (problem.isEmpty())
        m_core->params()->pathConditions().temperature = kelvin;
    else
        OkDialog::show(m_core, problem);
    // Also after a refusal, so that the field shows the temperature in use again.
    emit temperatureChanged();
}

quint8 TemperatureQml::units() const
{
    return m_core->temperatureUnit()->unit;
}

void TemperatureQml::setUnits(quint8 code)
{
    if (code == units())
        return;
    if (!TemperatureUnit::isValid(code)) {
        OkDialog::show(m_core, QStringLiteral("Unknown temperature unit %1.").arg(code));
        emit unitsChanged();
        return;
    }
    m_core->temperatureUnit()->unit = code;
    emit unitsChanged();
    emit temperatureChanged();
}

void TemperatureQml::setUpdatedValues()
{
    emit temperatureChanged();
    emit unitsChanged();
}
