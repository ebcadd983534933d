#pragma once

#include <QStringListModel>

// The entry names as the list shows them: one editable column captioned
// "ファイル名", in index order. A string list keeps a million names cheap.
class TEntryListModel : public QStringListModel
{
    Q_OBJECT

public:
    using QStringListModel::QStringListModel;

    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &Index) const override;
};
