#pragma once

#include "ui/unitvalueqml.h"

// The path length as the settings screen shows and edits it, in the unit the
// user picks; the length itself stays in metres in the path conditions.
class PathlengthQml : public UnitValueQml
{
    Q_OBJECT
    Q_PROPERTY(QString pathlength READ pathlength WRITE setPathlength NOTIFY pathlengthChanged)

public:
    PathlengthQml(QObject *parent, KolvexCore *core);

    QString pathlength() const { return valueText(); }
    void setPathlength(const QString &text) { writeValueText(text); }

signals:
    void pathlengthChanged();

private:
    double storedValue() const override;
    void store(double metres) override;
    QString problem(double metres) const override;
    quint8 &unitField() const override;
    void emitValueChanged() override { emit pathlengthChanged(); }
};
