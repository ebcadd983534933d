#include "tentrylistmodel.h"
#include "tfakedesktopseam.h"
#include "tfilelistview.h"
#include "tfrmmain.h"
#include "tviewerfixture.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
#include <QUrl>

class TestTfrmMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TFakeDesktopSeam> FSeam;
    std::unique_ptr<TfrmMain> FWindow;

    QAction *Action(const char *Name) const
    {
        return FWindow->findChild<QAction *>(QString::fromLatin1(Name));
    }
    TFileListView *List() const
    {
        return FWindow->findChild<TFileListView *>(QStringLiteral("lvFiles"));
    }
    QStringList ListedNames() const { return FWindow->EntryModel()->stringList(); }
    int SelectedRows() const { return int(List()->selectionModel()->selectedRows().size()); }
    bool EntryActionsEnabled() const
    {
        const bool AppOpen = Action("actFile_AppOpen")->isEnabled();
        const bool WriteOut = Action("actFile_WriteOut")->isEnabled();
        Q_ASSERT(AppOpen == WriteOut);
        return AppOpen;
    }
    void Select(int Row, QItemSelectionModel::SelectionFlags Flags)
    {
        List()->selectionModel()->select(FWindow->EntryModel()->index(Row),
                                         Flags | QItemSelectionModel::Rows);
    }

    // An index of three entries, opened through the Open action.
    QString OpenThree()
    {
        const QString Path = WriteArchive(FDir->path(), QStringLiteral("three.cmb"),
                                          {{QStringLiteral("a.txt"), "A"},
                                           {QStringLiteral("画像\\b.png"), "BB"},
                                           {QStringLiteral("c.txt"), "CCC"}});
        FSeam->OpenFileAnswers << Path;
        Action("actFile_Open")->trigger();
        return Path;
    }

