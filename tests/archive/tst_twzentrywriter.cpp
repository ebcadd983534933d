#include "cmbtestfiles.h"
#include "twzcmb.h"
#include "twzentrywriter.h"
#include "twzsafepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using TwzStatus = TwzEntryWriter::TwzStatus;

namespace {

using CmbTestFiles::ReadFile;
using CmbTestFiles::Tree;
using CmbTestFiles::WriteFile;

TwzEntryWriter::TwzFill Bytes(const QByteArray &Content)
{
    return [Content](QIODevice &Out, QString &) {
        if (Out.write(Content) != Content.size())
            throw TwzStreamWriteError(Out.errorString());
        return true;
    };
}

} // namespace

class TstTwzEntryWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void init();
    void cleanup();

    void WritesIntoSubFolders();
    void ReplacesAnExistingFile();
    void ManyAndDeepFolders();
    void FinalNameUntouchedUntilComplete();
    void FailureLeavesNothing_data();
    void FailureLeavesNothing();
    void RefusesUnsafeNames_data();
    void RefusesUnsafeNames();
    void ReplacesSymlinkAtFinalName();
    void BlockedSubFolderFails_data();
    void BlockedSubFolderFails();
    void DirectoryAtFinalNameFails();
    void KeepExisting_data();
    void KeepExisting();
    void SizeLimitIsAWriteError_data();
    void SizeLimitIsAWriteError();
    void DataFileAppearingLater();
    void WritesArchiveEntries();
    void OpenFailsOnMissingFolder();

private:
    QString Dest() const { return FDir->filePath(QStringLiteral("dest")); }
    QString Outside() const { return FDir->filePath(QStringLiteral("outside")); }

    std::unique_ptr<QTemporaryDir> FDir;
    bool OpenWriter(TwzEntryWriter &Writer)
    {
        Writer.SetAnonymousFiles(FAnonymous);
        QString reason;
        const bool opened = Writer.Open(Dest(), &reason);
        if (!opened)
            qWarning("%s", qPrintable(reason));
        return opened;
    }

    mode_t FOldMask = 0;
    bool FAnonymous = true;
};

// Every case runs with anonymous temporary files and with named ones, the
// way taken on file systems without anonymous files.
void TstTwzEntryWriter::initTestCase_data()
{
    QTest::addColumn<bool>("anonymous");
    QTest::newRow("anonymous temporary") << true;
    QTest::newRow("named temporary") << false;
}

void TstTwzEntryWriter::init()
{
    QFETCH_GLOBAL(bool, anonymous);
    FAnonymous = anonymous;
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    QVERIFY(QDir(FDir->path()).mkpath(QStringLiteral("dest")));
    QVERIFY(QDir(FDir->path()).mkpath(QStringLiteral("outside")));
    FOldMask = ::umask(022);
}

void TstTwzEntryWriter::cleanup()
{
    ::umask(FOldMask);
    FDir.reset();
}

void TstTwzEntryWriter::WritesIntoSubFolders()
{
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));

    const TwzEntryWriter::TwzResult first =
        writer.Write(QStringLiteral("a\\b\\c.txt"), Bytes("abc"));
    QVERIFY2(first.Ok(), qPrintable(first.Reason));
    QCOMPARE(first.Path, Dest() + QStringLiteral("/a/b/c.txt"));
    QCOMPARE(first.Directory, Dest() + QStringLiteral("/a/b"));
    // A second entry in a known folder and one in a new sibling folder.
    QVERIFY(writer.Write(QStringLiteral("a/b/d.txt"), Bytes("d")).Ok());
    QVERIFY(writer.Write(QStringLiteral("a\\e\\f.txt"), Bytes("f")).Ok());
    QVERIFY(writer.Write(QStringLiteral("top.txt"), Bytes("")).Ok());

    QCOMPARE(Tree(Dest()),
             QStringList({QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/b/c.txt"),
                          QStringLiteral("a/b/d.txt"), QStringLiteral("a/e"),
                          QStringLiteral("a/e/f.txt"), QStringLiteral("top.txt")}));
    QCOMPARE(ReadFile(first.Path), QByteArray("abc"));
    QCOMPARE(QFileInfo(Dest() + QStringLiteral("/top.txt")).size(), 0);

    // 0666 less the umask: never executable.
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(first.Path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0644));
}

