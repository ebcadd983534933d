#pragma once

#include "twzcmb.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class TDesktopSeam;
class QMenu;
class TEntryListModel;
namespace Ui {
class frmMain;
}

// The main window: opens an index, lists its entry names, and holds the
// actions that work on the selected entries.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmMain(TDesktopSeam &Seam, QWidget *Parent = nullptr);
    ~TfrmMain() override;

    // Opens an index as the Open action does after its dialog: errors go to
    // the error display and leave list, caption and archive as they were.
    // True when the index was loaded.
    bool OpenIndexFile(const QString &FileName);

    // The archive behind the list; null once the window has closed.
    const TwzCMB *Archive() const { return FArchive.get(); }

    TEntryListModel *EntryModel() const { return FModel; }

protected:
    void closeEvent(QCloseEvent *Event) override;
    void dragEnterEvent(QDragEnterEvent *Event) override;
    void dropEvent(QDropEvent *Event) override;

private:
    void FormCreate();
    void FormClose();
    void actFile_OpenExecute();
    void actFile_ExitExecute();
    void actSelectAllExecute();
    void actFile_AppOpenExecute();
    void actFile_WriteOutExecute();
    void actHelp_AboutExecute();
    void lvFilesDblClick();
    void lvFilesSelectItem();
    void lvFilesContextMenu(const QPoint &Pos);

    void LoadIndex(const QString &FileName);
    // Runs an action body; an error it raises goes to the error display so
    // that no exception reaches Qt's event loop.
    void Guarded(const std::function<void()> &Body);

    std::unique_ptr<Ui::frmMain> ui;
    TDesktopSeam &FSeam;
    TEntryListModel *FModel = nullptr;
    QMenu *FpmMain = nullptr;
    std::unique_ptr<TwzCMB> FArchive;
    QString FLastOpenPath;
};
