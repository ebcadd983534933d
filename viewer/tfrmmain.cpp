#include "tfrmmain.h"

#include "tdesktopseam.h"
#include "tentrylistmodel.h"
#include "tfrmabout.h"
#include "twzapplication.h"
#include "twzentrywriter.h"
#include "ui_main.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

const QString NotWrittenSuffix = QStringLiteral("は正常に書き出せませんでした");
const QString FolderNotMadeSuffix = QStringLiteral("ディレクトリが作成できませんでした");

// Thrown from a copy's progress when the user stops it; the writer drops
// the unfinished file on the way out.
struct TCancelled
{
};

// Marks long work that lets events through: other actions wait, and a close
// asked for meanwhile stops the work and is carried out once it has ended.
class TBusyScope
{
public:
    TBusyScope(QWidget &Window, bool &Busy, bool &CloseRequested)
        : FWindow(Window), FBusy(Busy), FCloseRequested(CloseRequested)
    {
        FBusy = true;
        FCloseRequested = false;
    }
    ~TBusyScope()
    {
        FBusy = false;
        if (FCloseRequested)
            QTimer::singleShot(0, &FWindow, &QWidget::close);
    }
    TBusyScope(const TBusyScope &) = delete;
    TBusyScope &operator=(const TBusyScope &) = delete;

private:
    QWidget &FWindow;
    bool &FBusy;
    bool &FCloseRequested;
};

// The part of a caption after its last "\", "/" or ":".
QString BareFileName(const QString &Caption)
{
    for (qsizetype i = Caption.size(); i > 0; --i) {
        const QChar C = Caption[i - 1];
        if (C == QLatin1Char('\\') || C == QLatin1Char('/') || C == QLatin1Char(':'))
            return Caption.mid(i);
    }
    return Caption;
}

} // namespace

