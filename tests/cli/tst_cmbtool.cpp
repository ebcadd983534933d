#include "cmbtestfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using CmbTestFiles::ReadFile;
using CmbTestFiles::WriteFile;

// Relative path -> content of every file below Folder.
QMap<QString, QByteArray> Files(const QString &Folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(Folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(Folder).relativeFilePath(path), ReadFile(path));
    }
    return files;
}

// Builds an index and its data file from (name, content) pairs; an entry
// with a null content gets an offset beyond the data file's end.
void MakeArchive(const QString &IndexPath, const QList<QPair<QString, QByteArray>> &Entries)
{
    const QString dataName = QFileInfo(IndexPath).completeBaseName() + QStringLiteral(".bin");
    QByteArray data;
    QByteArray index = "[BinaryCombineData]\r\n" + dataName.toUtf8() + "\r\n\r\n";
    for (const auto &[name, content] : Entries) {
        const qint64 offset = content.isNull() ? 1 << 20 : data.size();
        const qint64 size = content.isNull() ? 10 : content.size();
        index += "[" + name.toUtf8() + "]\r\n" + QByteArray::number(offset) + "\r\n" +
                 QByteArray::number(size) + "\r\n\r\n";
        data += content;
    }
    QVERIFY(WriteFile(IndexPath, index));
    QVERIFY(WriteFile(QFileInfo(IndexPath).absolutePath() + QLatin1Char('/') + dataName, data));
}

QByteArray BinaryBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += char(i * 7 % 256);
    return bytes;
}

using TFileMap = QMap<QString, QByteArray>;

} // namespace

class TstCmbTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void Help_data();
    void Help();
    void Version();
    void UsageErrors_data();
    void UsageErrors();
    void List_data();
    void List();
    void ListCp932Index_data();
    void ListCp932Index();
    void ListToFullDisk();
    void Extract_data();
    void Extract();
    void ExtractKeepExisting_data();
    void ExtractKeepExisting();
    void ExtractFailingEntry();
    void ExtractRefusesUnsafeNames();
    void BadIndex_data();
    void BadIndex();
    void Cat_data();
    void Cat();
    void CatToFile();
    void Verify_data();
    void Verify();

private:
    struct TRun
    {
        int Code = -1;
        QByteArray Out;
        QByteArray Err;
    };
    TRun Run(const QStringList &Arguments, const QString &StdoutFile = QString(),
             const QString &WorkingDirectory = QString());
    QString Path(const QString &Name) const { return FDir->filePath(Name); }

    std::unique_ptr<QTemporaryDir> FDir;
};

TstCmbTool::TRun TstCmbTool::Run(const QStringList &Arguments, const QString &StdoutFile,
                                 const QString &WorkingDirectory)
{
    QProcess process;
    process.setWorkingDirectory(WorkingDirectory.isEmpty() ? FDir->path() : WorkingDirectory);
    if (!StdoutFile.isEmpty())
        process.setStandardOutputFile(StdoutFile);
    process.start(QStringLiteral(CMBTOOL_PATH), Arguments);
    TRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.Code = process.exitCode();
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

void TstCmbTool::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("out")));
    // The main fixture: folders, mixed case, a Japanese name, binary bytes.
    MakeArchive(Path(QStringLiteral("a.cmb")), {{QStringLiteral("readme.txt"), "hello\n"},
                                                {QStringLiteral("docs\\Guide.TXT"), "guide"},
                                                {QStringLiteral("img\\a.png"), BinaryBytes()},
                                                {QStringLiteral("img\\sub\\b.png"), "b"},
                                                {QStringLiteral("ソフト\\表紙.txt"), "表紙"},
                                                {QStringLiteral("empty.dat"), ""}});
}

void TstCmbTool::cleanup()
{
    FDir.reset();
}

void TstCmbTool::Help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")}
                            << QStringLiteral("Usage: cmbtool COMMAND");
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")}
                        << QStringLiteral("Usage: cmbtool COMMAND");
    QTest::newRow("list") << QStringList{QStringLiteral("list"), QStringLiteral("--help")}
                          << QStringLiteral("Usage: cmbtool list [options] INDEX");
    QTest::newRow("extract") << QStringList{QStringLiteral("extract"), QStringLiteral("--help")}
                             << QStringLiteral("Usage: cmbtool extract [options] INDEX [NAME...]");
    QTest::newRow("cat") << QStringList{QStringLiteral("cat"), QStringLiteral("-h")}
                         << QStringLiteral("Usage: cmbtool cat [options] INDEX NAME");
    QTest::newRow("verify") << QStringList{QStringLiteral("verify"), QStringLiteral("--help")}
                            << QStringLiteral("Usage: cmbtool verify [options] INDEX");
}

