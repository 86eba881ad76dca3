#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// The path length as the settings screen shows and edits it, in the unit the
// user picks; the length itself stays in metres in the path conditions.
class PathlengthQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString pathlength READ pathlength WRITE setPathlength NOTIFY pathlengthChanged)
    Q_PROPERTY(quint8 units READ units WRITE setUnits NOTIFY unitsChanged)

public:
    PathlengthQml(QObject *parent, KolvexCore *core);

    QString pathlength() const;
    void setPathlength(const QString &text);
    quint8 units() const;
    void setUnits(quint8 code);

signals:
    void pathlengthChanged();
    void unitsChanged();

public slots:
    void setUpdatedValues();

private:
    KolvexCore *m_core;
};
