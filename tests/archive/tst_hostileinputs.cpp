// Archives made by someone else: indexes and data files that are huge,
// garbage, special files or that change under the reader. Each must give a
// clear result, never a hang, a crash or a lost file.
#include "cmbfixture.h"

#include "twzcmb.h"
#include "twzentrywriter.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <functional>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace CmbFixture;

namespace {

// Calls Hook once, when the first chunk arrives, then keeps what it is given.
class THookedDevice : public QIODevice
{
public:
    explicit THookedDevice(std::function<void()> Hook) : FHook(std::move(Hook))
    {
        open(QIODevice::WriteOnly);
    }
    QByteArray Bytes;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *Data, qint64 Length) override
    {
        if (FHook) {
            FHook();
            FHook = nullptr;
        }
        Bytes.append(Data, Length);
        return Length;
    }

private:
    std::function<void()> FHook;
};

QByteArray Garbage(qsizetype Size)
{
    std::mt19937 random(7);
    QByteArray bytes(Size, Qt::Uninitialized);
    for (char &c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

} // namespace

class TstHostileInputs : public QObject
{
    Q_OBJECT

private slots:
    void HostileIndex_data();
    void HostileIndex();
    void SpecialDataFile_data();
    void SpecialDataFile();
    void DataFileChangesWhileRead_data();
    void DataFileChangesWhileRead();
    void ReadOnlyFileAtFinalNameIsReplaced();
    void ReadAheadServesAnyOrder_data();
    void ReadAheadServesAnyOrder();
};

void TstHostileInputs::HostileIndex_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("entries"); // -1: the load raises a conversion error

    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("50 MB in one line") << QByteArray(50 << 20, 'a') << 0;
    QTest::newRow("50 MB of brackets") << QByteArray(50 << 20, '[') << 0;
    QTest::newRow("blanks before one section") << QByteArray(20 << 20, ' ') + "[a]\n1\n2\n" << 1;
    QTest::newRow("sections with no numbers") << QByteArray("[a]\n").repeated(100000) << -1;
    QTest::newRow("only line breaks") << QByteArray("\r\n\n\r").repeated(1 << 20) << 0;
    QTest::newRow("binary garbage") << Garbage(4 << 20) << -2; // -2: either outcome
    QTest::newRow("NUL first, entries after") << QByteArray("\0[a]\n1\n2\n", 10) << 0;
}

void TstHostileInputs::HostileIndex()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, entries);
    QTemporaryDir dir;
    const QString index = WriteFile(dir, QStringLiteral("x.cmb"), bytes);

    TwzCMB archive;
    bool raised = false;
    try {
        QVERIFY(archive.LoadIndex(index));
    } catch (const TwzConvertError &) {
        raised = true;
    }
    if (entries == -1)
        QVERIFY(raised);
    else if (entries >= 0)
        QCOMPARE(archive.Items().size(), qsizetype(entries));
    if (raised)
        QVERIFY(archive.Items().isEmpty()); // nothing half-loaded
}

void TstHostileInputs::SpecialDataFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("/dev/zero") << QStringLiteral("/dev/zero");
    QTest::newRow("/dev/null") << QStringLiteral("/dev/null");
    QTest::newRow("socket") << QStringLiteral("socket");
    QTest::newRow("dangling link") << QStringLiteral("dangling");
}

void TstHostileInputs::SpecialDataFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString index = WriteIndex(dir, {{"a.txt", 0, 16}});
    const QString data = dir.filePath(QStringLiteral("data.bin"));
    int listener = -1;
    if (kind == QLatin1String("socket")) {
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(data);
        if (path.size() >= qsizetype(sizeof address.sun_path))
            QSKIP("temporary path too long for a socket");
        std::memcpy(address.sun_path, path.constData(), path.size());
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), data));
    } else {
        QVERIFY(QFile::link(kind, data));
    }

    TwzCMB archive;
    QVERIFY(archive.LoadIndex(index));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString reason;
    QVERIFY(!archive.ExtractItem(out, QStringLiteral("a.txt"), &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(out.data().isEmpty());
    if (listener >= 0)
        ::close(listener);
}

void TstHostileInputs::DataFileChangesWhileRead_data()
{
    QTest::addColumn<qint64>("newSize"); // the data file's size after the first chunk
    QTest::addColumn<bool>("readable");
    const qint64 size = 3 << 20;
    QTest::newRow("truncated to nothing") << qint64(0) << false;
    QTest::newRow("cut inside the entry") << size / 2 << false;
    QTest::newRow("grows") << size * 2 << true;
}

void TstHostileInputs::DataFileChangesWhileRead()
{
    QFETCH(qint64, newSize);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    const qint64 size = 3 << 20; // several chunks
    const QByteArray bytes = Pattern(size);
    WriteFile(dir, QStringLiteral("data.bin"), bytes);
    const QString index = WriteIndex(dir, {{"big.bin", 0, size}});
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(index));

    const QString data = dir.filePath(QStringLiteral("data.bin"));
    THookedDevice out(
        [&] { QCOMPARE(::truncate(QFile::encodeName(data).constData(), newSize), 0); });
    QString reason;
    QCOMPARE(archive.ExtractItem(out, QStringLiteral("big.bin"), &reason), readable);
    if (readable)
        QCOMPARE(out.Bytes, bytes);
    else
        QVERIFY2(!reason.isEmpty(), "a short read must say why");
}

void TstHostileInputs::ReadOnlyFileAtFinalNameIsReplaced()
{
    // Like tar and cp: the user asked for the entry to be written there.
    QTemporaryDir dir;
    WriteFile(dir, QStringLiteral("data.bin"), "new bytes");
    const QString index = WriteIndex(dir, {{"a.txt", 0, 9}});
    QTemporaryDir out;
    const QString target = WriteFile(out, QStringLiteral("a.txt"), "old");
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));

    TwzCMB archive;
    QVERIFY(archive.LoadIndex(index));
    TwzEntryWriter writer;
    QVERIFY(writer.Open(out.path()));
    const auto result = writer.WriteItem(archive, QStringLiteral("a.txt"));
    QVERIFY2(result.Ok(), qPrintable(result.Reason));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("new bytes"));
}

void TstHostileInputs::ReadAheadServesAnyOrder_data()
{
    // Small entries spread over more than one read-ahead window, written in
    // index order and in orders that jump back and forth across windows.
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("index order") << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("backwards") << QList<int>{5, 4, 3, 2, 1, 0};
    QTest::newRow("across windows") << QList<int>{0, 5, 1, 4, 2, 3};
}

void TstHostileInputs::ReadAheadServesAnyOrder()
{
    QFETCH(QList<int>, order);
    QTemporaryDir dir;
    const qint64 step = 700 << 10; // two entries per window at most
    const QByteArray bytes = Pattern(6 * step);
    WriteFile(dir, QStringLiteral("data.bin"), bytes);
    QList<Entry> entries;
    for (int i = 0; i < 6; ++i)
        entries.append({"e" + QByteArray::number(i), i * step + 3, 60000 - i});
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(WriteIndex(dir, entries)));

    QTemporaryDir out;
    TwzEntryWriter writer;
    QVERIFY(writer.Open(out.path()));
    for (int i : order) {
        const auto result = writer.WriteEntry(archive, archive.Items()[i]);
        QVERIFY2(result.Ok(), qPrintable(result.Reason));
        QFile file(result.Path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes.mid(entries[i].Offset, entries[i].Size));
    }
}

QTEST_GUILESS_MAIN(TstHostileInputs)
#include "tst_hostileinputs.moc"
