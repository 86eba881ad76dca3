#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

class KolvexCore;

// View object of the instrument function: kernel type, resolution and wing,
// numbers as locale-formatted text.
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

signals:
    void instrFunctIndexChanged();
    void instrResolChanged();
    void instrFunctWingChanged();

public slots:
    void setUpdatedValues();

private:
    int m_instrFunctIndex = 0;
    QString m_instrResolText;
    QString m_instrFunctWingText;
    KolvexCore *m_core = nullptr;
    QLocale m_locale;
};
