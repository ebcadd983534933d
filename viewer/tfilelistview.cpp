#include "tfilelistview.h"

#include <QItemSelection>
#include <QItemSelectionModel>
#include <QMouseEvent>

void TFileListView::selectAll()
{
    QAbstractItemModel *Model = model();
    QItemSelectionModel *Selection = selectionModel();
    if (!Model || !Selection || selectionMode() == NoSelection)
        return;
    const int Rows = Model->rowCount(rootIndex());
    if (Rows == 0)
        return;
    const QModelIndex First = Model->index(0, 0, rootIndex());
    const QModelIndex Last =
        Model->index(Rows - 1, Model->columnCount(rootIndex()) - 1, rootIndex());
    Selection->select(QItemSelection(First, Last),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFileListView::mouseDoubleClickEvent(QMouseEvent *Event)
{
    QTreeView::mouseDoubleClickEvent(Event);
    if (Event->button() == Qt::LeftButton)
        emit DblClick();
}
