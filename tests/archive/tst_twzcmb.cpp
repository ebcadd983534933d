// The archive reader: loading, listing and copying entries out.

#include "cmbfixture.h"
#include "twzcmb.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace CmbFixture;

namespace {

// Accepts Limit bytes, then refuses every write, as a full disk does.
class TRefusingDevice : public QIODevice
{
public:
    explicit TRefusingDevice(qint64 Limit) : FLimit(Limit) {}

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 Length) override
    {
        if (FWritten + Length > FLimit) {
            setErrorString(QStringLiteral("no space left"));
            return -1;
        }
        FWritten += Length;
        return Length;
    }

private:
    qint64 FLimit;
    qint64 FWritten = 0;
};

// An open descriptor holding an flock() on a file while it lives.
class TFileLock
{
public:
    TFileLock(const QString &FileName, int Operation)
        : FHandle(::open(QFile::encodeName(FileName).constData(), O_RDONLY | O_CLOEXEC))
    {
        FLocked = FHandle >= 0 && ::flock(FHandle, Operation | LOCK_NB) == 0;
    }
    ~TFileLock()
    {
        if (FHandle >= 0)
            ::close(FHandle);
    }
    bool Locked() const { return FLocked; }

private:
    int FHandle;
    bool FLocked = false;
};

QByteArray Extracted(const TwzCMB &Archive, const QString &Name)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    if (!Archive.ExtractItem(buffer, Name))
        return "<failed>";
    return buffer.data();
}

} // namespace

class TestTwzCMB : public QObject
{
    Q_OBJECT

private slots:
    void freshArchive();
    void getItemNamesAppendsInOrder();
    void nameComparison_data();
    void nameComparison();
    void duplicateNamesFindTheFirst();
    void unreadableEntryFallsThroughToEqualName();
    void extract_data();
    void extract();
    void failedRead_data();
    void failedRead();
    void writeLockedDataFile();
    void dataFileClosedAfterRead();
    void streamRefusesBytes_data();
    void streamRefusesBytes();
    void fileSizeLimitReached();
    void progressReported();
    void sequentialStream();
    void reloadReplaces();
    void missingIndexKeepsPreviousState();
    void failedLoadKeepsPreviousState_data();
    void failedLoadKeepsPreviousState();
    void unreadableIndex_data();
    void unreadableIndex();
    void relativeIndexPath();
};

void TestTwzCMB::freshArchive()
{
    const TwzCMB archive;
    QStringList names{QStringLiteral("kept")};
    QCOMPARE(archive.GetItemNames(names), 0);
    QCOMPARE(names, QStringList{QStringLiteral("kept")});
    QVERIFY(archive.DataFileName().isEmpty());
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QVERIFY(!archive.ExtractItem(buffer, QStringLiteral("a")));
    QCOMPARE(buffer.size(), 0);
}

void TestTwzCMB::getItemNamesAppendsInOrder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"z", 0, 0}, {"a", 0, 0}, {"m", 0, 0}})));
    QStringList names{QStringLiteral("kept")};
    QCOMPARE(archive.GetItemNames(names), 3);
    QCOMPARE(names, (QStringList{QStringLiteral("kept"), QStringLiteral("z"), QStringLiteral("a"),
                                 QStringLiteral("m")}));
}

void TestTwzCMB::nameComparison_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");

    auto row = [](const char *tag, const QString &entry, const QString &asked, bool found) {
        QTest::newRow(tag) << entry << asked << found;
    };
    row("same", QStringLiteral("a.png"), QStringLiteral("a.png"), true);
    row("ascii case", QStringLiteral("a.png"), QStringLiteral("A.PNG"), true);
    row("latin case", QStringLiteral("ä.txt"), QStringLiteral("Ä.TXT"), true);
    row("cyrillic case", QStringLiteral("файл"), QStringLiteral("ФАЙЛ"), true);
    row("full-width case", QStringLiteral("ａ.txt"), QStringLiteral("Ａ.txt"), true);
    row("greek case", QStringLiteral("λόγος"), QStringLiteral("ΛΌΓΟΣ"), true);
    row("case beyond the BMP", QStringLiteral("\U00010428.txt"), QStringLiteral("\U00010400.txt"),
        true);
    row("kanji among ascii", QStringLiteral("表A.txt"), QStringLiteral("表a.TXT"), true);
    row("width kept", QStringLiteral("ａ.txt"), QStringLiteral("a.txt"), false);
    row("kana kept", QStringLiteral("あ.txt"), QStringLiteral("ア.txt"), false);
    row("half-width kana kept", QStringLiteral("ｱ.txt"), QStringLiteral("ア.txt"), false);
    row("no prefix match", QStringLiteral("a.png"), QStringLiteral("a.pn"), false);
    row("no longer match", QStringLiteral("a.png"), QStringLiteral("a.png "), false);
    row("separators differ", QStringLiteral("d\\a.txt"), QStringLiteral("d/a.txt"), false);
    row("empty name", QString(), QString(), true);
}

