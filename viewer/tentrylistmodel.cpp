#include "tentrylistmodel.h"

QVariant TEntryListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const
{
    if (Orientation == Qt::Horizontal && Section == 0 && Role == Qt::DisplayRole)
        return QStringLiteral("ファイル名");
    return QStringListModel::headerData(Section, Orientation, Role);
}

Qt::ItemFlags TEntryListModel::flags(const QModelIndex &Index) const
{
    if (!Index.isValid())
        return Qt::NoItemFlags;
    // Names can be edited in place; rows are not dragged around.
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}
