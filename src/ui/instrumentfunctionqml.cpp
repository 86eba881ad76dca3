#include "ui/instrumentfunctionqml.h"

#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "core/settingrules.h"
#include "ui/lineoptionsqml.h"

InstrumentFunctionQml::InstrumentFunctionQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
    m_instrFunctIndex = instrFunctIndex();
    m_instrResolText = instrResol();
    m_instrFunctWingText = instrFunctWing();
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
}

QString InstrumentFunctionQml::instrResol() const
{
    return m_core ? m_locale.toString(m_core->instrumentFunction()->resolution(), 'g', 6) : QString();
}

void InstrumentFunctionQml::setInstrResol(const QString &text)
{
    if (!m_core || text == m_instrResolText || !LineOptionsQml::isCompleteNumber(text))
        return;
    m_instrResolText = text;
    m_core->instrumentFunction()->setResolution(m_locale.toDouble(text));
    emit instrResolChanged();
}

QString InstrumentFunctionQml::instrFunctWing() const
{
    return m_core ? m_locale.toString(m_core->instrumentFunction()->wing(), 'g', 6) : QString();
}

void InstrumentFunctionQml::setInstrFunctWing(const QString &text)
{
    if (!m_core || text == m_instrFunctWingText || !LineOptionsQml::isCompleteNumber(text))
        return;
    m_instrFunctWingText = text;
    m_core->instrumentFunction()->setWing(m_locale.toDouble(text));
    emit instrFunctWingChanged();
}

void InstrumentFunctionQml::setUpdatedValues()
{
    m_instrFunctIndex = instrFunctIndex();
    m_instrResolText = instrResol();
    m_instrFunctWingText = instrFunctWing();
    emit instrFunctIndexChanged();
    emit instrResolChanged();
    emit instrFunctWingChanged();
}
