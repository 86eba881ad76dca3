#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// The total pressure of the gas as the settings screen shows and edits it, in
// the unit the user picks; the pressure itself stays in atmospheres in the path
// conditions.
class TotalPressQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString totalPressure READ totalPressure WRITE setTotalPressure NOTIFY totalPressureChanged)
    Q_PROPERTY(quint8 units READ units WRITE setUnits NOTIFY unitsChanged)

public:
    TotalPressQml(QObject *parent, KolvexCore *core);

    QString totalPressure() const;
    void setTotalPressure(const QString &text);
    quint8 units() const;
    void setUnits(quint8 code);

    // Re-reads the pressure, for example after a sensor reading replaced it.
    Q_INVOKABLE void updateTotalPress();

signals:
    void totalPressureChanged();
    void unitsChanged();

public slots:
    void setUpdatedValues();

private:
    KolvexCore *m_core;
};
