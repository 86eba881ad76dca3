#include "ui/yaxisqml.h"

#include "app/kolvexcore.h"
#include "core/settingrules.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

YAxisQml::YAxisQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    connect(m_core, &KolvexCore::valuesUpdated, this, &YAxisQml::setUpdatedValues);
}

quint8 YAxisQml::displayedValue() const
{
    return m_core->yAxis()->displayedValue;
}

void YAxisQml::setDisplayedValue(quint8 value)
{
    YAxisSettings *axis = m_core->yAxis();
    if (value == axis->displayedValue)
        return;
    if (!SettingRules::isOption(SettingRules::Option::YQuantity, value)) {
        OkDialog::show(m_core, QStringLiteral("Unknown vertical axis quantity %1.").arg(value));
        emit displayedValueChanged();
        return;
    }
    axis->displayedValue = value;
    emit displayedValueChanged();
    emit minimumChanged();
    emit maximumChanged();
}

QString YAxisQml::minimum() const
{
    return NumberText::print(m_core->yAxis()->currentMinimum());
}

void YAxisQml::setMinimum(const QString &text)
{
    if (text == minimum() || !NumberText::isComplete(text))
        return;
    applyLimit(text, Limit::Minimum);
    emit minimumChanged();
}

QString YAxisQml::maximum() const
{
    return NumberText::print(m_core->yAxis()->currentMaximum());
}

void YAxisQml::setMaximum(const QString &text)
{
    if (text == maximum() || !NumberText::isComplete(text))
        return;
    applyLimit(text, Limit::Maximum);
    emit maximumChanged();
}

void YAxisQml::applyLimit(const QString &text, Limit limit)
{
    YAxisSettings *axis = m_core->yAxis();
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    // The plot divides by the height of the scale, so it must not be empty.
    if (problem.isEmpty() && limit == Limit::Minimum && !(value < axis->currentMaximum()))
        problem = QStringLiteral("The minimum must be below the maximum, %1.")
                      .arg(NumberText::print(axis->currentMaximum()));
    if (problem.isEmpty() && limit == Limit::Maximum && !(value > axis->currentMinimum()))
        problem = QStringLiteral("The maximum must be above the minimum, %1.")
                      .arg(NumberText::print(axis->currentMinimum()));
    if (!problem.isEmpty()) {
        OkDialog::show(m_core, problem);
        return;
    }
    if (limit == Limit::Minimum)
        axis->setCurrentMinimum(value);
    else
        axis->setCurrentMaximum(value);
}

quint8 YAxisQml::units() const
{
    return m_core->yAxis()->yUnits;
}

void YAxisQml::setUnits(quint8 code)
{
    YAxisSettings *axis = m_core->yAxis();
    if (code == axis->yUnits)
        return;
    if (!SettingRules::isOption(SettingRules::Option::YUnits, code)) {
        OkDialog::show(m_core, QStringLiteral("Unknown vertical axis unit %1.").arg(code));
        emit unitsChanged();
        return;
    }
    axis->yUnits = code;
    emit minimumChanged();
    emit maximumChanged();
    emit unitsChanged();
}

bool YAxisQml::crossSectionAutoRecalc() const
{
    return m_core->yAxis()->crossSectionAutoRecalc;
}

void YAxisQml::setCrossSectionAutoRecalc(bool on)
{
    if (on == m_core->yAxis()->crossSectionAutoRecalc)
        return;
    m_core->yAxis()->crossSectionAutoRecalc = on;
    emit crossSectionAutoRecalcChanged();
}

bool YAxisQml::radianceAutoRecalc() const
{
    return m_core->yAxis()->radianceAutoRecalc;
}

void YAxisQml::setRadianceAutoRecalc(bool on)
{
    if (on == m_core->yAxis()->radianceAutoRecalc)
        return;
    m_core->yAxis()->radianceAutoRecalc = on;
    emit radianceAutoRecalcChanged();
}

bool YAxisQml::enableRulers() const
{
    return m_core->yAxis()->enableRulers;
}

void YAxisQml::setEnableRulers(bool on)
{
    if (on == m_core->yAxis()->enableRulers)
        return;
    m_core->yAxis()->enableRulers = on;
    emit enableRulersChanged();
}

void YAxisQml::updateScaleValues()
{
    emit minimumChanged();
    emit maximumChanged();
}

void YAxisQml::setUpdatedValues()
{
    emit unitsChanged();
    emit displayedValueChanged();
    emit minimumChanged();
    emit maximumChanged();
}
