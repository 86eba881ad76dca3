#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class KolvexCore;
class MolListViewModel;
class UnitValueQml;

// The sliders of the main screen: temperature, total pressure, path length
// and the concentration of one chosen molecule. A slider's position runs from
// 0 to 1 over the span SettingRules gives (logarithmic where it spans
// decades); a move enters the value, in the user's unit and as the screens
// show it (six digits), through the same object a settings screen uses, so
// that it obeys the same rule and is announced as a committed field is.
class LiveControlsQml : public QObject
{
    Q_OBJECT
    // Changes whenever a value, a unit or a sensor may have changed what the
    // sliders show; bindings read it to follow.
    Q_PROPERTY(int revision READ revision NOTIFY changed)
    Q_PROPERTY(QStringList moleculeNames READ moleculeNames NOTIFY changed)
    // The molecule whose concentration the last slider sets, numbered from 1.
    Q_PROPERTY(int molecule READ molecule WRITE setMolecule NOTIFY changed)

public:
    enum Quantity { Temperature, TotalPressure, PathLength, Concentration };
    Q_ENUM(Quantity)

    LiveControlsQml(KolvexCore *core, UnitValueQml *temperature, UnitValueQml *totalPressure,
                    UnitValueQml *pathLength, MolListViewModel *molecules, QObject *parent = nullptr);

    int revision() const { return m_revision; }
    QStringList moleculeNames() const;
    int molecule() const { return m_molecule; }
    void setMolecule(int number);

    // The position, 0 to 1, of the value in use (clamped to the span).
    Q_INVOKABLE double position(int quantity) const;
    // Enters the value at `position`; returns why it was refused, or an
    // empty text.
    Q_INVOKABLE QString moveTo(int quantity, double position);
    // The value in use with its unit, as the slider's label shows it.
    Q_INVOKABLE QString valueText(int quantity) const;
    // False while a sensor supplies the quantity, or the span is one value.
    Q_INVOKABLE bool adjustable(int quantity) const;

    // The value (base units) at a position of a span, and back.
    static double valueAt(double position, double lowest, double highest, bool logarithmic);
    static double positionOf(double value, double lowest, double highest, bool logarithmic);

signals:
    void changed();

private:
    double baseValue(int quantity) const;
    void touch();

    KolvexCore *m_core;
    UnitValueQml *m_holders[3];
    MolListViewModel *m_molecules;
    int m_molecule = 1;
    int m_revision = 0;
};
