#pragma once

#include <QTreeView>

// The report-style list of entry names. Select-all is one selection range so
// that it stays instant on a million rows, and a double-click is reported
// also on empty space, where QTreeView stays silent.
class TFileListView : public QTreeView
{
    Q_OBJECT

public:
    using QTreeView::QTreeView;

    void selectAll() override;

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent *Event) override;
};
