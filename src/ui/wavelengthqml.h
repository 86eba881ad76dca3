#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// The spectral range and grid of the calculation as the settings screen shows
// and edits them, in wavelength, wavenumber or frequency; the grid itself stays
// in wavenumbers in the core's x-axis holder. The enter...() operations store
// the value of a text the user has committed, or return why they cannot.
class WavelengthQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString startWavelength READ startWavelength WRITE setStartWavelength NOTIFY startWavelengthChanged)
    Q_PROPERTY(QString endWavelength READ endWavelength WRITE setEndWavelength NOTIFY endWavelengthChanged)
    Q_PROPERTY(QString resolWavelength READ resolWavelength NOTIFY resolWavelengthChanged)
    Q_PROPERTY(quint8 units READ units WRITE setUnits NOTIFY unitsChanged)
    Q_PROPERTY(int numPoints READ numPoints WRITE setNumPoints NOTIFY numPointsChanged)

public:
    WavelengthQml(QObject *parent, KolvexCore *core);

    QString startWavelength() const;
    void setStartWavelength(const QString &text);
    QString endWavelength() const;
    void setEndWavelength(const QString &text);
    QString resolWavelength() const;
    quint8 units() const;
    void setUnits(quint8 code);
    int numPoints() const;
    void setNumPoints(int points);

    Q_INVOKABLE QString enterStart(const QString &text);
    Q_INVOKABLE QString enterEnd(const QString &text);
    Q_INVOKABLE QString enterNumPoints(const QString &text);

signals:
    void startWavelengthChanged();
    void endWavelengthChanged();
    void resolWavelengthChanged();
    void unitsChanged();
    void numPointsChanged();

public slots:
    void setUpdatedValues();

private:
    enum class End { Start, End };
    // Stores an entered start or end; returns why it cannot be stored.
    QString storeEnd(const QString &text, End end);

    KolvexCore *m_core;
};
