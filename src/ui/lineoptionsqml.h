#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// View object of the line-calculation options: reads and writes the parameter
// store's options, numbers as locale-formatted text. The enter...() operations
// store the value of a text the user has committed when the setting's rule
// accepts it, and otherwise return why not.
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
    // The threshold in units of 1e-25 cm/molecule.
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

    Q_INVOKABLE QString enterIntensThresh(const QString &text);
    // Half-widths are whole: 12.7 gives 12.
    Q_INVOKABLE QString enterWingContribSatHw(const QString &text);
    Q_INVOKABLE QString enterWingContribAbs(const QString &text);

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
    int m_lineshapeProfile = 0;
    int m_lineBroadening = 0;
    bool m_useLineShift = false;
    KolvexCore *m_core = nullptr;
};