void TstTwzEntryWriter::ReplacesAnExistingFile()
{
    const QString path = Dest() + QStringLiteral("/x.txt");
    QVERIFY(WriteFile(path, "old and longer"));
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    QVERIFY(writer.Write(QStringLiteral("x.txt"), Bytes("new")).Ok());
    QCOMPARE(ReadFile(path), QByteArray("new"));
    QCOMPARE(Tree(Dest()), QStringList{QStringLiteral("x.txt")});
}

void TstTwzEntryWriter::ManyAndDeepFolders()
{
    // More folders than the writer keeps open, and one path deeper than that.
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("f%1\\g\\x.txt").arg(i);
        QVERIFY2(writer.Write(name, Bytes("x")).Ok(), qPrintable(name));
    }
    QString deep;
    for (int i = 0; i < 300; ++i)
        deep += QStringLiteral("d\\");
    const TwzEntryWriter::TwzResult result =
        writer.Write(deep + QStringLiteral("x.txt"), Bytes("deep"));
    QVERIFY2(result.Ok(), qPrintable(result.Reason));
    QCOMPARE(ReadFile(result.Path), QByteArray("deep"));
    QVERIFY(writer.Write(QStringLiteral("f7\\g\\y.txt"), Bytes("y")).Ok());
    QCOMPARE(ReadFile(Dest() + QStringLiteral("/f7/g/y.txt")), QByteArray("y"));
}

void TstTwzEntryWriter::FinalNameUntouchedUntilComplete()
{
    const QString fresh = Dest() + QStringLiteral("/fresh.txt");
    const QString existing = Dest() + QStringLiteral("/existing.txt");
    QVERIFY(WriteFile(existing, "old"));
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));

    bool freshSeen = true;
    QVERIFY(writer
                .Write(QStringLiteral("fresh.txt"),
                       [&](QIODevice &Out, QString &) {
                           Out.write("new");
                           freshSeen = QFileInfo::exists(fresh);
                           return true;
                       })
                .Ok());
    QVERIFY(!freshSeen);
    QCOMPARE(ReadFile(fresh), QByteArray("new"));

    QByteArray during;
    QVERIFY(writer
                .Write(QStringLiteral("existing.txt"),
                       [&](QIODevice &Out, QString &) {
                           Out.write("new");
                           during = ReadFile(existing);
                           return true;
                       })
                .Ok());
    QCOMPARE(during, QByteArray("old"));
    QCOMPARE(ReadFile(existing), QByteArray("new"));
    QCOMPARE(Tree(Dest()),
             QStringList({QStringLiteral("existing.txt"), QStringLiteral("fresh.txt")}));
}

void TstTwzEntryWriter::FailureLeavesNothing_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("throws");
    QTest::addColumn<int>("status");

    QTest::newRow("unreadable, new") << false << false << int(TwzStatus::EntryUnreadable);
    QTest::newRow("unreadable, existing") << true << false << int(TwzStatus::EntryUnreadable);
    QTest::newRow("write error, new") << false << true << int(TwzStatus::WriteError);
    QTest::newRow("write error, existing") << true << true << int(TwzStatus::WriteError);
}