void TestTwzCMB::nameComparison()
{
    QFETCH(QString, entry);
    QFETCH(QString, asked);
    QFETCH(bool, found);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), "0123456789");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"other", 0, 1}, {entry.toUtf8(), 2, 3}})));
    QCOMPARE(Extracted(archive, asked), found ? QByteArray("234") : QByteArray("<failed>"));
}

void TestTwzCMB::duplicateNamesFindTheFirst()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), "0123456789");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"a.png", 0, 2}, {"A.PNG", 5, 3}})));
    QStringList names;
    QCOMPARE(archive.GetItemNames(names), 2);
    QCOMPARE(names, (QStringList{QStringLiteral("a.png"), QStringLiteral("A.PNG")}));
    QCOMPARE(Extracted(archive, QStringLiteral("a.png")), QByteArray("01"));
    QCOMPARE(Extracted(archive, QStringLiteral("A.PNG")), QByteArray("01"));
    QCOMPARE(archive.FindItem(QStringLiteral("A.png")), 0);
    QCOMPARE(archive.NextItemOfSameName(0), 1);
    QCOMPARE(archive.NextItemOfSameName(1), -1);
}

void TestTwzCMB::unreadableEntryFallsThroughToEqualName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), "0123456789");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(
        dir,
        {{"a.txt", 20, 1}, {"b.txt", 0, 1}, {"A.txt", -1, 2}, {"A.TXT", 7, 3}, {"a.TXT", 0, 1}})));
    QCOMPARE(Extracted(archive, QStringLiteral("a.txt")), QByteArray("789"));

    // When none can be read, the reason of the last one tried is given.
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"a.txt", 0, 11}, {"A.TXT", 20, 1}})));
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QString reason;
    QVERIFY(!archive.ExtractItem(buffer, QStringLiteral("a.txt"), &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(buffer.size(), 0);
}

void TestTwzCMB::extract_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("size");

    // The data file is 3 MiB and a bit, so long entries take several chunks.
    QTest::newRow("first byte") << qint64(0) << qint64(1);
    QTest::newRow("small inside") << qint64(1000) << qint64(77);
    QTest::newRow("size 0") << qint64(5) << qint64(0);
    QTest::newRow("size 0 at the end") << qint64(3 * 1048576 + 17) << qint64(0);
    QTest::newRow("last byte") << qint64(3 * 1048576 + 16) << qint64(1);
    QTest::newRow("several chunks") << qint64(3) << qint64(2 * 1048576 + 99);
    QTest::newRow("whole file") << qint64(0) << qint64(3 * 1048576 + 17);
}

