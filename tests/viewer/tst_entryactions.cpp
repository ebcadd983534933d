// The two actions on selected entries, driven through the fake desktop:
// writing them out into a folder, and opening one with its application.
#include "cmbtestfiles.h"
#include "tentrylistmodel.h"
#include "tfakedesktopseam.h"
#include "tfilelistview.h"
#include "tfrmmain.h"
#include "tviewerfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using CmbTestFiles::ReadFile;
using CmbTestFiles::Tree;
using CmbTestFiles::WriteFile;

using TEntry = TFixtureEntry;

QString NotWritten(const QString &Caption)
{
    return Caption + QStringLiteral("は正常に書き出せませんでした");
}

} // namespace

class TestEntryActions : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TFakeDesktopSeam> FSeam;
    std::unique_ptr<TfrmMain> FWindow;

    QString Out() const { return FDir->filePath(QStringLiteral("out")); }
    QString Outside() const { return FDir->filePath(QStringLiteral("outside")); }
    QAction *Action(const char *Name) const
    {
        return FWindow->findChild<QAction *>(QString::fromLatin1(Name));
    }
    TFileListView *List() const
    {
        return FWindow->findChild<TFileListView *>(QStringLiteral("lvFiles"));
    }

    bool Open(const QList<TEntry> &Entries)
    {
        const QString Path = WriteEntries(FDir->path(), QStringLiteral("test.cmb"), Entries);
        return !Path.isEmpty() && FWindow->OpenIndexFile(Path);
    }
    // Selects the rows in the order given, adding to the selection.
    void Select(const QList<int> &Rows)
    {
        for (const int Row : Rows)
            List()->selectionModel()->select(FWindow->EntryModel()->index(Row),
                                             QItemSelectionModel::Select |
                                                 QItemSelectionModel::Rows);
    }
    void SelectOnly(int Row)
    {
        List()->clearSelection();
        Select({Row});
    }
    void Rename(int Row, const QString &Caption)
    {
        FWindow->EntryModel()->setData(FWindow->EntryModel()->index(Row), Caption);
    }
    void WriteOut()
    {
        FSeam->FolderAnswers << Out();
        Action("actFile_WriteOut")->trigger();
    }
    // The one shell request of the last open-with-application, or empty.
    QString ShellPath() const
    {
        const QStringList Paths = FSeam->Texts(QStringLiteral("shell"));
        return Paths.isEmpty() ? QString() : Paths.last();
    }
    QString OpenWithApplication(int Row)
    {
        SelectOnly(Row);
        Action("actFile_AppOpen")->trigger();
        return ShellPath();
    }

