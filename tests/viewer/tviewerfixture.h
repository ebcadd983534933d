#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

// One entry of a fixture archive: a name and its content.
struct TFixtureEntry
{
    QString Name;
    QByteArray Content;
    bool Readable = true; // false: the entry points beyond the data file
};

// Writes a UTF-8 index Folder/FileName with its data file FileName + ".bin".
// Returns the index's path, or an empty string when it cannot be written.
inline QString WriteEntries(const QString &Folder, const QString &FileName,
                            const QList<TFixtureEntry> &Entries)
{
    const QString DataName = FileName + QStringLiteral(".bin");
    QByteArray Index = "[BinaryCombineData]\r\n" + DataName.toUtf8() + "\r\n\r\n";
    QByteArray Data;
    for (const TFixtureEntry &Entry : Entries) {
        const qint64 Offset = Entry.Readable ? Data.size() : qint64(1) << 30;
        Index += '[' + Entry.Name.toUtf8() + "]\r\n" + QByteArray::number(Offset) + "\r\n" +
                 QByteArray::number(Entry.Content.size()) + "\r\n\r\n";
        if (Entry.Readable)
            Data += Entry.Content;
    }
    QFile IndexFile(Folder + QLatin1Char('/') + FileName);
    QFile DataFile(Folder + QLatin1Char('/') + DataName);
    if (!IndexFile.open(QIODevice::WriteOnly) || !DataFile.open(QIODevice::WriteOnly) ||
        IndexFile.write(Index) != Index.size() || DataFile.write(Data) != Data.size())
        return QString();
    return IndexFile.fileName();
}

// The same for entries that are all readable, given as name and content.
inline QString WriteArchive(const QString &Folder, const QString &FileName,
                            const QList<QPair<QString, QByteArray>> &Entries)
{
    QList<TFixtureEntry> All;
    for (const auto &Entry : Entries)
        All.append({Entry.first, Entry.second});
    return WriteEntries(Folder, FileName, All);
}

// Writes raw index text, for indexes that are meant to be broken.
inline QString WriteIndexText(const QString &Folder, const QString &FileName,
                              const QByteArray &Text)
{
    const QString IndexPath = Folder + QLatin1Char('/') + FileName;
    QFile IndexFile(IndexPath);
    if (!IndexFile.open(QIODevice::WriteOnly))
        return QString();
    IndexFile.write(Text);
    return IndexPath;
}