// A buffer and a file (which the kernel may fill directly) receive the same
// bytes at their current position, and are left at position 0.
void TestTwzCMB::extract()
{
    QFETCH(qint64, offset);
    QFETCH(qint64, size);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray data = Pattern(3 * 1048576 + 17);
    WriteFile(dir, QStringLiteral("data.bin"), data);
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", offset, size}})));
    const QByteArray prefix = "prefix";
    const QByteArray expected = prefix + data.mid(offset, size);

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    buffer.write(prefix);
    QVERIFY(archive.ExtractItem(buffer, QStringLiteral("e")));
    QCOMPARE(buffer.pos(), 0);
    QVERIFY(buffer.data() == expected);

    QFile file(dir.filePath(QStringLiteral("out")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.write(prefix);
    QVERIFY(archive.ExtractItem(file, QStringLiteral("e")));
    QCOMPARE(file.pos(), 0);
    QVERIFY(file.readAll() == expected);
    file.close();
    QCOMPARE(file.size(), expected.size());

    // A file opened for writing only takes the same path.
    QFile writeOnly(dir.filePath(QStringLiteral("out2")));
    QVERIFY(writeOnly.open(QIODevice::WriteOnly));
    QVERIFY(archive.ExtractItem(writeOnly, QStringLiteral("e")));
    QCOMPARE(writeOnly.pos(), 0);
    writeOnly.close();
    QVERIFY(writeOnly.open(QIODevice::ReadOnly));
    QVERIFY(writeOnly.readAll() == data.mid(offset, size));

    // The kernel refuses to copy into a file opened for appending.
    QFile appended(dir.filePath(QStringLiteral("out3")));
    QVERIFY(appended.open(QIODevice::WriteOnly | QIODevice::Append));
    appended.write(prefix);
    QVERIFY(archive.ExtractItem(appended, QStringLiteral("e")));
    appended.close();
    QVERIFY(appended.open(QIODevice::ReadOnly));
    QVERIFY(appended.readAll() == expected);
}

void TestTwzCMB::failedRead_data()
{
    QTest::addColumn<QByteArrayList>("index");

    auto entry = [](const QByteArray &dataLine, const QByteArray &offset, const QByteArray &size) {
        return QByteArrayList{"[BinaryCombineData]", dataLine, "", "[e]", offset, size};
    };
    // data.bin holds 100 bytes.
    QTest::newRow("negative offset") << entry("data.bin", "-1", "10");
    QTest::newRow("negative size") << entry("data.bin", "0", "-1");
    QTest::newRow("two's complement offset") << entry("data.bin", "$FFFFFFFF", "1");
    QTest::newRow("offset at the end") << entry("data.bin", "100", "1");
    QTest::newRow("offset beyond the end, size 0") << entry("data.bin", "101", "0");
    QTest::newRow("one byte past the end") << entry("data.bin", "50", "51");
    QTest::newRow("largest range") << entry("data.bin", "2147483647", "2147483647");
    QTest::newRow("missing data file") << entry("missing.bin", "0", "1");
    QTest::newRow("no header") << QByteArrayList{"[e]", "0", "1"};
    QTest::newRow("empty data file line") << entry("", "0", "1");
    QTest::newRow("data file is a folder") << entry("folder.bin", "0", "1");
    QTest::newRow("data file is a FIFO") << entry("pipe.bin", "0", "1");
}

// Nothing is written for an entry that cannot be read, and a read never
// waits on something that is not a regular file.
void TestTwzCMB::failedRead()
{
    QFETCH(QByteArrayList, index);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), Pattern(100));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.bin")));
    QCOMPARE(
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.bin"))).constData(), 0600), 0);
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteFile(dir, QStringLiteral("test.cmb"), JoinLines(index))));

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    buffer.write("kept");
    QString reason;
    QVERIFY(!archive.ExtractItem(buffer, QStringLiteral("e"), &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(buffer.data(), QByteArray("kept"));
    QCOMPARE(buffer.pos(), 4);

    QFile file(dir.filePath(QStringLiteral("out")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(!archive.ExtractItem(file, QStringLiteral("e")));
    file.close();
    QCOMPARE(file.size(), 0);
}

void TestTwzCMB::writeLockedDataFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = WriteFile(dir, QStringLiteral("data.bin"), "0123456789");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", 2, 3}})));
    {
        const TFileLock writer(data, LOCK_EX);
        QVERIFY(writer.Locked());
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        QString reason;
        QVERIFY(!archive.ExtractItem(buffer, QStringLiteral("e"), &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(buffer.size(), 0);
    }
    {
        // Other readers are welcome.
        const TFileLock reader(data, LOCK_SH);
        QVERIFY(reader.Locked());
        QCOMPARE(Extracted(archive, QStringLiteral("e")), QByteArray("234"));
    }
}

// The data file is opened per read and closed (its lock gone) on return.
void TestTwzCMB::dataFileClosedAfterRead()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = WriteFile(dir, QStringLiteral("data.bin"), "0123456789");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", 2, 3}, {"bad", 9, 5}})));
    QCOMPARE(Extracted(archive, QStringLiteral("e")), QByteArray("234"));
    QVERIFY(TFileLock(data, LOCK_EX).Locked());
    QCOMPARE(Extracted(archive, QStringLiteral("bad")), QByteArray("<failed>"));
    QVERIFY(TFileLock(data, LOCK_EX).Locked());

    // A data file replaced between reads is seen afresh.
    WriteFile(dir, QStringLiteral("data.bin"), "abcdefghij");
    QCOMPARE(Extracted(archive, QStringLiteral("e")), QByteArray("cde"));
}

void TestTwzCMB::streamRefusesBytes_data()
{
    QTest::addColumn<QString>("stream");
    QTest::addColumn<qint64>("size");

    QTest::newRow("read-only buffer") << QStringLiteral("read-only") << qint64(10);
    QTest::newRow("closed buffer") << QStringLiteral("closed") << qint64(10);
    QTest::newRow("device full after a chunk") << QStringLiteral("refusing") << qint64(3000000);
    QTest::newRow("full disk, small entry") << QStringLiteral("/dev/full") << qint64(10);
    QTest::newRow("full disk, large entry") << QStringLiteral("/dev/full") << qint64(3000000);
}

void TestTwzCMB::streamRefusesBytes()
{
    QFETCH(QString, stream);
    QFETCH(qint64, size);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), Pattern(size));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", 0, size}})));

    std::unique_ptr<QIODevice> device;
    if (stream == QLatin1String("read-only")) {
        device = std::make_unique<QBuffer>();
        device->open(QIODevice::ReadOnly);
    } else if (stream == QLatin1String("closed")) {
        device = std::make_unique<QBuffer>();
    } else if (stream == QLatin1String("refusing")) {
        device = std::make_unique<TRefusingDevice>(1048576);
        device->open(QIODevice::WriteOnly);
    } else {
        if (!QFile::exists(stream))
            QSKIP("no /dev/full here");
        device = std::make_unique<QFile>(stream);
        QVERIFY(device->open(QIODevice::WriteOnly));
    }
    if (stream == QLatin1String("read-only") || stream == QLatin1String("closed"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".*")));
    try {
        archive.ExtractItem(*device, QStringLiteral("e"));
        QFAIL("no stream write error");
    } catch (const TwzStreamWriteError &e) {
        QCOMPARE(e.Message(), QStringLiteral("ストリームへの書き込みエラー"));
    }
}