void TstCmbTool::Help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    const TRun run = Run(arguments);
    QCOMPARE(run.Code, 0);
    QVERIFY2(run.Out.startsWith(usage.toUtf8()), run.Out.constData());
    QVERIFY(run.Err.isEmpty());
}

void TstCmbTool::Version()
{
    const TRun run = Run({QStringLiteral("--version")});
    QCOMPARE(run.Code, 0);
    QCOMPARE(run.Out, QByteArray("cmbtool " CMBVIEWER_VERSION "\n"));
}

void TstCmbTool::UsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command")
        << QStringList{QStringLiteral("frob"), QStringLiteral("a.cmb")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frob")};
    QTest::newRow("no index") << QStringList{QStringLiteral("list")};
    QTest::newRow("bad option") << QStringList{QStringLiteral("list"), QStringLiteral("--bogus"),
                                               QStringLiteral("a.cmb")};
    QTest::newRow("extra argument")
        << QStringList{QStringLiteral("verify"), QStringLiteral("a.cmb"), QStringLiteral("x")};
    QTest::newRow("cat without name")
        << QStringList{QStringLiteral("cat"), QStringLiteral("a.cmb")};
    QTest::newRow("bad encoding") << QStringList{
        QStringLiteral("list"), QStringLiteral("--encoding=latin1"), QStringLiteral("a.cmb")};
    QTest::newRow("-C without value")
        << QStringList{QStringLiteral("extract"), QStringLiteral("-C")};
    QTest::newRow("missing folder")
        << QStringList{QStringLiteral("extract"), QStringLiteral("-C"), QStringLiteral("nowhere"),
                       QStringLiteral("a.cmb")};
}

void TstCmbTool::UsageErrors()
{
    QFETCH(QStringList, arguments);
    const TRun run = Run(arguments);
    QCOMPARE(run.Code, 2);
    QVERIFY(run.Out.isEmpty());
    QVERIFY2(run.Err.startsWith("cmbtool: "), run.Err.constData());
    QVERIFY(Files(Path(QStringLiteral("out"))).isEmpty());
}

void TstCmbTool::List_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("names") << QStringList{QStringLiteral("list"), QStringLiteral("a.cmb")}
                           << QByteArray("readme.txt\n"
                                         "docs\\Guide.TXT\n"
                                         "img\\a.png\n"
                                         "img\\sub\\b.png\n"
                                         "ソフト\\表紙.txt\n"
                                         "empty.dat\n");
    const QByteArray longList = "0\t6\treadme.txt\n"
                                "6\t5\tdocs\\Guide.TXT\n"
                                "11\t70000\timg\\a.png\n"
                                "70011\t1\timg\\sub\\b.png\n"
                                "70012\t6\tソフト\\表紙.txt\n"
                                "70018\t0\tempty.dat\n";
    QTest::newRow("--long") << QStringList{QStringLiteral("list"), QStringLiteral("--long"),
                                           QStringLiteral("a.cmb")}
                            << longList;
    QTest::newRow("-l after index")
        << QStringList{QStringLiteral("list"), QStringLiteral("a.cmb"), QStringLiteral("-l")}
        << longList;
}

void TstCmbTool::List()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const TRun run = Run(arguments);
    QCOMPARE(run.Code, 0);
    QCOMPARE(run.Out, expected);
    QVERIFY(run.Err.isEmpty());
}

void TstCmbTool::ListCp932Index_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::newRow("auto") << QString();
    QTest::newRow("cp932") << QStringLiteral("--encoding=cp932");
}

