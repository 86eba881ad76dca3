#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

class KolvexCore;

// View object of the line-calculation options: reads and writes the parameter
// store's options, numbers as locale-formatted text.
class LineOptionsQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int lineshapeProfile READ lineshapeProfile WRITE setLineshapeProfile NOTIFY lineshapeProfileChanged)
    Q_PROPERTY(QString intensThresh READ intensThresh WRITE setIntensThresh NOTIFY intensThreshChanged)
    Q_PROPERTY(QString wingContribSatHw READ wingContribSatHw WRITE setWingContribSatHw NOTIFY wingContribSatHwChanged)
    Q_PROPERTY(QString wingContribAbs READ wingContribAbs WRITE setWingContribAbs NOTIFY wingContribAbsChanged)
    Q_PROPERTY(int lineBroadening READ lineBroadening WRITE setLineBroadening NOTIFY lineBroadeningChanged)
    Q_PROPERTY(bool useLineShift READ useLineShift WRITE setUseLineShift NOTIFY useLineShiftChanged)

public:
    explicit LineOptionsQml(QObject *parent = nullptr, KolvexCore *core = nullptr);

    int lineshapeProfile() const;
    void setLineshapeProfile(int profile);
    QString intensThresh() const;
    void setIntensThresh(const QString &text);
    QString wingContribSatHw() const;
    void setWingContribSatHw(const QString &text);
    QString wingContribAbs() const;
    void setWingContribAbs(const QString &text);
    int lineBroadening() const;
    void setLineBroadening(int broadening);
    bool useLineShift() const;
    void setUseLineShift(bool use);

    // A number still being typed ("1.", "1e", "-") is not applied.
    static bool isCompleteNumber(const QString &text);

signals:
    void lineshapeProfileChanged();
    void intensThreshChanged();
    void wingContribSatHwChanged();
    void wingContribAbsChanged();
    void lineBroadeningChanged();
    void useLineShiftChanged();

public slots:
    void setUpdatedValues();

private:
    QString m_intensThreshText;
    QString m_wingContribSatHwText;
    QString m_wingContribAbsText;
    int m_lineshapeProfile = 0;
    int m_lineBroadening = 0;
    bool m_useLineShift = false;
    KolvexCore *m_core = nullptr;
    QLocale m_locale;
};
