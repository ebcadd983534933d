#include "tfrmmain.h"

#include "tdesktopseam.h"
#include "tentrylistmodel.h"
#include "tfrmabout.h"
#include "twzapplication.h"
#include "ui_main.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QUrl>

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
}

void TfrmMain::closeEvent(QCloseEvent *Event)
{
    FormClose();
    QMainWindow::closeEvent(Event);
}

void TfrmMain::Guarded(const std::function<void()> &Body)
{
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

void TfrmMain::actFile_AppOpenExecute()
{
    // Opening an entry with its application arrives with the temporary copies.
}

void TfrmMain::actFile_WriteOutExecute()
{
    // Writing entries out arrives with the safe path mapping.
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
