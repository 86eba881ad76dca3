#pragma once

#include "ui/unitvalueqml.h"

// The total pressure of the gas as the settings screen shows and edits it, in
// the unit the user picks; the pressure itself stays in atmospheres in the path
// conditions.
class TotalPressQml : public UnitValueQml
{
    Q_OBJECT
    Q_PROPERTY(QString totalPressure READ totalPressure WRITE setTotalPressure NOTIFY totalPressureChanged)

public:
    TotalPressQml(QObject *parent, KolvexCore *core);

    QString totalPressure() const { return valueText(); }
    void setTotalPressure(const QString &text) { writeValueText(text); }

    // Re-reads the pressure, for example after a sensor reading replaced it.
    Q_INVOKABLE void updateTotalPress() { setUpdatedValues(); }

signals:
    void totalPressureChanged();

private:
    double storedValue() const override;
    void store(double atm) override;
    QString problem(double atm) const override;
    quint8 &unitField() const override;
    void emitValueChanged() override { emit totalPressureChanged(); }
};
