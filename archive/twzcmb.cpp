#include "twzcmb.h"

#include "twzentrycopier.h"
#include "twzindexreader.h"
#include "twzregularfile.h"

#include <QFileInfo>

bool TwzCMB::ReadIndexFile(const QString &FileName, QByteArray &Bytes)
{
    if (!QFileInfo::exists(FileName))
        return false;
    if (!TwzRegularFile::ReadAll(FileName, Bytes))
        throw TwzFileOpenError(FileName);
    return true;
}

bool TwzCMB::ScanIndex(const QString &FileName, TwzEncoding Encoding,
                       const std::function<void(const TwzBCDItem &Item)> &Visit)
{
    QByteArray bytes;
    if (!ReadIndexFile(FileName, bytes))
        return false;
    TwzIndexReader::Walk(bytes, Encoding, Visit);
    return true;
}

bool TwzCMB::LoadIndex(const QString &FileName, TwzEncoding Encoding)
{
    QByteArray bytes;
    if (!ReadIndexFile(FileName, bytes))
        return false;

    const QFileInfo info(FileName);
    TwzIndexContent content = TwzIndexReader::Parse(bytes, Encoding);

    // Only a complete read replaces what the archive held.
    QString dataFileName;
    if (content.DataFileLine) {
        QString line = *content.DataFileLine;
        line.replace(QLatin1Char('\\'), QLatin1Char('/'));
        dataFileName = info.absolutePath() + QLatin1Char('/') + line;
    }
    FItems = std::move(content.Entries);
    FDataFileName = dataFileName;
    FEncoding = content.Encoding;
    FNames.Clear();
    return true;
}

int TwzCMB::GetItemNames(QStringList &List) const
{
    List.reserve(List.size() + FItems.size());
    for (const TwzBCDItem &item : FItems)
        List.append(item.Name);
    return static_cast<int>(FItems.size());
}

void TwzCMB::BuildLookup() const
{
    if (!FNames.IsBuilt())
        FNames.Build(FItems.size(), [this](qsizetype i) { return QStringView(FItems[i].Name); });
}

qsizetype TwzCMB::FindItem(const QString &Name) const
{
    BuildLookup();
    return FNames.Find(Name, [this](qsizetype i) { return QStringView(FItems[i].Name); });
}

qsizetype TwzCMB::NextItemOfSameName(qsizetype Index) const
{
    BuildLookup();
    return FNames.Next(Index);
}

bool TwzCMB::ExtractItem(QIODevice &Stream, const QString &Name, QString *Reason,
                         const TwzProgress &Progress, const TwzRegularFile *OpenDataFile) const
{
    QString reason = QStringLiteral("no entry of that name");
    for (qsizetype i = FindItem(Name); i >= 0; i = NextItemOfSameName(i)) {
        if (ExtractEntry(Stream, FItems[i], &reason, Progress, OpenDataFile)) {
            // A pipe has no position to go back to.
            if (!Stream.isSequential())
                Stream.seek(0);
            return true;
        }
    }
    if (Reason)
        *Reason = reason;
    return false;
}

bool TwzCMB::ExtractEntry(QIODevice &Stream, const TwzBCDItem &Item, QString *Reason,
                          const TwzProgress &Progress, const TwzRegularFile *OpenDataFile) const
{
    return TwzEntryCopier::Copy(FDataFileName, Item.Offset, Item.Size, Stream, Reason, Progress,
                                OpenDataFile);
}
