#pragma once

#include "core/atmosphereprofile.h"

#include <QAbstractListModel>
#include <QString>

#include <vector>

class KolvexCore;

// The atmosphere screen: the profiles of the current standard atmosphere that
// can be plotted (pressure, temperature, air density, one per molecule), the
// plotted profile with its ranges, and applying the model to the path.
class AtmosphereListViewModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int selectedItem READ selectedItem WRITE setSelectedItem NOTIFY selectedItemChanged)
    Q_PROPERTY(quint8 modelNum READ modelNum WRITE setModelNum NOTIFY modelNumChanged)
    Q_PROPERTY(Spectrum spectrum READ spectrum NOTIFY spectrumChanged)
    Q_PROPERTY(double minX READ minX WRITE setMinX NOTIFY minXChanged)
    Q_PROPERTY(double maxX READ maxX WRITE setMaxX NOTIFY maxXChanged)
    Q_PROPERTY(double minY READ minY WRITE setMinY NOTIFY minYChanged)
    Q_PROPERTY(double maxY READ maxY WRITE setMaxY NOTIFY maxYChanged)
    Q_PROPERTY(QString xAxisTitle READ xAxisTitle WRITE setXAxisTitle NOTIFY xAxisTitleChanged)
    Q_PROPERTY(int currSpecIndex READ currSpecIndex WRITE setCurrSpecIndex NOTIFY currSpecIndexChanged)
    Q_PROPERTY(QString lineColor READ lineColor NOTIFY lineColorChanged)

public:
    enum Roles { ItemNameRole = Qt::UserRole + 1 };
    // Profile indices below the molecules; molecule k has firstMoleculeProfile + k.
    enum Profile { PressureProfile, TemperatureProfile, AirDensityProfile, FirstMoleculeProfile };

    AtmosphereListViewModel(QObject *parent, KolvexCore *core);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    // The profile a row plots.
    int profileIndex(int row) const;

    int selectedItem() const { return m_selectedItem; }
    void setSelectedItem(int item);
    quint8 modelNum() const;
    void setModelNum(quint8 index);
    const AtmosphereProfile &spectrum() const { return m_spectrum; }
    double minX() const { return m_minX; }
    void setMinX(double value);
    double maxX() const { return m_maxX; }
    void setMaxX(double value);
    double minY() const { return m_minY; }
    void setMinY(double value);
    double maxY() const { return m_maxY; }
    void setMaxY(double value);
    QString xAxisTitle() const { return m_xAxisTitle; }
    void setXAxisTitle(const QString &title);
    int currSpecIndex() const { return m_currSpecIndex; }
    void setCurrSpecIndex(int index);
    QString lineColor() const { return m_lineColor; }

signals:
    void selectedItemChanged();
    void modelNumChanged();
    void spectrumChanged();
    void minXChanged();
    void maxXChanged();
    void minYChanged();
    void maxYChanged();
    void xAxisTitleChanged();
    void currSpecIndexChanged();
    void lineColorChanged();

public slots:
    void setUpdatedValues();

public:
    // Puts the ground values of the current model into the path conditions.
    Q_INVOKABLE void assignNewValues();
    Q_INVOKABLE void plotSpectrum();

private:
    struct Row
    {
        QString itemName;
        int profileIndex = 0;
    };

    KolvexCore *m_core;
    std::vector<Row> m_rows;
    int m_selectedItem = PressureProfile;
    AtmosphereProfile m_spectrum;
    double m_minX = 0.0;
    double m_maxX = 0.0;
    double m_minY = 0.0;
    double m_maxY = 0.0;
    QString m_xAxisTitle;
    int m_currSpecIndex = -1;
    QString m_lineColor = QStringLiteral("#ff0000");
};
