#pragma once

#include <QAbstractListModel>
#include <QString>

#include <vector>

class KolvexCore;

// The molecule list: one row per molecule of the parameter store with its
// number, check box, formula, concentration in the chosen unit and colour.
// Every edit is written straight into the parameter store.
class MolListViewModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int units READ units WRITE setUnits NOTIFY unitsChanged)
    Q_PROPERTY(QString selectedColor READ selectedColor WRITE setSelectedColor NOTIFY selectedColorChanged)
    Q_PROPERTY(int activeIndex READ activeIndex WRITE setActiveIndex NOTIFY activeIndexChanged)
    Q_PROPERTY(bool allSelected READ allSelected WRITE setAllSelected NOTIFY allSelectedChanged)
    Q_PROPERTY(bool calcNotSelectedMols READ calcNotSelectedMols WRITE setCalcNotSelectedMols
                   NOTIFY calcNotSelectedMolsChanged)

public:
    enum Roles { IndexRole = Qt::UserRole + 1, CheckedRole, MolNameRole, PressValueRole, ColorRole };

    MolListViewModel(QObject *parent, KolvexCore *core);
    ~MolListViewModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QHash<int, QByteArray> roleNames() const override;

    // Concentration display code: 0 percent, 1 ppmv, 2 + pressure unit for partial pressures.
    int units() const;
    void setUnits(int code);
    QString selectedColor() const { return m_selectedColor; }
    void setSelectedColor(const QString &color);
    int activeIndex() const { return m_activeIndex; }
    void setActiveIndex(int index);
    // True while every molecule of the list is selected, whoever selected them
    // (the rows, Select All, a peer, the settings of the last run).
    bool allSelected() const;
    void setAllSelected(bool selected);
    bool calcNotSelectedMols() const;
    void setCalcNotSelectedMols(bool calculate);

    // A concentration in ppmv as shown in the current unit.
    QString displayText(double ppmv) const;
    // Reads a concentration entered in the current unit into ppmv. Returns an
    // empty string on success, otherwise a message for the user.
    QString toPpmv(const QString &text, double *ppmv) const;
    // Stores the concentration of molecule `number` (from 1) that a committed
    // text gives in the current unit; returns why it cannot be stored (nothing
    // changes then), or an empty text. The text the row shows changes nothing.
    Q_INVOKABLE QString enterConcentration(int number, const QString &text);

signals:
    void unitsChanged();
    void selectedColorChanged();
    void activeIndexChanged();
    void allSelectedChanged();
    void calcNotSelectedMolsChanged();
    void updateSpectra(bool updateScale, bool updateTotal);

public slots:
    void updateH2OValue();
    void updateAllPartPressValues();
    void updateAllCheckedStates();

public:
    Q_INVOKABLE void updatePartPress();
    Q_INVOKABLE void updateActiveColor();
    Q_INVOKABLE void selectAll(bool selected);

private:
    struct Row
    {
        QString index;
        bool checked = false;
        QString molName;
        QString pressValue;
        QString color;
    };

    void rebuildRowsIfTableChanged();
    Row rowFor(int molecule) const;
    double concentration(int molecule) const;
    void emitAllRowsChanged();
    // Tells the view when the selection turned complete or incomplete.
    void followAllSelected();

    KolvexCore *m_core;
    std::vector<Row> m_rows;
    QString m_selectedColor;
    int m_activeIndex = 1;
    bool m_allSelected = true;
    int m_shownUnits = 0;
};