private slots:
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        FSeam = std::make_unique<TFakeDesktopSeam>();
        FWindow = std::make_unique<TfrmMain>(*FSeam);
    }
    void cleanup()
    {
        FWindow.reset();
        FSeam.reset();
        FDir.reset();
    }

    void ActionTable_data()
    {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Caption");
        QTest::addColumn<QKeySequence>("Shortcut");
        QTest::addColumn<bool>("EnabledAtStart");
        QTest::addColumn<QString>("Category");

        QTest::newRow("open") << "actFile_Open"
                              << "cmbを開く(&O)" << QKeySequence(QStringLiteral("Ctrl+O")) << true
                              << "File";
        QTest::newRow("exit") << "actFile_Exit"
                              << "終了(&X)" << QKeySequence(QStringLiteral("Ctrl+W")) << true
                              << "File";
        QTest::newRow("select all")
            << "actSelectAll"
            << "すべて選択(&L)" << QKeySequence(QStringLiteral("Ctrl+A")) << true << "";
        QTest::newRow("open with application")
            << "actFile_AppOpen"
            << "アプリケーションで開く(&A)" << QKeySequence() << false << "File";
        QTest::newRow("write out") << "actFile_WriteOut"
                                   << "ファイルを書き出す(&W)" << QKeySequence() << false << "File";
        QTest::newRow("about") << "actHelp_About"
                               << "バージョン情報(&A)" << QKeySequence() << true << "Help";
    }
    void ActionTable()
    {
        QFETCH(QString, Name);
        QFETCH(QString, Caption);
        QFETCH(QKeySequence, Shortcut);
        QFETCH(bool, EnabledAtStart);
        QFETCH(QString, Category);

        auto *Act = FWindow->findChild<QAction *>(Name);
        QVERIFY(Act);
        QCOMPARE(Act->text(), Caption);
        QCOMPARE(Act->shortcut(), Shortcut);
        QCOMPARE(Act->isEnabled(), EnabledAtStart);
        QCOMPARE(Act->property("category").toString(), Category);
        // Every shortcut works anywhere in the window, so every action is the window's.
        QVERIFY(FWindow->actions().contains(Act));
    }

    void MenusInOrder()
    {
        auto Names = [](const QList<QAction *> &Actions) {
            QStringList Result;
            for (QAction *Act : Actions)
                Result << (Act->isSeparator() ? QStringLiteral("-") : Act->objectName());
            return Result;
        };
        auto *Bar = FWindow->findChild<QMenuBar *>(QStringLiteral("mmMain"));
        QVERIFY(Bar);
        QCOMPARE(FWindow->menuBar(), Bar);
        const QList<QAction *> Top = Bar->actions();
        QCOMPARE(Top.size(), 2);
        QCOMPARE(Top[0]->text(), QStringLiteral("ファイル(&F)"));
        QCOMPARE(Top[1]->text(), QStringLiteral("ヘルプ(&H)"));
        QCOMPARE(Names(Top[0]->menu()->actions()),
                 QStringList({u"actFile_Open"_s, u"-"_s, u"actFile_AppOpen"_s,
                              u"actFile_WriteOut"_s, u"-"_s, u"actFile_Exit"_s}));
        QCOMPARE(Names(Top[1]->menu()->actions()), QStringList({u"actHelp_About"_s}));

        auto *Popup = FWindow->findChild<QMenu *>(QStringLiteral("pmMain"));
        QVERIFY(Popup);
        QCOMPARE(Names(Popup->actions()),
                 QStringList({u"actSelectAll"_s, u"actFile_AppOpen"_s, u"actFile_WriteOut"_s}));
    }

    void InitialWindow()
    {
        QCOMPARE(FWindow->objectName(), QStringLiteral("frmMain"));
        QCOMPARE(FWindow->windowTitle(), QStringLiteral("cmbViewer"));
        QCOMPARE(FWindow->size(), QSize(200, 224));
        QCOMPARE(FWindow->font().pixelSize(), 12);
        QVERIFY(FWindow->Archive());
        QVERIFY(FWindow->Archive()->Items().isEmpty());

        TFileListView *View = List();
        QVERIFY(View);
        QCOMPARE(View->model()->rowCount(), 0);
        QCOMPARE(View->model()->columnCount(), 1);
        QCOMPARE(View->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("ファイル名"));
        QVERIFY(!View->isHeaderHidden());
        QCOMPARE(View->columnWidth(0), 160);
        QCOMPARE(View->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(View->editTriggers(),
                 QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        QVERIFY(!View->isSortingEnabled());
        QVERIFY(View->uniformRowHeights());
        QCOMPARE(FWindow->centralWidget()->layout()->indexOf(View), 0);

        auto *Status = FWindow->findChild<QStatusBar *>(QStringLiteral("sbMain"));
        QVERIFY(Status);
        QVERIFY(Status->currentMessage().isEmpty());
    }

    void OpenListsTheEntries()
    {
        const QString Path = OpenThree();
        QCOMPARE(FSeam->LastOpenTitle, QStringLiteral("cmbファイルを開く"));
        QCOMPARE(FSeam->LastOpenFilter, QStringLiteral("cmb (*.cmb)"));
        QVERIFY(FSeam->LastOpenPreviousPath.isEmpty());
        QVERIFY(FSeam->Errors().isEmpty());
        QCOMPARE(ListedNames(),
                 QStringList({u"a.txt"_s, QStringLiteral("画像\\b.png"), u"c.txt"_s}));
        QCOMPARE(FWindow->windowTitle(), Path);
        QCOMPARE(FWindow->Archive()->Items().size(), 3);
        QCOMPARE(SelectedRows(), 0);
        QVERIFY(!EntryActionsEnabled());
    }

    void OpenOffersThePreviousPath()
    {
        const QString First = OpenThree();
        const QString Missing = FDir->filePath(QStringLiteral("gone.cmb"));
        FSeam->OpenFileAnswers << Missing;
        Action("actFile_Open")->trigger();
        QCOMPARE(FSeam->LastOpenPreviousPath, First);
        Action("actFile_Open")->trigger(); // cancelled
        QCOMPARE(FSeam->LastOpenPreviousPath, Missing);
    }

    // Whatever goes wrong, the window keeps showing the index it had.
    void FailedOpenChangesNothing_data()
    {
        QTest::addColumn<QString>("FileName");
        QTest::addColumn<QByteArray>("IndexText"); // written to FileName when not empty
        QTest::addColumn<QString>("Error");        // %1: the path

        QTest::newRow("cancelled") << QString() << QByteArray() << QString();
        QTest::newRow("missing file")
            << "missing.cmb" << QByteArray() << QStringLiteral("ファイル %1 は開けません.");
        QTest::newRow("missing folder")
            << "no/such/dir/x.cmb" << QByteArray() << QStringLiteral("ファイル %1 は開けません.");
        QTest::newRow("bad number") << "bad.cmb"
                                    << QByteArray("[BinaryCombineData]\r\nd.bin\r\n\r\n"
                                                  "[x.txt]\r\n12a\r\n3\r\n")
                                    << QStringLiteral("'12a' は整数ではありません.");
        QTest::newRow("a folder") << "folder.cmb" << QByteArray()
                                  << QStringLiteral("ファイル %1 は開けません.");
    }
    void FailedOpenChangesNothing()
    {
        QFETCH(QString, FileName);
        QFETCH(QByteArray, IndexText);
        QFETCH(QString, Error);

        const QString Good = OpenThree();
        Select(1, QItemSelectionModel::ClearAndSelect);
        const TwzCMB *ArchiveBefore = FWindow->Archive();

        QString Path;
        if (!FileName.isEmpty()) {
            Path = FDir->filePath(FileName);
            if (!IndexText.isEmpty())
                WriteIndexText(FDir->path(), FileName, IndexText);
            if (QTest::currentDataTag() == QByteArray("a folder"))
                QVERIFY(QDir(FDir->path()).mkdir(FileName));
            FSeam->OpenFileAnswers << Path;
        }
        Action("actFile_Open")->trigger();

        if (Error.contains(QLatin1String("%1")))
            Error = Error.arg(Path);
        QCOMPARE(FSeam->Errors(), Error.isEmpty() ? QStringList() : QStringList{Error});
        QCOMPARE(ListedNames(),
                 QStringList({u"a.txt"_s, QStringLiteral("画像\\b.png"), u"c.txt"_s}));
        QCOMPARE(FWindow->windowTitle(), Good);
        QCOMPARE(FWindow->Archive(), ArchiveBefore);
        QCOMPARE(FWindow->Archive()->Items().size(), 3);
        QCOMPARE(FWindow->Archive()->DataFileName(), Good + QStringLiteral(".bin"));
        QCOMPARE(SelectedRows(), 1);
        QVERIFY(EntryActionsEnabled());
    }

    void ReopenReplacesTheListAndClearsTheSelection()
    {
        OpenThree();
        Select(0, QItemSelectionModel::ClearAndSelect);
        QVERIFY(EntryActionsEnabled());

        const QString Other = WriteArchive(FDir->path(), QStringLiteral("other.cmb"),
                                           {{QStringLiteral("only.txt"), "1"}});
        FSeam->OpenFileAnswers << Other;
        Action("actFile_Open")->trigger();
        QCOMPARE(ListedNames(), QStringList({u"only.txt"_s}));
        QCOMPARE(FWindow->windowTitle(), Other);
        QCOMPARE(SelectedRows(), 0);
        QVERIFY(!EntryActionsEnabled());
    }

    void SelectAllOnAnEmptyList()
    {
        Action("actSelectAll")->trigger();
        QCOMPARE(SelectedRows(), 0);
        QVERIFY(!EntryActionsEnabled());
    }

    void SelectAllIsOneRange()
    {
        OpenThree();
        Select(1, QItemSelectionModel::ClearAndSelect);
        Action("actSelectAll")->trigger();
        QCOMPARE(SelectedRows(), 3);
        QCOMPARE(List()->selectionModel()->selection().size(), 1);
        QVERIFY(EntryActionsEnabled());
    }

    // The entry actions follow whether anything is selected, not the last change.
    void EntryActionsFollowTheSelection()
    {
        OpenThree();
        Select(0, QItemSelectionModel::Select);
        QVERIFY(EntryActionsEnabled());
        Select(2, QItemSelectionModel::Select);
        Select(0, QItemSelectionModel::Deselect);
        QVERIFY(EntryActionsEnabled());
        Select(2, QItemSelectionModel::Deselect);
        QVERIFY(!EntryActionsEnabled());
        Select(1, QItemSelectionModel::Toggle);
        QVERIFY(EntryActionsEnabled());
        List()->clearSelection();
        QVERIFY(!EntryActionsEnabled());
    }

    void ClickSelectsAndEnables()
    {
        OpenThree();
        FWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
        const QRect Row = List()->visualRect(FWindow->EntryModel()->index(0));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, Row.center());
        QCOMPARE(SelectedRows(), 1);
        QVERIFY(EntryActionsEnabled());
    }

    void DoubleClick_data()
    {
        QTest::addColumn<bool>("OnItem");
        QTest::addColumn<int>("Runs");
        QTest::newRow("on an item") << true << 1;
        QTest::newRow("on empty space") << false << 0;
    }
    void DoubleClick()
    {
        QFETCH(bool, OnItem);
        QFETCH(int, Runs);
        OpenThree();
        FWindow->resize(200, 224);
        FWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
        QSignalSpy AppOpen(Action("actFile_AppOpen"), &QAction::triggered);

        const QRect Row = List()->visualRect(FWindow->EntryModel()->index(1));
        const QPoint Where =
            OnItem ? Row.center() : QPoint(Row.center().x(), List()->viewport()->height() - 3);
        QVERIFY(List()->indexAt(Where).isValid() == OnItem);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, Where);
        QCOMPARE(AppOpen.count(), Runs);
        // A double-click is no slow second click: no caption editor opens.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QVERIFY(!List()->viewport()->findChild<QLineEdit *>());
    }

    void DoubleClickWhileDisabledDoesNothing()
    {
        OpenThree();
        Select(0, QItemSelectionModel::ClearAndSelect);
        Action("actFile_AppOpen")->setEnabled(false);
        QSignalSpy AppOpen(Action("actFile_AppOpen"), &QAction::triggered);
        emit List()->DblClick();
        QCOMPARE(AppOpen.count(), 0);
    }

    void EditingACaptionChangesTheName_data()
    {
        QTest::addColumn<bool>("ByClick");
        QTest::newRow("F2") << false;
        QTest::newRow("click on the selected item") << true;
    }
    void EditingACaptionChangesTheName()
    {
        QFETCH(bool, ByClick);
        OpenThree();
        FWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
        const QModelIndex Second = FWindow->EntryModel()->index(1);
        if (ByClick) {
            const QPoint Where = List()->visualRect(Second).center();
            QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, Where);
            QCOMPARE(SelectedRows(), 1);
            // A second click, too late to make a double-click, starts editing.
            QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, Where,
                              QApplication::doubleClickInterval() + 50);
        } else {
            List()->setCurrentIndex(Second);
            List()->setFocus();
            QTest::keyClick(List(), Qt::Key_F2);
        }
        QLineEdit *Editor = nullptr;
        QTRY_VERIFY((Editor = List()->viewport()->findChild<QLineEdit *>()));
        QVERIFY(Editor->isVisible());
        QCOMPARE(Editor->text(), QStringLiteral("画像\\b.png"));
        Editor->setText(QStringLiteral("renamed.png"));
        QTest::keyClick(Editor, Qt::Key_Return);
        // The delegate commits from a queued call.
        QTRY_COMPARE(ListedNames(), QStringList({u"a.txt"_s, u"renamed.png"_s, u"c.txt"_s}));
        // The archive keeps its entries; only the name the actions use changed.
        QCOMPARE(FWindow->Archive()->Items().at(1).Name, QStringLiteral("画像\\b.png"));
    }

    void Shortcuts_data()
    {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QKeySequence>("Keys");
        QTest::newRow("open") << "actFile_Open" << QKeySequence(QStringLiteral("Ctrl+O"));
        QTest::newRow("select all") << "actSelectAll" << QKeySequence(QStringLiteral("Ctrl+A"));
        QTest::newRow("exit") << "actFile_Exit" << QKeySequence(QStringLiteral("Ctrl+W"));
    }
    void Shortcuts()
    {
        QFETCH(QString, Name);
        QFETCH(QKeySequence, Keys);
        OpenThree();
        FWindow->show();
        QApplication::setActiveWindow(FWindow.get());
        QVERIFY(QTest::qWaitForWindowActive(FWindow.get()));
        List()->setFocus();
        QSignalSpy Triggered(FWindow->findChild<QAction *>(Name), &QAction::triggered);
        QTest::keySequence(List(), Keys);
        QCOMPARE(Triggered.count(), 1);
    }

    void ExitClosesTheWindowAndReleasesTheArchive()
    {
        OpenThree();
        FWindow->show();
        Action("actFile_Exit")->trigger();
        QVERIFY(!FWindow->isVisible());
        QVERIFY(!FWindow->Archive());
    }

    void AboutLeavesTheWindowAsItWas()
    {
        const QString Path = OpenThree();
        Select(2, QItemSelectionModel::ClearAndSelect);
        QString Shown;
        QWidget *Owner = nullptr;
        FSeam->OnExecModal = [&](QDialog &Dialog) {
            Shown = Dialog.objectName();
            Owner = Dialog.parentWidget();
            Dialog.accept();
            return int(Dialog.result());
        };
        Action("actHelp_About")->trigger();
        QCOMPARE(Shown, QStringLiteral("frmAbout"));
        QCOMPARE(Owner, FWindow.get());
        QCOMPARE(FWindow->findChildren<QDialog *>().size(), 0); // gone once closed
        QCOMPARE(FWindow->windowTitle(), Path);
        QCOMPARE(ListedNames().size(), 3);
        QCOMPARE(SelectedRows(), 1);
        QVERIFY(FSeam->Errors().isEmpty());
    }

    void DroppingAnIndexOpensIt_data()
    {
        QTest::addColumn<QString>("FileName");
        QTest::addColumn<bool>("Opens");
        QTest::newRow("index") << "drop.cmb" << true;
        QTest::newRow("upper-case extension") << "DROP.CMB" << true;
        QTest::newRow("other file") << "drop.txt" << false;
    }
    void DroppingAnIndexOpensIt()
    {
        QFETCH(QString, FileName);
        QFETCH(bool, Opens);
        const QString Path =
            WriteArchive(FDir->path(), FileName, {{QStringLiteral("dropped.txt"), "D"}});
        QMimeData Data;
        Data.setUrls({QUrl::fromLocalFile(Path)});
        QDragEnterEvent Enter(QPoint(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, {});
        QApplication::sendEvent(FWindow.get(), &Enter);
        QCOMPARE(Enter.isAccepted(), Opens);
        QDropEvent Drop(QPointF(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, {});
        QApplication::sendEvent(FWindow.get(), &Drop);
        QCOMPARE(ListedNames(), Opens ? QStringList({u"dropped.txt"_s}) : QStringList());
        QCOMPARE(FWindow->windowTitle(), Opens ? Path : QStringLiteral("cmbViewer"));
    }
};

QTEST_MAIN(TestTfrmMain)
#include "tst_tfrmmain.moc"
