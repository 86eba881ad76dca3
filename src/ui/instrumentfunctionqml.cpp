#include "ui/instrumentfunctionqml.h"

#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "core/settingrules.h"
#include "ui/numbertext.h"

InstrumentFunctionQml::InstrumentFunctionQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    m_instrFunctIndex = instrFunctIndex();
    if (m_core)
        connect(m_core, &KolvexCore::valuesUpdated, this, &InstrumentFunctionQml::setUpdatedValues);
}

int InstrumentFunctionQml::instrFunctIndex() const
{
    return m_core ? int(m_core->instrumentFunction()->type()) : 0;
}

void InstrumentFunctionQml::setInstrFunctIndex(int index)
{
    if (!m_core || index == m_instrFunctIndex
        || !SettingRules::isOption(SettingRules::Option::InstrumentFunction, index))
        return;
    m_instrFunctIndex = index;
    m_core->instrumentFunction()->setType(quint8(index));
    emit instrFunctIndexChanged();
    m_core->announce(Setting::InstrumentFunction);
}

QString InstrumentFunctionQml::instrResol() const
{
    return m_core ? NumberText::print(m_core->instrumentFunction()->resolution()) : QString();
}

void InstrumentFunctionQml::setInstrResol(const QString &text)
{
    if (NumberText::isComplete(text))
        enterInstrResol(text);
}

QString InstrumentFunctionQml::enterInstrResol(const QString &text)
{
    if (!m_core || text.trimmed() == instrResol())
        return QString();
    double resolution = 0.0;
    QString problem = NumberText::parse(text, &resolution);
    if (problem.isEmpty())
        problem = SettingRules::instrumentResolutionProblem(resolution);
    if (!problem.isEmpty())
        return problem;
    m_core->instrumentFunction()->setResolution(resolution);
    emit instrResolChanged();
    m_core->announce(Setting::InstrumentResolution);
    return QString();
}

QString InstrumentFunctionQml::instrFunctWing() const
{
    return m_core ? NumberText::print(m_core->instrumentFunction()->wing()) : QString();
}

void InstrumentFunctionQml::setInstrFunctWing(const QString &text)
{
    if (NumberText::isComplete(text))
        enterInstrFunctWing(text);
}

QString InstrumentFunctionQml::enterInstrFunctWing(const QString &text)
{
    if (!m_core || text.trimmed() == instrFunctWing())
        return QString();
    double wing = 0.0;
    QString problem = NumberText::parse(text, &wing);
    if (problem.isEmpty())
        problem = SettingRules::instrumentWingProblem(wing);
    if (!problem.isEmpty())
        return problem;
    m_core->instrumentFunction()->setWing(wing);
    emit instrFunctWingChanged();
    m_core->announce(Setting::InstrumentWing);
    return QString();
}

void InstrumentFunctionQml::setUpdatedValues()
{
    m_instrFunctIndex = instrFunctIndex();
    emit instrFunctIndexChanged();
    emit instrResolChanged();
    emit instrFunctWingChanged();
}