void TstCmbTool::ListCp932Index()
{
    QFETCH(QString, encoding);
    // ソフト\表紙.txt in Shift-JIS: the second bytes of ソ and 表 are 0x5C.
    QVERIFY(WriteFile(Path(QStringLiteral("sjis.cmb")),
                      "[BinaryCombineData]\r\nsjis.bin\r\n\r\n"
                      "[\x83\x5c\x83\x74\x83\x67\\\x95\x5c\x8e\x86.txt]\r\n0\r\n2\r\n"));
    QVERIFY(WriteFile(Path(QStringLiteral("sjis.bin")), "ok"));
    QStringList arguments{QStringLiteral("list")};
    if (!encoding.isEmpty())
        arguments << encoding;
    const TRun run = Run(arguments << QStringLiteral("sjis.cmb"));
    QCOMPARE(run.Code, 0);
    QCOMPARE(QString::fromUtf8(run.Out), QStringLiteral("ソフト\\表紙.txt\n"));
}

void TstCmbTool::ListToFullDisk()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full");
    const TRun run =
        Run({QStringLiteral("list"), QStringLiteral("a.cmb")}, QStringLiteral("/dev/full"));
    QCOMPARE(run.Code, 1);
    QVERIFY2(run.Err.startsWith("cmbtool: standard output: "), run.Err.constData());
}

void TstCmbTool::Extract_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");

    const QStringList all{QStringLiteral("docs/Guide.TXT"), QStringLiteral("empty.dat"),
                          QStringLiteral("img/a.png"),      QStringLiteral("img/sub/b.png"),
                          QStringLiteral("readme.txt"),     QStringLiteral("ソフト/表紙.txt")};
    QTest::newRow("all") << QStringList() << all;
    QTest::newRow("by name") << QStringList{QStringLiteral("readme.txt")}
                             << QStringList{QStringLiteral("readme.txt")};
    QTest::newRow("case folded") << QStringList{QStringLiteral("DOCS\\guide.txt")}
                                 << QStringList{QStringLiteral("docs/Guide.TXT")};
    QTest::newRow("slash separator") << QStringList{QStringLiteral("docs/Guide.TXT")}
                                     << QStringList{QStringLiteral("docs/Guide.TXT")};
    QTest::newRow("star") << QStringList{QStringLiteral("img\\*")}
                          << QStringList{QStringLiteral("img/a.png"),
                                         QStringLiteral("img/sub/b.png")};
    QTest::newRow("star across folders")
        << QStringList{QStringLiteral("*.PNG")}
        << QStringList{QStringLiteral("img/a.png"), QStringLiteral("img/sub/b.png")};
    QTest::newRow("question mark")
        << QStringList{QStringLiteral("img/?.png")} << QStringList{QStringLiteral("img/a.png")};
    QTest::newRow("japanese wildcard") << QStringList{QStringLiteral("ソフト\\??.txt")}
                                       << QStringList{QStringLiteral("ソフト/表紙.txt")};
    QTest::newRow("several, overlapping")
        << QStringList{QStringLiteral("readme.*"), QStringLiteral("README.TXT"),
                       QStringLiteral("empty.dat")}
        << QStringList{QStringLiteral("empty.dat"), QStringLiteral("readme.txt")};
}

void TstCmbTool::Extract()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    const TRun run = Run(QStringList{QStringLiteral("extract"), QStringLiteral("-C"),
                                     QStringLiteral("out"), QStringLiteral("a.cmb")}
                         << names);
    QCOMPARE(run.Code, 0);
    QVERIFY2(run.Err.isEmpty(), run.Err.constData());
    QVERIFY(run.Out.isEmpty());
    const TFileMap files = Files(Path(QStringLiteral("out")));
    QCOMPARE(files.keys(), expected);
    if (files.contains(QStringLiteral("img/a.png")))
        QCOMPARE(files.value(QStringLiteral("img/a.png")), BinaryBytes());
    if (files.contains(QStringLiteral("ソフト/表紙.txt")))
        QCOMPARE(files.value(QStringLiteral("ソフト/表紙.txt")), QStringLiteral("表紙").toUtf8());
}

void TstCmbTool::ExtractKeepExisting_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("replace") << false;
    QTest::newRow("-k") << true;
}

