#pragma once

// File helpers the test suites share.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace CmbTestFiles {

inline bool WriteFile(const QString &Path, const QByteArray &Bytes)
{
    QFile file(Path);
    return file.open(QIODevice::WriteOnly) && file.write(Bytes) == Bytes.size();
}

inline QByteArray ReadFile(const QString &Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every name below Folder, hidden ones too, sorted; shows stray temporary files.
inline QStringList Tree(const QString &Folder)
{
    QStringList names;
    const QFileInfoList infos = QDir(Folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                           QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : infos) {
        names << info.fileName();
        if (info.isDir() && !info.isSymLink()) {
            for (const QString &inner : Tree(info.filePath()))
                names << info.fileName() + QLatin1Char('/') + inner;
        }
    }
    names.sort();
    return names;
}

} // namespace CmbTestFiles