TfrmMain::TfrmMain(TDesktopSeam &Seam, QWidget *Parent)
    : QMainWindow(Parent), ui(std::make_unique<Ui::frmMain>()), FSeam(Seam)
{
    ui->setupUi(this);
    setFont(TwzApplication::UiFont());
    setWindowIcon(TwzApplication::Icon());
    setAcceptDrops(true);

    FModel = new TEntryListModel(this);
    ui->lvFiles->setModel(FModel);
    ui->lvFiles->header()->resizeSection(0, 160);

    // The shortcuts work anywhere in the window, also for the actions that
    // only the context menu shows.
    addActions({ui->actFile_Open, ui->actFile_Exit, ui->actSelectAll, ui->actFile_AppOpen,
                ui->actFile_WriteOut, ui->actHelp_About});

    FpmMain = new QMenu(this);
    FpmMain->setObjectName(QStringLiteral("pmMain"));
    FpmMain->addActions({ui->actSelectAll, ui->actFile_AppOpen, ui->actFile_WriteOut});

    connect(ui->actFile_Open, &QAction::triggered, this, &TfrmMain::actFile_OpenExecute);
    connect(ui->actFile_Exit, &QAction::triggered, this, &TfrmMain::actFile_ExitExecute);
    connect(ui->actSelectAll, &QAction::triggered, this, &TfrmMain::actSelectAllExecute);
    connect(ui->actFile_AppOpen, &QAction::triggered, this, &TfrmMain::actFile_AppOpenExecute);
    connect(ui->actFile_WriteOut, &QAction::triggered, this, &TfrmMain::actFile_WriteOutExecute);
    connect(ui->actHelp_About, &QAction::triggered, this, &TfrmMain::actHelp_AboutExecute);
    connect(ui->lvFiles, &TFileListView::DblClick, this, &TfrmMain::lvFilesDblClick);
    connect(ui->lvFiles, &QWidget::customContextMenuRequested, this, &TfrmMain::lvFilesContextMenu);
    connect(ui->lvFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmMain::lvFilesSelectItem);
    // A reset drops the selection without a selectionChanged signal.
    connect(FModel, &QAbstractItemModel::modelReset, this, &TfrmMain::lvFilesSelectItem);

    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate()
{
    FArchive = std::make_unique<TwzCMB>();
    setWindowTitle(TwzApplication::Title());
}

void TfrmMain::FormClose()
{
    FArchive.reset();
    // The copy and its folder; an application may still hold the file open,
    // which does not keep it on disk.
    FTempFileName.clear();
    FTempDir.reset();
}

void TfrmMain::closeEvent(QCloseEvent *Event)
{
    if (FBusy) {
        // The work in progress uses the archive: stop it, then close.
        FCloseRequested = true;
        Event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(Event);
}

void TfrmMain::Guarded(const std::function<void()> &Body)
{
    // Long work lets events through; no other action runs meanwhile.
    if (FBusy)
        return;
    try {
        Body();
    } catch (const std::exception &Error) {
        FSeam.ShowError(this, TwzApplication::ErrorDisplayText(Error));
    } catch (...) {
        FSeam.ShowError(this, TwzApplication::ErrorDisplayText(
                                  QStringLiteral("予期しないエラーが発生しました")));
    }
}

void TfrmMain::LoadIndex(const QString &FileName)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto RestoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    // A fresh archive, so that a failed load leaves the one on show intact.
    auto Loaded = std::make_unique<TwzCMB>();
    if (!Loaded->LoadIndex(FileName))
        throw TwzFileOpenError(FileName);
    QStringList Names;
    Loaded->GetItemNames(Names);
    // The entry actions look names up; the lookup is built here, under the
    // wait cursor, so that the first write-out of a large index does not
    // stall before its progress dialog can show.
    Loaded->PrepareLookup();
    FArchive = std::move(Loaded);
    FModel->setStringList(Names);
    setWindowTitle(FileName);
}

bool TfrmMain::OpenIndexFile(const QString &FileName)
{
    bool Done = false;
    Guarded([&] {
        LoadIndex(FileName);
        Done = true;
    });
    return Done;
}

void TfrmMain::actFile_OpenExecute()
{
    Guarded([&] {
        const QString FileName =
            FSeam.GetOpenFileName(this, QStringLiteral("cmbファイルを開く"),
                                  QStringLiteral("cmb (*.cmb)"), FLastOpenPath);
        if (FileName.isEmpty())
            return;
        FLastOpenPath = FileName;
        LoadIndex(FileName);
    });
}

void TfrmMain::actFile_ExitExecute()
{
    close();
}

void TfrmMain::actSelectAllExecute()
{
    Guarded([&] { ui->lvFiles->selectAll(); });
}

QStringList TfrmMain::SelectedCaptions() const
{
    QModelIndexList Rows = ui->lvFiles->selectionModel()->selectedRows();
    std::sort(Rows.begin(), Rows.end(),
              [](const QModelIndex &A, const QModelIndex &B) { return A.row() < B.row(); });
    const QStringList Names = FModel->stringList();
    QStringList Captions;
    Captions.reserve(Rows.size());
    for (const QModelIndex &Row : std::as_const(Rows))
        Captions << Names.at(Row.row());
    return Captions;
}

int TfrmMain::FirstSelectedRow() const
{
    int First = -1;
    for (const QItemSelectionRange &Range : ui->lvFiles->selectionModel()->selection()) {
        if (First < 0 || Range.top() < First)
            First = Range.top();
    }
    return First;
}

QWidget *TfrmMain::MessageOwner(const TProgressReporter &Progress)
{
    QWidget *Owner = Progress.MessageOwner();
    return Owner ? Owner : this;
}

void TfrmMain::actFile_WriteOutExecute()
{
    Guarded([&] {
        // Owned by the window: nothing else runs while it is open.
        const QString Folder =
            FSeam.BrowseForFolder(this, QStringLiteral("ファイルの書き出し先を指定してください"));
        if (Folder.isEmpty() || !FArchive)
            return;
        WriteOut(Folder, SelectedCaptions());
    });
}

void TfrmMain::WriteOut(const QString &Folder, const QStringList &Captions)
{
    TwzEntryWriter Writer;
    QString Why;
    if (!Writer.Open(Folder, &Why)) // gone since it was chosen
        throw TwzError(QStringLiteral("フォルダ %1 に書き出せません (%2)").arg(Folder, Why));

    const TBusyScope Busy(*this, FBusy, FCloseRequested);
    const std::unique_ptr<TProgressReporter> Progress = FSeam.CreateProgress(this, Captions.size());
    const TwzCMB &Archive = *FArchive;
    qint64 BytesDone = 0;
    for (qsizetype i = 0; i < Captions.size(); ++i) {
        const QString &Caption = Captions[i];
        qint64 EntryBytes = 0;
        TwzEntryWriter::TwzResult Result;
        try {
            Result = Writer.WriteItem(Archive, Caption, [&](qint64 Bytes) {
                EntryBytes = Bytes;
                if (!Progress->Report(i, BytesDone + Bytes) || FCloseRequested)
                    throw TCancelled();
            });
        } catch (const TCancelled &) {
            break; // the unfinished file is gone; nothing to report
        } catch (const std::exception &) {
            // Whatever went wrong, it went wrong for this entry only.
            Result.Status = TwzEntryWriter::TwzStatus::WriteError;
        }
        if (Result.Ok()) {
            BytesDone += EntryBytes;
        } else if (Result.Status == TwzEntryWriter::TwzStatus::FolderNotCreatable) {
            FSeam.ShowMessage(MessageOwner(*Progress), Result.Directory + FolderNotMadeSuffix);
        } else {
            FSeam.ShowWarningMessage(MessageOwner(*Progress), Caption + NotWrittenSuffix);
        }
        if (!Progress->Report(i + 1, BytesDone) || FCloseRequested)
            break;
    }
}

void TfrmMain::actFile_AppOpenExecute()
{
    Guarded([&] {
        const int Row = FirstSelectedRow();
        if (Row < 0 || !FArchive)
            return;
        OpenWithApplication(FModel->stringList().at(Row));
    });
}

QString TfrmMain::TempDir()
{
    if (!FTempDir) {
        // mkdtemp: a new folder that only this user can enter.
        auto Dir =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/cmbviewer-XXXXXX"));
        if (!Dir->isValid())
            throw TwzFileCreateError(
                QStringLiteral("%1 (%2)").arg(QDir::tempPath(), Dir->errorString()));
        FTempDir = std::move(Dir);
    }
    return FTempDir->path();
}

void TfrmMain::RemoveTempCopy()
{
    // An application may still hold it; then it goes with the folder.
    if (FTempDir && !FTempFileName.isEmpty())
        QFile::remove(FTempDir->filePath(FTempFileName));
    FTempFileName.clear();
}

void TfrmMain::OpenWithApplication(const QString &Caption)
{
    RemoveTempCopy();
    // Named as the entry's file, so the desktop picks the application by
    // its name; the bytes are those of the entry the full caption names.
    const QString Name = BareFileName(Caption);
    TwzEntryWriter Writer;
    QString Why;
    if (!Writer.Open(TempDir(), &Why))
        throw TwzFileCreateError(QStringLiteral("%1 (%2)").arg(FTempDir->path(), Why));

    const TBusyScope Busy(*this, FBusy, FCloseRequested);
    const std::unique_ptr<TProgressReporter> Progress = FSeam.CreateProgress(this, 1);
    const TwzCMB &Archive = *FArchive;
    TwzEntryWriter::TwzResult Result;
    try {
        // Written as a write-out writes: a refused name, an unreadable entry
        // or a full disk leaves nothing, and the file is complete and closed
        // before anyone is told of it.
        Result = Writer.Write(Name, [&](QIODevice &Out, QString &Reason) {
            return Archive.ExtractItem(Out, Caption, &Reason, [&](qint64 Bytes) {
                if (!Progress->Report(0, Bytes) || FCloseRequested)
                    throw TCancelled();
            });
        });
    } catch (const TCancelled &) {
        return;
    } catch (const std::exception &) {
        Result.Status = TwzEntryWriter::TwzStatus::WriteError;
    }
    if (!Result.Ok()) {
        FSeam.ShowWarningMessage(MessageOwner(*Progress), Caption + NotWrittenSuffix);
        return;
    }
    FTempFileName = Name;
    FSeam.ShellOpenFile(Result.Path);
}

void TfrmMain::actHelp_AboutExecute()
{
    Guarded([&] {
        TfrmAbout About(this);
        FSeam.ExecModal(About);
    });
}

void TfrmMain::lvFilesDblClick()
{
    if (ui->lvFiles->selectionModel()->hasSelection())
        ui->actFile_AppOpen->trigger(); // does nothing while the action is disabled
}

void TfrmMain::lvFilesSelectItem()
{
    // The entry actions need an entry: enabled exactly while one is selected.
    const bool Any = ui->lvFiles->selectionModel()->hasSelection();
    ui->actFile_AppOpen->setEnabled(Any);
    ui->actFile_WriteOut->setEnabled(Any);
}

void TfrmMain::lvFilesContextMenu(const QPoint &Pos)
{
    FpmMain->popup(ui->lvFiles->viewport()->mapToGlobal(Pos));
}

// The first local .cmb file among the dropped URLs, or empty.
static QString DroppedIndexFile(const QMimeData *Data)
{
    if (!Data || !Data->hasUrls())
        return QString();
    for (const QUrl &Url : Data->urls()) {
        if (Url.isLocalFile() &&
            Url.toLocalFile().endsWith(QLatin1String(".cmb"), Qt::CaseInsensitive))
            return Url.toLocalFile();
    }
    return QString();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent *Event)
{
    if (!DroppedIndexFile(Event->mimeData()).isEmpty())
        Event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent *Event)
{
    const QString FileName = DroppedIndexFile(Event->mimeData());
    if (FileName.isEmpty())
        return;
    Event->acceptProposedAction();
    FLastOpenPath = FileName;
    OpenIndexFile(FileName);
}