// A file that may not grow (full disk, size limit) raises the write error
// from the kernel copy too, and is cut back to where the entry began.
void TestTwzCMB::fileSizeLimitReached()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const qint64 size = 2 * 1048576;
    WriteFile(dir, QStringLiteral("data.bin"), Pattern(size));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", 0, size}})));
    QFile out(dir.filePath(QStringLiteral("out")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("prefix");

    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 1048576;
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool raised = false;
    try {
        archive.ExtractItem(out, QStringLiteral("e"));
    } catch (const TwzStreamWriteError &) {
        raised = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    QVERIFY(raised);
    out.close();
    QCOMPARE(out.size(), 6);
}

void TestTwzCMB::progressReported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const qint64 size = 2 * 1048576 + 5;
    WriteFile(dir, QStringLiteral("data.bin"), Pattern(size));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", 0, size}})));
    for (const bool toFile : {false, true}) {
        std::unique_ptr<QIODevice> out;
        if (toFile)
            out = std::make_unique<QFile>(dir.filePath(QStringLiteral("out")));
        else
            out = std::make_unique<QBuffer>();
        QVERIFY(out->open(QIODevice::WriteOnly));
        QList<qint64> seen;
        QVERIFY(archive.ExtractEntry(*out, archive.Items()[0], nullptr,
                                     [&seen](qint64 Done) { seen += Done; }));
        QVERIFY(!seen.isEmpty());
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCOMPARE(seen.last(), size);
        QCOMPARE(out->pos(), size);
    }
}

// A pipe (as stdout may be) takes the bytes without complaint about seeking.
void TestTwzCMB::sequentialStream()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray data = Pattern(5000);
    WriteFile(dir, QStringLiteral("data.bin"), data);
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"e", 10, 4000}, {"bad", 4999, 2}})));
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    QFile readEnd;
    QVERIFY(readEnd.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    QFile writeEnd;
    QVERIFY(writeEnd.open(fds[1], QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QVERIFY(!archive.ExtractItem(writeEnd, QStringLiteral("bad")));
    QVERIFY(archive.ExtractItem(writeEnd, QStringLiteral("e")));
    writeEnd.close();
    QVERIFY(readEnd.readAll() == data.mid(10, 4000));
}

void TestTwzCMB::reloadReplaces()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("one.bin"), "1111");
    WriteFile(dir, QStringLiteral("two.bin"), "2222");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(
        WriteIndex(dir, {{"a", 0, 1}, {"b", 0, 1}}, QStringLiteral("one.cmb"), "one.bin")));
    QVERIFY(
        archive.LoadIndex(WriteIndex(dir, {{"B", 1, 2}}, QStringLiteral("two.cmb"), "two.bin")));
    QStringList names;
    QCOMPARE(archive.GetItemNames(names), 1);
    QCOMPARE(names, QStringList{QStringLiteral("B")});
    QCOMPARE(archive.DataFileName(), dir.filePath(QStringLiteral("two.bin")));
    QCOMPARE(Extracted(archive, QStringLiteral("a")), QByteArray("<failed>"));
    QCOMPARE(Extracted(archive, QStringLiteral("b")), QByteArray("22"));
}

