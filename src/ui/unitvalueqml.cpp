#include "ui/unitvalueqml.h"

#include "app/kolvexcore.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

UnitValueQml::UnitValueQml(QObject *parent, KolvexCore *core, const Quantity &quantity)
    : QObject(parent)
    , m_core(core)
    , m_quantity(quantity)
{
    connect(m_core, &KolvexCore::valuesUpdated, this, &UnitValueQml::setUpdatedValues);
}

QString UnitValueQml::valueText() const
{
    return NumberText::print(m_quantity.fromBase(storedValue(), units()));
}

QString UnitValueQml::enter(const QString &text)
{
    if (text.trimmed() == valueText())
        return QString();
    double value = 0.0;
    QString why = NumberText::parse(text, &value);
    const double base = m_quantity.toBase(value, units());
    if (why.isEmpty())
        why = problem(base);
    if (!why.isEmpty())
        return why;
    store(base);
    emitValueChanged();
    m_core->announce(m_quantity.setting);
    return QString();
}

void UnitValueQml::writeValueText(const QString &text)
{
    if (NumberText::isComplete(text))
        enter(text);
}

void UnitValueQml::setUnits(quint8 code)
{
    if (code == units())
        return;
    if (!m_quantity.isValidUnit(code)) {
        OkDialog::show(m_core, QStringLiteral("Unknown %1 unit %2.").arg(QLatin1String(m_quantity.unitKind)).arg(code));
        emit unitsChanged();
        return;
    }
    unitField() = code;
    emit unitsChanged();
    emitValueChanged();
}

void UnitValueQml::setUpdatedValues()
{
    emitValueChanged();
    emit unitsChanged();
}
