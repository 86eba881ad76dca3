#pragma once

#include "core/setting.h"

#include <QObject>
#include <QString>

class KolvexCore;

// A number of the path conditions as a settings screen shows and edits it, in
// the unit the user picks, while the conditions keep it in base units: the
// path length, the total pressure and the temperature. An entry is applied once
// it is a complete number that the setting's rule accepts; a refusal is shown
// in the OK dialog and the field shows the value in use again. Each subclass
// names its property, its stored value, its rule and its unit record.
class UnitValueQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(quint8 units READ units WRITE setUnits NOTIFY unitsChanged)

public:
    // How the quantity's units convert, and what the user reads about them.
    struct Quantity
    {
        const char *unitKind;   // "Unknown <unitKind> unit 7."
        double (*toBase)(double value, quint8 unit);
        double (*fromBase)(double value, quint8 unit);
        bool (*isValidUnit)(int code);
        Setting setting;   // announced when a value is entered
    };

    quint8 units() const { return unitField(); }
    void setUnits(quint8 code);

    // Stores the value of a committed text, in the current unit; returns why it
    // cannot be stored (and stores nothing), or an empty text. The text the
    // value property shows changes nothing, so that its six-digit rounding
    // never replaces the value.
    Q_INVOKABLE QString enter(const QString &text);

signals:
    void unitsChanged();

public slots:
    void setUpdatedValues();

protected:
    UnitValueQml(QObject *parent, KolvexCore *core, const Quantity &quantity);

    QString valueText() const;
    // A write of the value property: a complete number is entered; a refusal
    // leaves the value as it was.
    void writeValueText(const QString &text);

    virtual double storedValue() const = 0;   // base units
    virtual void store(double value) = 0;
    // Empty when a value (base units) may be stored, otherwise why not.
    virtual QString problem(double value) const = 0;
    virtual quint8 &unitField() const = 0;
    // Emits the change signal of the subclass's value property.
    virtual void emitValueChanged() = 0;

    KolvexCore *m_core;

private:
    Quantity m_quantity;
};
