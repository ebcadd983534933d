#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

// Writes a UTF-8 index FileName with its data file FileName + ".bin"; each
// entry is a name and its content. Returns the index's path.
inline QString WriteArchive(const QString &Folder, const QString &FileName,
                            const QList<QPair<QString, QByteArray>> &Entries)
{
    const QString IndexPath = Folder + QLatin1Char('/') + FileName;
    const QString DataName = FileName + QStringLiteral(".bin");
    QByteArray Index = "[BinaryCombineData]\r\n" + DataName.toUtf8() + "\r\n\r\n";
    QByteArray Data;
    for (const auto &Entry : Entries) {
        Index += '[' + Entry.first.toUtf8() + "]\r\n" + QByteArray::number(Data.size()) + "\r\n" +
                 QByteArray::number(Entry.second.size()) + "\r\n\r\n";
        Data += Entry.second;
    }
    QFile IndexFile(IndexPath);
    QFile DataFile(Folder + QLatin1Char('/') + DataName);
    if (!IndexFile.open(QIODevice::WriteOnly) || !DataFile.open(QIODevice::WriteOnly))
        return QString();
    IndexFile.write(Index);
    DataFile.write(Data);
    return IndexPath;
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
