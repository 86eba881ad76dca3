#pragma once

#include "ui/unitvalueqml.h"

// The gas temperature as the settings screen shows and edits it, in kelvin,
// degrees Celsius or degrees Fahrenheit; the temperature itself stays in kelvin
// in the path conditions.
class TemperatureQml : public UnitValueQml
{
    Q_OBJECT
    Q_PROPERTY(QString temperature READ temperature WRITE setTemperature NOTIFY temperatureChanged)

public:
    TemperatureQml(QObject *parent, KolvexCore *core);

    QString temperature() const { return valueText(); }
    void setTemperature(const QString &text) { writeValueText(text); }

signals:
    void temperatureChanged();

private:
    double storedValue() const override;
    void store(double kelvin) override;
    QString problem(double kelvin) const override;
    quint8 &unitField() const override;
    void emitValueChanged() override { emit temperatureChanged(); }
};
