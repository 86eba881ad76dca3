#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// The gas temperature as the settings screen shows and edits it, in kelvin,
// degrees Celsius or degrees Fahrenheit; the temperature itself stays in kelvin
// in the path conditions.
class TemperatureQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString temperature READ temperature WRITE setTemperature NOTIFY temperatureChanged)
    Q_PROPERTY(quint8 units READ units WRITE setUnits NOTIFY unitsChanged)

public:
    TemperatureQml(QObject *parent, KolvexCore *core);

    QString temperature() const;
    void setTemperature(const QString &text);
    quint8 units() const;
    void setUnits(quint8 code);

signals:
    void temperatureChanged();
    void unitsChanged();

public slots:
    void setUpdatedValues();

private:
    KolvexCore *m_core;
};
