#pragma once

// Small archives built inside a test's temporary folder.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace CmbFixture {

// Writes Bytes to Dir/Name (creating or truncating) and returns the path.
inline QString WriteFile(const QTemporaryDir &Dir, const QString &Name, const QByteArray &Bytes)
{
    const QString path = Dir.filePath(Name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(Bytes) != Bytes.size())
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}

// Every line ended with Eol, the last one included, as index files are written.
inline QByteArray JoinLines(const QList<QByteArray> &Lines, const QByteArray &Eol = "\r\n")
{
    QByteArray text;
    for (const QByteArray &line : Lines)
        text += line + Eol;
    return text;
}

// A data file of Size bytes whose every byte depends on its position, so a
// range copied from the wrong place shows.
inline QByteArray Pattern(qsizetype Size, quint32 Seed = 1)
{
    QByteArray bytes(Size, Qt::Uninitialized);
    quint32 x = Seed * 2654435761u + 1;
    for (qsizetype i = 0; i < Size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

// One entry of an index written by WriteArchive.
struct Entry
{
    QByteArray Name;
    qint64 Offset;
    qint64 Size;
};

// Writes Dir/IndexName naming DataName, with the entries in the given order.
inline QString WriteIndex(const QTemporaryDir &Dir, const QList<Entry> &Entries,
                          const QString &IndexName = QStringLiteral("test.cmb"),
                          const QByteArray &DataName = "data.bin")
{
    QList<QByteArray> lines{"[BinaryCombineData]", DataName, ""};
    for (const Entry &entry : Entries) {
        lines += "[" + entry.Name + "]";
        lines += QByteArray::number(entry.Offset);
        lines += QByteArray::number(entry.Size);
        lines += "";
    }
    return WriteFile(Dir, IndexName, JoinLines(lines));
}

} // namespace CmbFixture