void TstCmbTool::ExtractKeepExisting()
{
    QFETCH(bool, keep);
    QVERIFY(WriteFile(Path(QStringLiteral("out/readme.txt")), "old"));
    QStringList arguments{QStringLiteral("extract")};
    if (keep)
        arguments << QStringLiteral("-k");
    // Without -C the destination is the current folder.
    const TRun run = Run(arguments << QStringLiteral("../a.cmb") << QStringLiteral("*.txt"),
                         QString(), Path(QStringLiteral("out")));
    QCOMPARE(run.Code, keep ? 1 : 0);
    const TFileMap files = Files(Path(QStringLiteral("out")));
    QCOMPARE(files.value(QStringLiteral("readme.txt")),
             keep ? QByteArray("old") : QByteArray("hello\n"));
    QCOMPARE(files.value(QStringLiteral("ソフト/表紙.txt")), QStringLiteral("表紙").toUtf8());
    if (keep) {
        QCOMPARE(run.Err.count('\n'), 1);
        QVERIFY2(run.Err.startsWith("cmbtool: readme.txt: "), run.Err.constData());
    }
}

void TstCmbTool::ExtractFailingEntry()
{
    MakeArchive(Path(QStringLiteral("bad.cmb")), {{QStringLiteral("first.txt"), "1"},
                                                  {QStringLiteral("broken.txt"), QByteArray()},
                                                  {QStringLiteral("third.txt"), "3"}});
    const TRun run =
        Run({QStringLiteral("extract"), QStringLiteral("-C"), QStringLiteral("out"),
             QStringLiteral("bad.cmb"), QStringLiteral("*"), QStringLiteral("absent")});
    QCOMPARE(run.Code, 1);
    QCOMPARE(Files(Path(QStringLiteral("out"))),
             TFileMap({{QStringLiteral("first.txt"), "1"}, {QStringLiteral("third.txt"), "3"}}));
    const QList<QByteArray> lines = run.Err.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("cmbtool: broken.txt: "), lines[0].constData());
    QVERIFY2(lines[1].startsWith("cmbtool: absent: "), lines[1].constData());
}

void TstCmbTool::ExtractRefusesUnsafeNames()
{
    QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("out/inner")));
    MakeArchive(Path(QStringLiteral("evil.cmb")),
                {{QStringLiteral("..\\escaped.txt"), "x"},
                 {QStringLiteral("/tmp/cmbtool-test-escaped.txt"), "x"},
                 {QStringLiteral("C:\\escaped.txt"), "x"},
                 {QStringLiteral("fine.txt"), "ok"}});
    const TRun run = Run({QStringLiteral("extract"), QStringLiteral("-C"),
                          QStringLiteral("out/inner"), QStringLiteral("evil.cmb")});
    QCOMPARE(run.Code, 1);
    QCOMPARE(Files(Path(QStringLiteral("out"))),
             TFileMap({{QStringLiteral("inner/fine.txt"), "ok"}}));
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/cmbtool-test-escaped.txt")));
    QCOMPARE(run.Err.count('\n'), 3);
    QVERIFY2(run.Err.startsWith("cmbtool: ..\\escaped.txt: refused: "), run.Err.constData());
}

void TstCmbTool::BadIndex_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QString>("message");
    const QByteArray badNumber = "[BinaryCombineData]\r\nx.bin\r\n\r\n[a.txt]\r\n12z\r\n1\r\n";
    for (const char *command : {"list", "extract", "cat", "verify"}) {
        QTest::addRow("%s, missing", command)
            << QString::fromLatin1(command) << QByteArray() << QStringLiteral("は開けません");
        QTest::addRow("%s, bad number", command) << QString::fromLatin1(command) << badNumber
                                                 << QStringLiteral("'12z' は整数ではありません");
    }
}

void TstCmbTool::BadIndex()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, index);
    QFETCH(QString, message);
    if (!index.isNull())
        QVERIFY(WriteFile(Path(QStringLiteral("x.cmb")), index));
    QStringList arguments{command, QStringLiteral("x.cmb")};
    if (command == QLatin1String("extract"))
        arguments = QStringList{command, QStringLiteral("-C"), QStringLiteral("out"),
                                QStringLiteral("x.cmb")};
    if (command == QLatin1String("cat"))
        arguments << QStringLiteral("a.txt");
    const TRun run = Run(arguments);
    QCOMPARE(run.Code, 2);
    QVERIFY(run.Out.isEmpty());
    QVERIFY2(run.Err.startsWith("cmbtool: "), run.Err.constData());
    QVERIFY2(QString::fromUtf8(run.Err).contains(message), run.Err.constData());
    QCOMPARE(run.Err.count('\n'), 1);
}