void TstTwzEntryWriter::FailureLeavesNothing()
{
    QFETCH(bool, existing);
    QFETCH(bool, throws);
    QFETCH(int, status);

    const QString path = Dest() + QStringLiteral("/sub/x.txt");
    if (existing) {
        QVERIFY(QDir(Dest()).mkdir(QStringLiteral("sub")));
        QVERIFY(WriteFile(path, "keep me"));
    }
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    // Half the bytes are written before the failure.
    const TwzEntryWriter::TwzResult result =
        writer.Write(QStringLiteral("sub\\x.txt"), [throws](QIODevice &Out, QString &Reason) {
            Out.write("partial");
            if (throws)
                throw TwzStreamWriteError(QStringLiteral("No space left on device"));
            Reason = QStringLiteral("the entry lies beyond the end of the data file");
            return false;
        });
    QCOMPARE(int(result.Status), status);
    QVERIFY(!result.Reason.isEmpty());
    QCOMPARE(result.Path, path);
    if (existing) {
        QCOMPARE(ReadFile(path), QByteArray("keep me"));
        QCOMPARE(Tree(Dest()), QStringList({QStringLiteral("sub"), QStringLiteral("sub/x.txt")}));
    } else {
        QCOMPARE(Tree(Dest()), QStringList{QStringLiteral("sub")});
    }
}

void TstTwzEntryWriter::RefusesUnsafeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << QStringLiteral("..\\outside\\x.txt");
    QTest::newRow("parent inside") << QStringLiteral("a/../../outside/x.txt");
    QTest::newRow("absolute") << QStringLiteral("/tmp/cmb-writer-test-x.txt");
    QTest::newRow("drive") << QStringLiteral("C:\\x.txt");
    QTest::newRow("unc") << QStringLiteral("\\\\srv\\share\\x.txt");
    QTest::newRow("control") << QStringLiteral("a\x01.txt");
}

void TstTwzEntryWriter::RefusesUnsafeNames()
{
    QFETCH(QString, name);
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    bool filled = false;
    const TwzEntryWriter::TwzResult result = writer.Write(name, [&](QIODevice &, QString &) {
        filled = true;
        return true;
    });
    QCOMPARE(result.Status, TwzStatus::UnsafeName);
    QVERIFY(!result.Reason.isEmpty());
    QVERIFY(!filled);
    QVERIFY(Tree(Dest()).isEmpty());
    QVERIFY(Tree(Outside()).isEmpty());
}

void TstTwzEntryWriter::ReplacesSymlinkAtFinalName()
{
    const QString target = Outside() + QStringLiteral("/target.txt");
    QVERIFY(WriteFile(target, "target"));
    const QString link = Dest() + QStringLiteral("/x.txt");
    QVERIFY(QFile::link(target, link));

    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    QVERIFY(writer.Write(QStringLiteral("x.txt"), Bytes("new")).Ok());
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(ReadFile(link), QByteArray("new"));
    QCOMPARE(ReadFile(target), QByteArray("target"));
}

void TstTwzEntryWriter::BlockedSubFolderFails_data()
{
    QTest::addColumn<bool>("symlink");
    QTest::addColumn<QString>("name");
    QTest::newRow("link as folder") << true << QStringLiteral("sub\\x.txt");
    QTest::newRow("link deeper") << true << QStringLiteral("sub\\deeper\\x.txt");
    QTest::newRow("file as folder") << false << QStringLiteral("sub\\x.txt");
}

void TstTwzEntryWriter::BlockedSubFolderFails()
{
    QFETCH(bool, symlink);
    QFETCH(QString, name);
    const QString sub = Dest() + QStringLiteral("/sub");
    if (symlink)
        QVERIFY(QFile::link(Outside(), sub));
    else
        QVERIFY(WriteFile(sub, "a file"));

    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    const TwzEntryWriter::TwzResult result = writer.Write(name, Bytes("x"));
    QCOMPARE(result.Status, TwzStatus::FolderNotCreatable);
    QCOMPARE(result.Directory,
             Dest() + QLatin1Char('/') + TwzSafePath::FromEntryName(name).DirectoryPart());
    QVERIFY(result.Reason.startsWith(QStringLiteral("sub: ")));
    QVERIFY(Tree(Outside()).isEmpty());
    QCOMPARE(Tree(Dest()), QStringList{QStringLiteral("sub")});
}

