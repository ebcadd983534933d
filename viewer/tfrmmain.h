#pragma once

#include "twzcmb.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class TDesktopSeam;
class TProgressReporter;
class QMenu;
class QTemporaryDir;
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
    // The captions of the selected items in list order.
    QStringList SelectedCaptions() const;
    // The first selected row in list order, or -1.
    int FirstSelectedRow() const;
    void WriteOut(const QString &Folder, const QStringList &Captions);
    void OpenWithApplication(const QString &Caption);
    // The private folder of this run's temporary copies, made on first use.
    QString TempDir();
    void RemoveTempCopy();
    // Where a message shown during long work belongs.
    QWidget *MessageOwner(const TProgressReporter &Progress);
    // Runs an action body; an error it raises goes to the error display so
    // that no exception reaches Qt's event loop.
    void Guarded(const std::function<void()> &Body);

    std::unique_ptr<Ui::frmMain> ui;
    TDesktopSeam &FSeam;
    TEntryListModel *FModel = nullptr;
    QMenu *FpmMain = nullptr;
    std::unique_ptr<TwzCMB> FArchive;
    QString FLastOpenPath;
    // The temporary copy handed to an application: FTempDir/FTempFileName.
    std::unique_ptr<QTemporaryDir> FTempDir;
    QString FTempFileName;
    // Long work is running: actions wait, a close request stops the work.
    bool FBusy = false;
    bool FCloseRequested = false;
};
