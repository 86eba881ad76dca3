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
    emit autoRecalcChanged();
    m_core->announce(Setting::YQuantity);
}

QString YAxisQml::minimum() const
{
    return NumberText::print(m_core->yAxis()->currentMinimum());
}

void YAxisQml::setMinimum(const QString &text)
{
    if (NumberText::isComplete(text))
        enterMinimum(text);
}

QString YAxisQml::maximum() const
{
    return NumberText::print(m_core->yAxis()->currentMaximum());
}

void YAxisQml::setMaximum(const QString &text)
{
    if (NumberText::isComplete(text))
        enterMaximum(text);
}

QString YAxisQml::enterMinimum(const QString &text)
{
    return text.trimmed() == minimum() ? QString() : enterLimit(text, Limit::Minimum);
}

QString YAxisQml::enterMaximum(const QString &text)
{
    return text.trimmed() == maximum() ? QString() : enterLimit(text, Limit::Maximum);
}

QString YAxisQml::enterLimit(const QString &text, Limit limit)
{
    YAxisSettings *axis = m_core->yAxis();
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    if (problem.isEmpty()) {
        problem = limit == Limit::Minimum ? SettingRules::scaleProblem(value, axis->currentMaximum())
                                          : SettingRules::scaleProblem(axis->currentMinimum(), value);
    }
    if (!problem.isEmpty())
        return problem;
    if (limit == Limit::Minimum) {
        axis->setCurrentMinimum(value);
        emit minimumChanged();
    } else {
        axis->setCurrentMaximum(value);
        emit maximumChanged();
    }
    m_core->announce(Setting::YScale);
    return QString();
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
    emit autoRecalcChanged();
    m_core->announce(Setting::YUnits);
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
    emit autoRecalcChanged();
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
    emit autoRecalcChanged();
}

bool YAxisQml::autoRecalc() const
{
    return m_core->yAxis()->currentAutoRecalc();
}

void YAxisQml::setAutoRecalc(bool on)
{
    YAxisSettings *axis = m_core->yAxis();
    if (on == axis->currentAutoRecalc())
        return;
    axis->setCurrentAutoRecalc(on);
    emit autoRecalcChanged();
    if (axis->displayedValue == YAxisSettings::Radiance)
        emit radianceAutoRecalcChanged();
    else if (axis->yUnits == YAxisSettings::CrossSection)
        emit crossSectionAutoRecalcChanged();
    m_core->announce(Setting::YScale);
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
    emit autoRecalcChanged();
}
