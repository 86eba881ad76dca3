#include "ui/mollistviewreducedmodel.h"

#include "app/kolvexcore.h"
#include "core/params.h"

MolListViewReducedModel::MolListViewReducedModel(QObject *parent, KolvexCore *core)
    : QAbstractListModel(parent)
    , m_core(core)
{
    updateDisplayed();
}

int MolListViewReducedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MolListViewReducedModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_rows.size()))
        return QVariant();
    const Row &row = m_rows[std::size_t(index.row())];
    switch (role) {
    case MolNameRole: return row.molName;
    case ColorRole: return row.color;
    default: return QVariant();
    }
}

QHash<int, QByteArray> MolListViewReducedModel::roleNames() const
{
    return {{MolNameRole, "molName"}, {ColorRole, "color"}};
}

void MolListViewReducedModel::updateDisplayed()
{
    if (!m_rows.empty()) {
        beginRemoveRows(QModelIndex(), 0, int(m_rows.size()) - 1);
        m_rows.clear();
        endRemoveRows();
    }
    std::vector<Row> selected;
    for (const Molecule &molecule : m_core->params()->molecules()) {
        if (molecule.selected)
            selected.push_back(Row{molecule.name, molecule.color});
    }
    if (selected.empty())
        return;
    beginInsertRows(QModelIndex(), 0, int(selected.size()) - 1);
    m_rows = std::move(selected);
    endInsertRows();
}
