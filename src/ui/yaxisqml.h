#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// The vertical axis of the plot as its settings screen shows and edits it: the
// quantity shown, the scale limits of that quantity and the plot switches. The
// values live in the core's vertical-axis record.
class YAxisQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(quint8 displayedValue READ displayedValue WRITE setDisplayedValue NOTIFY displayedValueChanged)
    Q_PROPERTY(QString minimum READ minimum WRITE setMinimum NOTIFY minimumChanged)
    Q_PROPERTY(QString maximum READ maximum WRITE setMaximum NOTIFY maximumChanged)
    Q_PROPERTY(quint8 units READ units WRITE setUnits NOTIFY unitsChanged)
    Q_PROPERTY(bool crossSectionAutoRecalc READ crossSectionAutoRecalc WRITE setCrossSectionAutoRecalc NOTIFY crossSectionAutoRecalcChanged)
    Q_PROPERTY(bool radianceAutoRecalc READ radianceAutoRecalc WRITE setRadianceAutoRecalc NOTIFY radianceAutoRecalcChanged)
    Q_PROPERTY(bool enableRulers READ enableRulers WRITE setEnableRulers NOTIFY enableRulersChanged)
    // Whether the scale of the quantity shown now follows its curves.
    Q_PROPERTY(bool autoRecalc READ autoRecalc WRITE setAutoRecalc NOTIFY autoRecalcChanged)

public:
    YAxisQml(QObject *parent, KolvexCore *core);

    quint8 displayedValue() const;
    void setDisplayedValue(quint8 value);
    QString minimum() const;
    void setMinimum(const QString &text);
    QString maximum() const;
    void setMaximum(const QString &text);
    quint8 units() const;
    void setUnits(quint8 code);
    bool crossSectionAutoRecalc() const;
    void setCrossSectionAutoRecalc(bool on);
    bool radianceAutoRecalc() const;
    void setRadianceAutoRecalc(bool on);
    bool enableRulers() const;
    void setEnableRulers(bool on);
    bool autoRecalc() const;
    void setAutoRecalc(bool on);

    // Re-reads the scale limits, for example after the plot rescaled them.
    Q_INVOKABLE void updateScaleValues();
    // Store the limit of a committed text, or return why it cannot be stored.
    Q_INVOKABLE QString enterMinimum(const QString &text);
    Q_INVOKABLE QString enterMaximum(const QString &text);

signals:
    void displayedValueChanged();
    void minimumChanged();
    void maximumChanged();
    void unitsChanged();
    void crossSectionAutoRecalcChanged();
    void radianceAutoRecalcChanged();
    void enableRulersChanged();
    void autoRecalcChanged();

public slots:
    void setUpdatedValues();

private:
    enum class Limit { Minimum, Maximum };
    QString enterLimit(const QString &text, Limit limit);

    KolvexCore *m_core;
};
