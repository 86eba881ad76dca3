#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// View object of the instrument function: kernel type, resolution and wing,
// numbers as locale-formatted text. The enter...() operations store the value
// of a text the user has committed when the setting's rule accepts it, and
// otherwise return why not.
class InstrumentFunctionQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int instrFunctIndex READ instrFunctIndex WRITE setInstrFunctIndex NOTIFY instrFunctIndexChanged)
    Q_PROPERTY(QString instrResol READ instrResol WRITE setInstrResol NOTIFY instrResolChanged)
    Q_PROPERTY(QString instrFunctWing READ instrFunctWing WRITE setInstrFunctWing NOTIFY instrFunctWingChanged)

public:
    explicit InstrumentFunctionQml(QObject *parent = nullptr, KolvexCore *core = nullptr);

    int instrFunctIndex() const;
    void setInstrFunctIndex(int index);
    QString instrResol() const;
    void setInstrResol(const QString &text);
    QString instrFunctWing() const;
    void setInstrFunctWing(const QString &text);

    Q_INVOKABLE QString enterInstrResol(const QString &text);
    Q_INVOKABLE QString enterInstrFunctWing(const QString &text);

signals:
    void instrFunctIndexChanged();
    void instrResolChanged();
    void instrFunctWingChanged();

public slots:
    void setUpdatedValues();

private:
    int m_instrFunctIndex = 0;
    KolvexCore *m_core = nullptr;
};