void TestTwzCMB::missingIndexKeepsPreviousState()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), "0123");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"a", 1, 2}})));
    QVERIFY(!archive.LoadIndex(dir.filePath(QStringLiteral("missing.cmb"))));
    QVERIFY(!archive.LoadIndex(QString()));
    // A dangling link names no file either.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.cmb")),
                        dir.filePath(QStringLiteral("link.cmb"))));
    QVERIFY(!archive.LoadIndex(dir.filePath(QStringLiteral("link.cmb"))));
    QCOMPARE(archive.Items().size(), 1);
    QCOMPARE(archive.DataFileName(), dir.filePath(QStringLiteral("data.bin")));
    QCOMPARE(Extracted(archive, QStringLiteral("a")), QByteArray("12"));
}

void TestTwzCMB::failedLoadKeepsPreviousState_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("bad number after good entries") << QStringLiteral("number");
    QTest::newRow("index is a folder") << QStringLiteral("folder");
}

// All or nothing: a load that raises leaves the archive as it was.
void TestTwzCMB::failedLoadKeepsPreviousState()
{
    QFETCH(QString, failure);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), "0123");
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, {{"a", 1, 2}, {"b", 0, 1}})));
    QCOMPARE(archive.FindItem(QStringLiteral("b")), 1); // lookup built before the failure

    QString bad;
    if (failure == QLatin1String("number")) {
        bad = WriteFile(
            dir, QStringLiteral("bad.cmb"),
            JoinLines({"[BinaryCombineData]", "other.bin", "[b]", "0", "1", "[c]", "0", "1x"}));
    } else {
        bad = dir.filePath(QStringLiteral("folder.cmb"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.cmb")));
    }
    QVERIFY_THROWS_EXCEPTION(TwzError, archive.LoadIndex(bad));

    QStringList names;
    QCOMPARE(archive.GetItemNames(names), 2);
    QCOMPARE(names, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(archive.DataFileName(), dir.filePath(QStringLiteral("data.bin")));
    QCOMPARE(Extracted(archive, QStringLiteral("a")), QByteArray("12"));
    QCOMPARE(Extracted(archive, QStringLiteral("b")), QByteArray("0"));
}

void TestTwzCMB::unreadableIndex_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("no read permission") << QStringLiteral("mode 000");
}

// An index that exists but cannot be read raises the open error, naming it.
void TestTwzCMB::unreadableIndex()
{
    QFETCH(QString, kind);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("index.cmb"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("index.cmb")));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        if (::geteuid() == 0)
            QSKIP("root reads files whatever their mode");
        WriteFile(dir, QStringLiteral("index.cmb"), JoinLines({"[a]", "0", "1"}));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    }
    TwzCMB archive;
    try {
        archive.LoadIndex(path);
        QFAIL("no file open error");
    } catch (const TwzFileOpenError &e) {
        QCOMPARE(e.Message(), QStringLiteral("ファイル %1 は開けません").arg(path));
    }
}

void TestTwzCMB::relativeIndexPath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir, QStringLiteral("data.bin"), "0123");
    WriteIndex(dir, {{"a", 1, 2}});
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    TwzCMB archive;
    const bool loaded = archive.LoadIndex(QStringLiteral("test.cmb"));
    QDir::setCurrent(saved);
    QVERIFY(loaded);
    QCOMPARE(archive.DataFileName(), QDir(dir.path()).absoluteFilePath(QStringLiteral("data.bin")));
    QCOMPARE(Extracted(archive, QStringLiteral("a")), QByteArray("12"));
}

QTEST_GUILESS_MAIN(TestTwzCMB)
#include "tst_twzcmb.moc"
