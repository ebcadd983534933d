// Writes benchmark data: an archive of COUNT entries with sizes in
// [MIN, MAX] bytes, names spread over nested folders, and optionally the same
// files as a plain folder tree (for tar and cp to work on).
//
//   cmb-bench-gen [--tree] [--no-data] OUTDIR COUNT MIN MAX
//
// OUTDIR/archive.cmb (CP932, CR LF, as Japanese Windows writes it) and
// OUTDIR/archive.bin; with --tree also OUTDIR/tree/...; with --no-data the data
// file stays empty (enough for listing and opening an index).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <cstdio>
#include <random>

namespace {

QString EntryName(qint64 Index)
{
    // About a hundred files per folder, two levels deep.
    const qint64 folder = Index / 100;
    return QStringLiteral("フォルダ%1\\sub%2\\ファイル%3.dat")
        .arg(folder / 100, 3, 10, QLatin1Char('0'))
        .arg(folder % 100, 2, 10, QLatin1Char('0'))
        .arg(Index, 7, 10, QLatin1Char('0'));
}

bool WriteAll(QFile &File, const QByteArray &Bytes)
{
    return File.write(Bytes) == Bytes.size();
}

int Fail(const QString &Message)
{
    std::fprintf(stderr, "cmb-bench-gen: %s\n", qPrintable(Message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool tree = args.removeAll(QStringLiteral("--tree")) > 0;
    const bool noData = args.removeAll(QStringLiteral("--no-data")) > 0;
    if (args.size() != 4)
        return Fail(
            QStringLiteral("usage: cmb-bench-gen [--tree] [--no-data] OUTDIR COUNT MIN MAX"));
    const QString out = args[0];
    const qint64 count = args[1].toLongLong();
    const qint64 minSize = args[2].toLongLong();
    const qint64 maxSize = args[3].toLongLong();
    if (count < 0 || minSize < 0 || maxSize < minSize || maxSize > 0x7fffffff)
        return Fail(QStringLiteral("bad COUNT, MIN or MAX"));
    if (!QDir().mkpath(out))
        return Fail(QStringLiteral("cannot create %1").arg(out));

    QFile index(out + QStringLiteral("/archive.cmb"));
    QFile data(out + QStringLiteral("/archive.bin"));
    if (!index.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !data.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Fail(QStringLiteral("cannot write into %1").arg(out));

    QStringEncoder cp932("windows-31j");
    std::mt19937_64 random(20261211);
    std::uniform_int_distribution<qint64> sizes(minSize, maxSize);
    QByteArray block(1 << 20, '\0');
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(random());

    QByteArray text = "[BinaryCombineData]\r\narchive.bin\r\n\r\n";
    qint64 offset = 0;
    QString lastFolder;
    for (qint64 i = 0; i < count; ++i) {
        const QString name = EntryName(i);
        const qint64 size = sizes(random);
        if (offset + size > 0x7fffffff)
            return Fail(QStringLiteral("the data file would pass 2 GiB"));
        text += '[' + QByteArray(cp932.encode(name)) + "]\r\n" + QByteArray::number(offset) +
                "\r\n" + QByteArray::number(size) + "\r\n\r\n";
        if (text.size() > (8 << 20)) {
            if (!WriteAll(index, text))
                return Fail(index.errorString());
            text.clear();
        }
        if (noData)
            continue;

        // Content: a slice of the random block, shifted per entry.
        QFile file;
        if (tree) {
            QString path = name;
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            path = out + QStringLiteral("/tree/") + path;
            const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')));
            if (folder != lastFolder && !QDir().mkpath(folder))
                return Fail(QStringLiteral("cannot create %1").arg(folder));
            lastFolder = folder;
            file.setFileName(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return Fail(file.errorString());
        }
        qint64 left = size;
        qint64 start = i % 4096;
        while (left > 0) {
            const qint64 n = qMin<qint64>(left, block.size() - start);
            const QByteArrayView piece(block.constData() + start, n);
            if (data.write(piece.data(), n) != n || (tree && file.write(piece.data(), n) != n))
                return Fail(QStringLiteral("write error"));
            left -= n;
            start = 0;
        }
        offset += size;
    }
    if (!WriteAll(index, text))
        return Fail(index.errorString());
    return 0;
}
