#pragma once

#include "twzcmb.h"
#include "twzlinedecoder.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// What an index says: its entries in file order and the data file line of the
// last header section that is followed by a line.
struct TwzIndexContent
{
    QList<TwzCMB::TwzBCDItem> Entries;
    std::optional<QString> DataFileLine;
    TwzEncoding Encoding = TwzEncoding::Auto; // as resolved
};

// The index file's syntax: line splitting, trimming, sections and numbers.
class TwzIndexReader
{
public:
    // Called for each entry in file order. The item is reused between calls:
    // copy what is kept.
    using TwzEntryVisitor = std::function<void(const TwzCMB::TwzBCDItem &Item)>;

    // Throws TwzConvertError on a number line that is not a 32-bit integer.
    static TwzIndexContent Parse(QByteArrayView Bytes, TwzEncoding Encoding);
    // The same without keeping the entries: Content.Entries stays empty.
    static TwzIndexContent Walk(QByteArrayView Bytes, TwzEncoding Encoding,
                                const TwzEntryVisitor &Visit);

    // Lines end at CR LF, lone CR or lone LF; a NUL ends the text; a final
    // break adds no empty line.
    static QList<QByteArrayView> SplitLines(QByteArrayView Bytes);
    // Removes every byte of value 32 or less from both ends.
    static QByteArrayView Trim(QByteArrayView Line);
    // Decimal with sign, or hexadecimal after $, x, X, 0x or 0X (two's complement).
    static std::optional<qint32> ParseInteger(QByteArrayView Trimmed);
    // The text up to the first NUL.
    static QByteArrayView TextBeforeNul(QByteArrayView Bytes);
};
