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
    FFirstByName.clear();
    FNextOfSameName.clear();
    FLookupBuilt = false;
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
    if (FLookupBuilt)
        return;
    FFirstByName.clear();
    FFirstByName.reserve(FItems.size());
    FNextOfSameName.assign(static_cast<size_t>(FItems.size()), -1);
    // Walking backwards leaves each key on its first entry, with the chain
    // running forward in index order.
    for (qsizetype i = FItems.size() - 1; i >= 0; --i) {
        const QString key = FItems[i].Name.toCaseFolded();
        auto it = FFirstByName.find(key);
        if (it == FFirstByName.end()) {
            FFirstByName.insert(key, i);
        } else {
            FNextOfSameName[static_cast<size_t>(i)] = it.value();
            it.value() = i;
        }
    }
    FLookupBuilt = true;
}

qsizetype TwzCMB::FindItem(const QString &Name) const
{
    BuildLookup();
    return FFirstByName.value(Name.toCaseFolded(), -1);
}

qsizetype TwzCMB::NextItemOfSameName(qsizetype Index) const
{
    BuildLookup();
    if (Index < 0 || Index >= FItems.size())
        return -1;
    return FNextOfSameName[static_cast<size_t>(Index)];
}

bool TwzCMB::ExtractItem(QIODevice &Stream, const QString &Name, QString *Reason,
                         const TwzProgress &Progress) const
{
    QString reason = QStringLiteral("no entry of that name");
    for (qsizetype i = FindItem(Name); i >= 0; i = NextItemOfSameName(i)) {
        if (ExtractEntry(Stream, FItems[i], &reason, Progress)) {
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
                          const TwzProgress &Progress) const
{
    return TwzEntryCopier::Copy(FDataFileName, Item.Offset, Item.Size, Stream, Reason, Progress);
}
