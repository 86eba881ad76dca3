#pragma once

#include <QAbstractListModel>
#include <QString>

#include <vector>

class KolvexCore;

// The selected molecules only, formula and colour, for the screens that list
// just what takes part in the plot.
class MolListViewReducedModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles { MolNameRole = Qt::UserRole + 1, ColorRole };

    MolListViewReducedModel(QObject *parent, KolvexCore *core);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE void updateDisplayed();

private:
    struct Row
    {
        QString molName;
        QString color;
    };

    KolvexCore *m_core;
    std::vector<Row> m_rows;
};