private slots:
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("out")));
        QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("outside")));
        FSeam = std::make_unique<TFakeDesktopSeam>();
        FWindow = std::make_unique<TfrmMain>(*FSeam);
    }
    void cleanup()
    {
        FWindow.reset();
        FSeam.reset();
        FDir.reset();
    }

    // --- write out ---

    void WritesTheSelectionAndReportsEachFailure()
    {
        QVERIFY(Open({{u"a.txt"_s, "A"}, {u"broken.txt"_s, "??", false}, {u"c.txt"_s, "CCC"}}));
        Action("actSelectAll")->trigger();
        WriteOut();

        QCOMPARE(FSeam->Texts(u"folder"_s),
                 QStringList{u"ファイルの書き出し先を指定してください"_s});
        QCOMPARE(FSeam->LastFolderOwner, FWindow.get());
        QCOMPARE(FSeam->Texts(u"warning"_s), QStringList{NotWritten(u"broken.txt"_s)});
        QVERIFY(FSeam->Texts(u"message"_s).isEmpty());
        QVERIFY(FSeam->Errors().isEmpty());
        // No empty or partial file for the failed entry.
        QCOMPARE(Tree(Out()), QStringList({u"a.txt"_s, u"c.txt"_s}));
        QCOMPARE(ReadFile(Out() + u"/a.txt"_s), QByteArray("A"));
        QCOMPARE(ReadFile(Out() + u"/c.txt"_s), QByteArray("CCC"));
    }

    void CreatesSubFolders_data()
    {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Path");
        QTest::newRow("backslashes") << u"a\\b\\c.txt"_s << u"a/b/c.txt"_s;
        QTest::newRow("slashes") << u"a/b/c.txt"_s << u"a/b/c.txt"_s;
        QTest::newRow("Japanese folder") << u"画像\\表紙.png"_s << u"画像/表紙.png"_s;
        QTest::newRow("dots in names") << u"a..b\\foo..\\..c"_s << u"a..b/foo../..c"_s;
    }
    void CreatesSubFolders()
    {
        QFETCH(QString, Name);
        QFETCH(QString, Path);
        QVERIFY(Open({{Name, "content"}}));
        Action("actSelectAll")->trigger();
        WriteOut();
        QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
        QCOMPARE(ReadFile(Out() + QLatin1Char('/') + Path), QByteArray("content"));
    }

    void WritesInListOrder()
    {
        QVERIFY(Open({{u"first.txt"_s, "1", false},
                      {u"ok.txt"_s, "2"},
                      {u"second.txt"_s, "3", false},
                      {u"third\\x.txt"_s, "4"}}));
        QVERIFY(WriteFile(Out() + u"/third"_s, "a file where a folder belongs"));
        Select({3, 2, 0}); // selected from the bottom up
        WriteOut();
        QStringList Order;
        for (const TFakeDesktopSeam::TCall &Call : FSeam->Calls)
            if (Call.Kind == u"warning"_s || Call.Kind == u"message"_s)
                Order << Call.Text;
        QCOMPARE(Order, QStringList({NotWritten(u"first.txt"_s), NotWritten(u"second.txt"_s),
                                     Out() + u"/thirdディレクトリが作成できませんでした"_s}));
    }

    void CancelledFolderBrowserWritesNothing()
    {
        QVERIFY(Open({{u"a.txt"_s, "A"}}));
        Action("actSelectAll")->trigger();
        Action("actFile_WriteOut")->trigger(); // no folder answered: cancelled
        QCOMPARE(FSeam->Calls.size(), 1);
        QCOMPARE(FSeam->Calls[0].Kind, u"folder"_s);
        QVERIFY(Tree(Out()).isEmpty());
    }

    // A folder that is gone by the time it is used: one error, not one per entry.
    void MissingFolderIsOneError()
    {
        QVERIFY(Open({{u"a.txt"_s, "A"}, {u"b.txt"_s, "B"}}));
        Action("actSelectAll")->trigger();
        const QString Gone = FDir->filePath(u"gone"_s);
        FSeam->FolderAnswers << Gone;
        Action("actFile_WriteOut")->trigger();
        QCOMPARE(FSeam->Errors().size(), 1);
        QVERIFY2(FSeam->Errors()[0].startsWith(u"フォルダ "_s + Gone + u" に書き出せません ("_s),
                 qPrintable(FSeam->Errors()[0]));
        QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
        QVERIFY(!QFileInfo::exists(Gone));
    }

    // The edited caption is both the name looked up and the file's name.
    void UsesTheEditedCaption_data()
    {
        QTest::addColumn<QString>("Caption");
        QTest::addColumn<QByteArray>("Content"); // empty: the entry fails
        QTest::newRow("other case") << u"B.TXT"_s << QByteArray("B");
        QTest::newRow("the name of another entry") << u"a.txt"_s << QByteArray("A");
        QTest::newRow("no such entry") << u"renamed.txt"_s << QByteArray();
    }
    void UsesTheEditedCaption()
    {
        QFETCH(QString, Caption);
        QFETCH(QByteArray, Content);
        QVERIFY(Open({{u"a.txt"_s, "A"}, {u"b.txt"_s, "B"}}));
        Rename(1, Caption);
        SelectOnly(1);
        WriteOut();
        if (Content.isEmpty()) {
            QCOMPARE(FSeam->Texts(u"warning"_s), QStringList{NotWritten(Caption)});
            QVERIFY(Tree(Out()).isEmpty());
        } else {
            QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
            QCOMPARE(Tree(Out()), QStringList{Caption});
            QCOMPARE(ReadFile(Out() + QLatin1Char('/') + Caption), Content);
        }
    }

    // A folder that cannot be made gets the plain message with the folder's
    // path; the entries after it are still written.
    void FolderNotCreatable_data()
    {
        QTest::addColumn<QString>("Blocker"); // "file" or "link"
        QTest::newRow("a file where a folder belongs") << u"file"_s;
        QTest::newRow("a link to a folder outside") << u"link"_s;
    }
    void FolderNotCreatable()
    {
        QFETCH(QString, Blocker);
        QVERIFY(Open({{u"sub\\inner\\x.txt"_s, "X"}, {u"y.txt"_s, "Y"}}));
        if (Blocker == u"file"_s)
            QVERIFY(WriteFile(Out() + u"/sub"_s, "file"));
        else
            QVERIFY(QFile::link(Outside(), Out() + u"/sub"_s));
        Action("actSelectAll")->trigger();
        WriteOut();
        QCOMPARE(FSeam->Texts(u"message"_s),
                 QStringList{Out() + u"/sub/innerディレクトリが作成できませんでした"_s});
        QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
        QCOMPARE(Tree(Out()), QStringList({u"sub"_s, u"y.txt"_s}));
        QVERIFY(Tree(Outside()).isEmpty());
    }

    void RefusesUnsafeNames_data()
    {
        QTest::addColumn<QString>("Name");
        QTest::newRow("parent") << u"..\\outside\\evil.txt"_s;
        QTest::newRow("parent inside") << u"a\\..\\..\\outside\\evil.txt"_s;
        QTest::newRow("absolute") << u"/evil.txt"_s;
        QTest::newRow("root backslash") << u"\\evil.txt"_s;
        QTest::newRow("drive") << u"C:\\evil.txt"_s;
        QTest::newRow("drive relative") << u"C:evil.txt"_s;
        QTest::newRow("UNC") << u"\\\\server\\share\\evil.txt"_s;
        QTest::newRow("control character") << u"evil\u0001.txt"_s;
    }
    void RefusesUnsafeNames()
    {
        QFETCH(QString, Name);
        QVERIFY(Open({{Name, "evil"}, {u"good.txt"_s, "good"}}));
        QStringList Expected = Tree(FDir->path()) << u"out/good.txt"_s;
        Expected.sort();
        Action("actSelectAll")->trigger();
        WriteOut();
        QCOMPARE(FSeam->Texts(u"warning"_s), QStringList{NotWritten(Name)});
        QCOMPARE(Tree(Out()), QStringList{u"good.txt"_s});
        QCOMPARE(Tree(FDir->path()), Expected);
        QVERIFY(!QFileInfo::exists(u"/evil.txt"_s));
    }

    void ReplacesExistingFilesAndRepeats()
    {
        QVERIFY(Open({{u"a.txt"_s, "new A"}, {u"d\\b.txt"_s, "new B"}}));
        QVERIFY(WriteFile(Out() + u"/a.txt"_s, "old content, longer than the new"));
        QVERIFY(QDir(Out()).mkdir(u"d"_s));
        // A link at the final name is replaced, not written through.
        QVERIFY(WriteFile(Outside() + u"/target"_s, "outside"));
        QVERIFY(QFile::link(Outside() + u"/target"_s, Out() + u"/d/b.txt"_s));
        Action("actSelectAll")->trigger();
        WriteOut();
        QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
        QCOMPARE(ReadFile(Out() + u"/a.txt"_s), QByteArray("new A"));
        QVERIFY(!QFileInfo(Out() + u"/d/b.txt"_s).isSymLink());
        QCOMPARE(ReadFile(Out() + u"/d/b.txt"_s), QByteArray("new B"));
        QCOMPARE(ReadFile(Outside() + u"/target"_s), QByteArray("outside"));

        // The same selection again gives the same files, and nothing more.
        const QStringList First = Tree(Out());
        WriteOut();
        QCOMPARE(Tree(Out()), First);
        QCOMPARE(ReadFile(Out() + u"/a.txt"_s), QByteArray("new A"));
        QCOMPARE(ReadFile(Out() + u"/d/b.txt"_s), QByteArray("new B"));
    }

    void ReportsProgress()
    {
        QVERIFY(Open({{u"a.txt"_s, "12"}, {u"b.txt"_s, "345", false}, {u"c.txt"_s, "6789"}}));
        Action("actSelectAll")->trigger();
        WriteOut();
        QCOMPARE(FSeam->Texts(u"progress"_s), QStringList{u"3"_s});
        QVERIFY(!FSeam->Reports.isEmpty());
        // Never backwards; at the end every item is done, and only the bytes
        // of the files written count.
        for (qsizetype i = 1; i < FSeam->Reports.size(); ++i) {
            QVERIFY(FSeam->Reports[i].Items >= FSeam->Reports[i - 1].Items);
            QVERIFY(FSeam->Reports[i].Bytes >= FSeam->Reports[i - 1].Bytes);
        }
        QCOMPARE(FSeam->Reports.last().Items, 3);
        QCOMPARE(FSeam->Reports.last().Bytes, 6);
    }

    // Cancel stops the write-out; an entry being copied when it comes is
    // dropped whole, and a file it would have replaced stays as it was.
    void CancelStopsWithNothingPartial_data()
    {
        QTest::addColumn<qint64>("AfterItems");
        QTest::addColumn<qint64>("AfterBytes");
        QTest::addColumn<QStringList>("Written");
        QTest::newRow("between entries")
            << qint64(2) << qint64(-1) << QStringList({u"1.bin"_s, u"2.bin"_s, u"3.bin"_s});
        QTest::newRow("within an entry")
            << qint64(-1) << qint64(1) << QStringList({u"3.bin"_s}); // 3.bin: the old one
    }
    void CancelStopsWithNothingPartial()
    {
        QFETCH(qint64, AfterItems);
        QFETCH(qint64, AfterBytes);
        QFETCH(QStringList, Written);
        const QByteArray Big(3 << 20, 'z'); // copied in several steps
        QVERIFY(Open({{u"1.bin"_s, Big}, {u"2.bin"_s, Big}, {u"3.bin"_s, Big}, {u"4.bin"_s, Big}}));
        QVERIFY(WriteFile(Out() + u"/3.bin"_s, "old"));
        FSeam->CancelAfterItems = AfterItems;
        FSeam->CancelAfterBytes = AfterBytes;
        Action("actSelectAll")->trigger();
        WriteOut();
        QCOMPARE(Tree(Out()), Written);
        QCOMPARE(ReadFile(Out() + u"/3.bin"_s), QByteArray("old"));
        for (const QString &Name : Written)
            if (Name != u"3.bin"_s)
                QCOMPARE(ReadFile(Out() + QLatin1Char('/') + Name), Big);
        QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
    }

    // Closing the window while a write-out runs stops it first; the window
    // closes once the work has let go of the archive.
    void CloseDuringWriteOutWaitsForIt()
    {
        QVERIFY(Open({{u"1.txt"_s, "1"}, {u"2.txt"_s, "2"}, {u"3.txt"_s, "3"}}));
        FWindow->show();
        Action("actSelectAll")->trigger();
        bool Asked = false;
        FSeam->OnReport = [&](qint64 Items) {
            if (Items == 1 && !Asked) {
                Asked = true;
                FWindow->close();
                QVERIFY(FWindow->isVisible());
                QVERIFY(FWindow->Archive());
            }
        };
        WriteOut();
        QVERIFY(Asked);
        QCOMPARE(Tree(Out()), QStringList{u"1.txt"_s});
        QTRY_VERIFY(!FWindow->isVisible());
        QVERIFY(!FWindow->Archive());
    }

    // --- open with application ---

    void OpensACopyInAPrivateFolder()
    {
        QVERIFY(Open({{u"a.png"_s, "other entry"}, {u"img\\a.png"_s, "PNG bytes"}}));
        const QString Path = OpenWithApplication(1);
        QVERIFY(FSeam->Texts(u"warning"_s).isEmpty());
        QVERIFY(FSeam->Errors().isEmpty());
        // Named by the bare file name, holding the bytes of the entry the
        // full caption names.
        const QFileInfo Info(Path);
        QCOMPARE(Info.fileName(), u"a.png"_s);
        QCOMPARE(ReadFile(Path), QByteArray("PNG bytes"));
        QVERIFY(!(Info.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)));

        const QFileInfo Dir(Info.absolutePath());
        QCOMPARE(QFileInfo(Dir.absolutePath()).canonicalFilePath(),
                 QFileInfo(QDir::tempPath()).canonicalFilePath());
        QCOMPARE(Dir.permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ExeOwner | QFile::ReadUser |
                                                 QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(Tree(Dir.filePath()), QStringList{u"a.png"_s});
    }

    void ReplacesThePreviousCopy()
    {
        QVERIFY(Open({{u"b.txt"_s, "B"}, {u"c.txt"_s, "C"}}));
        const QString B = OpenWithApplication(0);
        const QString C = OpenWithApplication(1);
        QCOMPARE(QFileInfo(C).absolutePath(), QFileInfo(B).absolutePath());
        QVERIFY(!QFileInfo::exists(B));
        QCOMPARE(ReadFile(C), QByteArray("C"));

        // The same entry twice: a fresh copy under the same name.
        QVERIFY(WriteFile(C, "changed by the application"));
        QCOMPARE(OpenWithApplication(1), C);
        QCOMPARE(ReadFile(C), QByteArray("C"));
        QCOMPARE(Tree(QFileInfo(C).absolutePath()), QStringList{u"c.txt"_s});
        QCOMPARE(FSeam->Texts(u"shell"_s).size(), 3);
    }

    void OpensTheFirstSelectedInListOrder()
    {
        QVERIFY(Open({{u"a.txt"_s, "A"}, {u"b.txt"_s, "B"}, {u"c.txt"_s, "C"}}));
        Select({2, 1});
        Action("actFile_AppOpen")->trigger();
        QCOMPARE(FSeam->Texts(u"shell"_s).size(), 1);
        QCOMPARE(QFileInfo(ShellPath()).fileName(), u"b.txt"_s);
        QCOMPARE(ReadFile(ShellPath()), QByteArray("B"));
    }

    // Nothing is handed to the shell unless it holds the entry's bytes.
    void RefusesWhatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("Caption");
        QTest::addColumn<bool>("Readable");
        QTest::newRow("unreadable entry") << u"broken.txt"_s << false;
        QTest::newRow("no such entry") << u"renamed.txt"_s << true;
        QTest::newRow("bare name ..") << u"dir\\.."_s << true;
        QTest::newRow("bare name .") << u"dir/."_s << true;
        QTest::newRow("empty bare name") << u"dir\\"_s << true;
        QTest::newRow("after a colon") << u"C:"_s << true;
        QTest::newRow("control character") << u"a\u0007.txt"_s << true;
    }
    void RefusesWhatCannotBeOpened()
    {
        QFETCH(QString, Caption);
        QFETCH(bool, Readable);
        QVERIFY(Open({{u"prev.txt"_s, "P"}, {u"x"_s, "X", Readable}}));
        Rename(1, Caption);
        const QString Previous = OpenWithApplication(0);
        QVERIFY(!Previous.isEmpty());
        FSeam->Calls.clear();

        OpenWithApplication(1);
        QCOMPARE(FSeam->Texts(u"warning"_s), QStringList{NotWritten(Caption)});
        QVERIFY(FSeam->Texts(u"shell"_s).isEmpty());
        // The previous copy is gone all the same, and nothing took its place.
        QVERIFY(Tree(QFileInfo(Previous).absolutePath()).isEmpty());
    }

    void DoesNotFollowALinkInThePrivateFolder()
    {
        QVERIFY(Open({{u"b.txt"_s, "B"}, {u"c.txt"_s, "C"}}));
        const QString B = OpenWithApplication(0);
        const QString Planted = QFileInfo(B).absolutePath() + u"/c.txt"_s;
        QVERIFY(WriteFile(Outside() + u"/victim"_s, "untouched"));
        QVERIFY(QFile::link(Outside() + u"/victim"_s, Planted));
        QCOMPARE(OpenWithApplication(1), Planted);
        QVERIFY(!QFileInfo(Planted).isSymLink());
        QCOMPARE(ReadFile(Planted), QByteArray("C"));
        QCOMPARE(ReadFile(Outside() + u"/victim"_s), QByteArray("untouched"));
    }

    void PrivateFolderGoesWithTheWindow_data()
    {
        QTest::addColumn<bool>("Close"); // false: the window is only destroyed
        QTest::newRow("closed") << true;
        QTest::newRow("destroyed") << false;
    }
    void PrivateFolderGoesWithTheWindow()
    {
        QFETCH(bool, Close);
        QVERIFY(Open({{u"b.txt"_s, "B"}}));
        const QString Folder = QFileInfo(OpenWithApplication(0)).absolutePath();
        QVERIFY(QFileInfo(Folder).isDir());
        if (Close) {
            FWindow->show();
            QVERIFY(FWindow->close());
        } else {
            FWindow.reset();
        }
        QVERIFY(!QFileInfo::exists(Folder));
    }

    void NoSelectionDoesNothing()
    {
        QVERIFY(Open({{u"b.txt"_s, "B"}}));
        Action("actFile_AppOpen")->setEnabled(true);
        Action("actFile_AppOpen")->trigger();
        QVERIFY(FSeam->Calls.isEmpty());
    }
};

QTEST_MAIN(TestEntryActions)
#include "tst_entryactions.moc"