void TstTwzEntryWriter::DirectoryAtFinalNameFails()
{
    QVERIFY(QDir(Dest()).mkpath(QStringLiteral("x.txt/inner")));
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    const TwzEntryWriter::TwzResult result = writer.Write(QStringLiteral("x.txt"), Bytes("x"));
    QCOMPARE(result.Status, TwzStatus::FileNotCreatable);
    QVERIFY(!result.Reason.isEmpty());
    QCOMPARE(Tree(Dest()), QStringList({QStringLiteral("x.txt"), QStringLiteral("x.txt/inner")}));
}

void TstTwzEntryWriter::KeepExisting_data()
{
    QTest::addColumn<QString>("existing"); // "", "file" or "link"
    QTest::newRow("missing") << QString();
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("link") << QStringLiteral("link");
    QTest::newRow("dangling link") << QStringLiteral("dangling");
}

void TstTwzEntryWriter::KeepExisting()
{
    QFETCH(QString, existing);
    const QString path = Dest() + QStringLiteral("/x.txt");
    const QString target = Outside() + QStringLiteral("/target.txt");
    if (existing == QLatin1String("file"))
        QVERIFY(WriteFile(path, "old"));
    if (existing == QLatin1String("link") || existing == QLatin1String("dangling"))
        QVERIFY(QFile::link(target, path));
    if (existing == QLatin1String("link"))
        QVERIFY(WriteFile(target, "target"));

    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    writer.SetKeepExisting(true);
    const TwzEntryWriter::TwzResult result = writer.Write(QStringLiteral("x.txt"), Bytes("new"));
    if (existing.isEmpty()) {
        QVERIFY(result.Ok());
        QCOMPARE(ReadFile(path), QByteArray("new"));
        return;
    }
    QCOMPARE(result.Status, TwzStatus::Exists);
    QCOMPARE(Tree(Dest()), QStringList{QStringLiteral("x.txt")});
    if (existing == QLatin1String("file"))
        QCOMPARE(ReadFile(path), QByteArray("old"));
    else
        QVERIFY(QFileInfo(path).isSymLink());
    if (existing == QLatin1String("link"))
        QCOMPARE(ReadFile(target), QByteArray("target"));
    if (existing == QLatin1String("dangling"))
        QVERIFY(!QFileInfo::exists(target));
}

void TstTwzEntryWriter::SizeLimitIsAWriteError_data()
{
    // Small entries are written to the handle, large ones copied in the kernel.
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("limit");
    QTest::newRow("small entry") << 32 * 1024 << 16 * 1024;
    QTest::newRow("large entry") << 256 * 1024 << 64 * 1024;
}

void TstTwzEntryWriter::SizeLimitIsAWriteError()
{
    QFETCH(int, size);
    QFETCH(int, limit);
    // A real entry, copied by the archive, against a file size limit.
    QVERIFY(WriteFile(FDir->filePath(QStringLiteral("data.bin")), QByteArray(size, 'z')));
    QVERIFY(WriteFile(FDir->filePath(QStringLiteral("a.cmb")),
                      "[BinaryCombineData]\ndata.bin\n[big.bin]\n0\n" + QByteArray::number(size) +
                          "\n"));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(FDir->filePath(QStringLiteral("a.cmb"))));
    const QString path = Dest() + QStringLiteral("/big.bin");
    QVERIFY(WriteFile(path, "keep me"));

    struct rlimit old;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = rlim_t(limit);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));
    const TwzEntryWriter::TwzResult result = writer.WriteEntry(archive, archive.Items().at(0));

    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(result.Status, TwzStatus::WriteError);
    QVERIFY(!result.Reason.isEmpty());
    QCOMPARE(ReadFile(path), QByteArray("keep me"));
    QCOMPARE(Tree(Dest()), QStringList{QStringLiteral("big.bin")});
}