void TstCmbTool::Cat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QStringLiteral("readme.txt") << 0 << QByteArray("hello\n");
    QTest::newRow("case folded") << QStringLiteral("DOCS\\GUIDE.txt") << 0 << QByteArray("guide");
    QTest::newRow("slash") << QStringLiteral("docs/Guide.TXT") << 0 << QByteArray("guide");
    QTest::newRow("empty") << QStringLiteral("empty.dat") << 0 << QByteArray("");
    QTest::newRow("no wildcards") << QStringLiteral("readme.*") << 1 << QByteArray();
    QTest::newRow("missing") << QStringLiteral("none.txt") << 1 << QByteArray();
}

void TstCmbTool::Cat()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QByteArray, expected);
    const TRun run = Run({QStringLiteral("cat"), QStringLiteral("a.cmb"), name});
    QCOMPARE(run.Code, code);
    QCOMPARE(run.Out, expected);
    if (code == 0)
        QVERIFY(run.Err.isEmpty());
    else
        QVERIFY2(run.Err.startsWith("cmbtool: " + name.toUtf8() + ": "), run.Err.constData());
}

void TstCmbTool::CatToFile()
{
    // The first readable entry of the name wins, as in the window.
    MakeArchive(Path(QStringLiteral("dup.cmb")), {{QStringLiteral("x.bin"), QByteArray()},
                                                  {QStringLiteral("X.BIN"), BinaryBytes()}});
    const QString target = Path(QStringLiteral("copy.bin"));
    const TRun run =
        Run({QStringLiteral("cat"), QStringLiteral("dup.cmb"), QStringLiteral("x.bin")}, target);
    QCOMPARE(run.Code, 0);
    QVERIFY(run.Err.isEmpty());
    QCOMPARE(ReadFile(target), BinaryBytes());
}

void TstCmbTool::Verify_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("dataMissing");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("summary");
    QTest::addColumn<QStringList>("problems");
    QTest::newRow("good") << false << false << 0 << QByteArray("v.cmb: 2 entries, no problems\n")
                          << QStringList();
    QTest::newRow("damaged") << true << false << 1 << QByteArray("v.cmb: 5 entries, 3 problems\n")
                             << QStringList{QStringLiteral("cmbtool: far.txt: "),
                                            QStringLiteral("cmbtool: ..\\up.txt: "),
                                            QStringLiteral("cmbtool: tail.txt: ")};
    QTest::newRow("data file missing")
        << false << true << 1 << QByteArray("v.cmb: 2 entries, 1 problem\n")
        << QStringList{QStringLiteral("cmbtool: ")};
}

void TstCmbTool::Verify()
{
    QFETCH(bool, damaged);
    QFETCH(bool, dataMissing);
    QFETCH(int, code);
    QFETCH(QByteArray, summary);
    QFETCH(QStringList, problems);
    QList<QPair<QString, QByteArray>> entries{{QStringLiteral("a.txt"), "aaa"},
                                              {QStringLiteral("b\\c.txt"), "c"}};
    if (damaged)
        entries << qMakePair(QStringLiteral("far.txt"), QByteArray())
                << qMakePair(QStringLiteral("..\\up.txt"), QByteArray("u"))
                << qMakePair(QStringLiteral("tail.txt"), QByteArray("t"));
    MakeArchive(Path(QStringLiteral("v.cmb")), entries);
    if (damaged) // cut the data file so that the last entry runs past its end
        QVERIFY(QFile::resize(Path(QStringLiteral("v.bin")), 5));
    if (dataMissing)
        QVERIFY(QFile::remove(Path(QStringLiteral("v.bin"))));

    const TRun run = Run({QStringLiteral("verify"), QStringLiteral("v.cmb")});
    QCOMPARE(run.Code, code);
    QCOMPARE(run.Out, summary);
    const QStringList lines =
        QString::fromUtf8(run.Err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), problems.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(lines[i].startsWith(problems[i]), qPrintable(lines[i]));
}

QTEST_GUILESS_MAIN(TstCmbTool)
#include "cmbtestfiles.h"
#include "tst_cmbtool.moc"
