#pragma once

#include "twzerrors.h"
#include "twzlinedecoder.h"
#include "twznameindex.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class TwzRegularFile;

// A .cmb archive: the entries of its index and the data file they are cut
// from. Loading is all-or-nothing; extraction streams an entry in bounded
// chunks. An archive is used from one thread at a time.
class TwzCMB
{
public:
    class TwzBCDItem
    {
    public:
        QString Name;
        qint32 Offset = 0;
        qint32 Size = 0;
    };

    // Called with the bytes copied so far of the current entry.
    using TwzProgress = std::function<void(qint64 BytesDone)>;

    TwzCMB() = default;

    // False when the file does not exist; nothing changes then. Throws
    // TwzFileOpenError or TwzConvertError, also leaving everything as it was.
    bool LoadIndex(const QString &FileName, TwzEncoding Encoding = TwzEncoding::Auto);

    // Reads an index without keeping it: Visit sees every entry in index
    // order (the item is reused between calls, so copy what is kept). For
    // listing very large indexes. False when the file does not exist; throws
    // as LoadIndex does.
    static bool ScanIndex(const QString &FileName, TwzEncoding Encoding,
                          const std::function<void(const TwzBCDItem &Item)> &Visit);

    // Appends the entry names in index order; returns their number.
    int GetItemNames(QStringList &List) const;

    // Writes the first readable entry whose name equals Name (case folded)
    // at Stream's position, then sets the position to 0. False, with the
    // reason of the last entry tried, when none could be read. Throws
    // TwzStreamWriteError when Stream refuses bytes. Progress as for
    // ExtractEntry, restarting with each entry tried.
    //
    // OpenDataFile: the data file already opened and locked by a caller that
    // writes out many entries; null to open it for this call.
    bool ExtractItem(QIODevice &Stream, const QString &Name, QString *Reason = nullptr,
                     const TwzProgress &Progress = {},
                     const TwzRegularFile *OpenDataFile = nullptr) const;

    // Writes one given entry at Stream's position (the position is left after
    // the entry). Same failures as ExtractItem.
    bool ExtractEntry(QIODevice &Stream, const TwzBCDItem &Item, QString *Reason = nullptr,
                      const TwzProgress &Progress = {},
                      const TwzRegularFile *OpenDataFile = nullptr) const;

    const QList<TwzBCDItem> &Items() const { return FItems; }
    QString DataFileName() const { return FDataFileName; }
    TwzEncoding Encoding() const { return FEncoding; }

    // Builds the name lookup now rather than on the first lookup, for a
    // caller that has a better moment for it (a window while it loads).
    void PrepareLookup() const { BuildLookup(); }

    // Index of the first entry named Name, then of the next equal one; -1 at the end.
    qsizetype FindItem(const QString &Name) const;
    qsizetype NextItemOfSameName(qsizetype Index) const;

private:
    static bool ReadIndexFile(const QString &FileName, QByteArray &Bytes);
    void BuildLookup() const;

    QString FDataFileName;
    QList<TwzBCDItem> FItems;
    TwzEncoding FEncoding = TwzEncoding::Auto;

    // Built on the first lookup so that listing a large index stays quick.
    mutable TwzNameIndex FNames;
};

Q_DECLARE_TYPEINFO(TwzCMB::TwzBCDItem, Q_RELOCATABLE_TYPE);