void TstTwzEntryWriter::WritesArchiveEntries()
{
    // b.txt is listed twice: the first copy lies beyond the data file.
    QVERIFY(WriteFile(FDir->filePath(QStringLiteral("data.bin")), "0123456789"));
    QVERIFY(WriteFile(FDir->filePath(QStringLiteral("a.cmb")), "[BinaryCombineData]\ndata.bin\n"
                                                               "[d\\a.txt]\n0\n4\n"
                                                               "[b.txt]\n8\n100\n"
                                                               "[B.TXT]\n4\n6\n"
                                                               "[gone.txt]\n20\n1\n"));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(FDir->filePath(QStringLiteral("a.cmb"))));
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));

    qint64 progress = -1;
    const TwzEntryWriter::TwzResult entry =
        writer.WriteEntry(archive, archive.Items().at(0), [&](qint64 Done) { progress = Done; });
    QVERIFY2(entry.Ok(), qPrintable(entry.Reason));
    QCOMPARE(ReadFile(Dest() + QStringLiteral("/d/a.txt")), QByteArray("0123"));
    QCOMPARE(progress, 4);

    // By name, as the window looks entries up: the first readable one wins.
    progress = -1;
    QVERIFY(
        writer.WriteItem(archive, QStringLiteral("b.txt"), [&](qint64 Done) { progress = Done; })
            .Ok());
    QCOMPARE(ReadFile(Dest() + QStringLiteral("/b.txt")), QByteArray("456789"));
    QCOMPARE(progress, 6);

    const TwzEntryWriter::TwzResult unreadable =
        writer.WriteItem(archive, QStringLiteral("gone.txt"));
    QCOMPARE(unreadable.Status, TwzStatus::EntryUnreadable);
    QVERIFY(!unreadable.Reason.isEmpty());
    const TwzEntryWriter::TwzResult missing = writer.WriteItem(archive, QStringLiteral("none.txt"));
    QCOMPARE(missing.Status, TwzStatus::EntryUnreadable);
    QCOMPARE(Tree(Dest()), QStringList({QStringLiteral("b.txt"), QStringLiteral("d"),
                                        QStringLiteral("d/a.txt")}));
}

void TstTwzEntryWriter::DataFileAppearingLater()
{
    // The writer keeps the data file open, but a missing one is looked for
    // again with the next entry.
    QVERIFY(WriteFile(FDir->filePath(QStringLiteral("a.cmb")),
                      "[BinaryCombineData]\ndata.bin\n[a.txt]\n0\n2\n[b.txt]\n2\n2\n"));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(FDir->filePath(QStringLiteral("a.cmb"))));
    TwzEntryWriter writer;
    QVERIFY(OpenWriter(writer));

    const TwzEntryWriter::TwzResult missing = writer.WriteEntry(archive, archive.Items().at(0));
    QCOMPARE(missing.Status, TwzStatus::EntryUnreadable);
    QVERIFY2(missing.Reason.contains(QStringLiteral("data.bin")), qPrintable(missing.Reason));
    QVERIFY(Tree(Dest()).isEmpty());

    QVERIFY(WriteFile(FDir->filePath(QStringLiteral("data.bin")), "aabb"));
    QVERIFY(writer.WriteEntry(archive, archive.Items().at(0)).Ok());
    QVERIFY(writer.WriteEntry(archive, archive.Items().at(1)).Ok());
    QCOMPARE(ReadFile(Dest() + QStringLiteral("/a.txt")), QByteArray("aa"));
    QCOMPARE(ReadFile(Dest() + QStringLiteral("/b.txt")), QByteArray("bb"));
}

void TstTwzEntryWriter::OpenFailsOnMissingFolder()
{
    TwzEntryWriter writer;
    QString reason;
    QVERIFY(!writer.Open(FDir->filePath(QStringLiteral("missing")), &reason));
    QVERIFY(!reason.isEmpty());
    const TwzEntryWriter::TwzResult result = writer.Write(QStringLiteral("x.txt"), Bytes("x"));
    QCOMPARE(result.Status, TwzStatus::FolderNotCreatable);
    QVERIFY(!QFileInfo::exists(FDir->filePath(QStringLiteral("missing"))));
}

QTEST_GUILESS_MAIN(TstTwzEntryWriter)
#include "tst_twzentrywriter.moc"
