#include "tentrylistmodel.h"
#include "tfakedesktopseam.h"
#include "tfrmmain.h"
#include "tviewerfixture.h"
#include "tviewerprogram.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTViewerProgram : public QObject
{
    Q_OBJECT

private slots:
    void ParseArguments_data()
    {
        QTest::addColumn<QStringList>("Arguments");
        QTest::addColumn<bool>("Starts");
        QTest::addColumn<int>("ExitCode");
        QTest::addColumn<QString>("IndexFile");

        QTest::newRow("none") << QStringList{u"cmbviewer"_s} << true << 0 << QString();
        QTest::newRow("an index") << QStringList{u"cmbviewer"_s, u"a.cmb"_s} << true << 0
                                  << u"a.cmb"_s;
        QTest::newRow("after --") << QStringList{u"cmbviewer"_s, u"--"_s, u"-odd.cmb"_s} << true
                                  << 0 << "-odd.cmb";
        QTest::newRow("two indexes")
            << QStringList{u"cmbviewer"_s, u"a.cmb"_s, u"b.cmb"_s} << false << 2 << QString();
        QTest::newRow("unknown option")
            << QStringList{u"cmbviewer"_s, u"--frobnicate"_s} << false << 2 << QString();
        QTest::newRow("version") << QStringList{u"cmbviewer"_s, u"--version"_s} << false << 0
                                 << QString();
    }
    void ParseArguments()
    {
        QFETCH(QStringList, Arguments);
        QFETCH(bool, Starts);
        QFETCH(int, ExitCode);
        QFETCH(QString, IndexFile);
        TFakeDesktopSeam Seam;
        TViewerProgram Program(Seam);
        QCOMPARE(Program.ParseArguments(Arguments), Starts);
        QCOMPARE(Program.ExitCode(), ExitCode);
        QCOMPARE(Program.IndexFile(),
                 IndexFile.isEmpty() ? QString() : QDir::current().absoluteFilePath(IndexFile));
    }

    void StartsEmptyWithoutAnIndex()
    {
        TFakeDesktopSeam Seam;
        TViewerProgram Program(Seam);
        QVERIFY(Program.ParseArguments({QStringLiteral("cmbviewer")}));
        TfrmMain *Window = Program.Start();
        QVERIFY(Window);
        QVERIFY(Window->isVisible());
        QCOMPARE(Window->windowTitle(), QStringLiteral("cmbViewer"));
        QCOMPARE(Window->EntryModel()->rowCount(), 0);
        QVERIFY(Seam.Calls.isEmpty());
    }

    void OpensTheIndexNamedOnTheCommandLine()
    {
        QTemporaryDir Dir;
        const QString Path =
            WriteArchive(Dir.path(), QStringLiteral("start.cmb"),
                         {{QStringLiteral("x.txt"), "X"}, {QStringLiteral("y.txt"), "Y"}});
        TFakeDesktopSeam Seam;
        TViewerProgram Program(Seam);
        QVERIFY(Program.ParseArguments({QStringLiteral("cmbviewer"), Path}));
        TfrmMain *Window = Program.Start();
        QVERIFY(Window);
        QCOMPARE(Window->EntryModel()->stringList(), QStringList({u"x.txt"_s, u"y.txt"_s}));
        QCOMPARE(Window->windowTitle(), Path);
        QVERIFY(Seam.Calls.isEmpty());
    }

    void AMissingIndexOnTheCommandLineIsReported()
    {
        QTemporaryDir Dir;
        const QString Path = Dir.filePath(QStringLiteral("absent.cmb"));
        TFakeDesktopSeam Seam;
        TViewerProgram Program(Seam);
        QVERIFY(Program.ParseArguments({QStringLiteral("cmbviewer"), Path}));
        TfrmMain *Window = Program.Start();
        QVERIFY(Window);
        QCOMPARE(Seam.Errors(), QStringList{QStringLiteral("ファイル %1 は開けません.").arg(Path)});
        QCOMPARE(Window->windowTitle(), QStringLiteral("cmbViewer"));
        QCOMPARE(Window->EntryModel()->rowCount(), 0);
    }
};

QTEST_MAIN(TestTViewerProgram)
#include "tst_tviewerprogram.moc"
