#include "twzindexreader.h"

#include "twzerrors.h"

#include <cstring>

namespace {

const QString HeaderName = QStringLiteral("BinaryCombineData");

inline bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32 && c != '\n' && c != '\r';
}

bool HasByte(quint64 Word, char Byte)
{
    const quint64 x = Word ^ (0x0101010101010101ULL * static_cast<unsigned char>(Byte));
    return ((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) != 0;
}

// Hands out the lines of a text one at a time, so a large index is walked
// without a list of all its lines.
class LineCursor
{
public:
    explicit LineCursor(QByteArrayView Text, qsizetype Start = 0) : FText(Text), FPos(Start) {}

    bool Next(QByteArrayView &Line)
    {
        const qsizetype size = FText.size();
        if (FPos >= size)
            return false;
        const char *data = FText.data();
        qsizetype i = FPos;
        // Eight bytes at a time while none of them is CR or LF.
        while (size - i >= 8) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            if (HasByte(word, '\n') || HasByte(word, '\r'))
                break;
            i += 8;
        }
        while (i < size && data[i] != '\n' && data[i] != '\r')
            ++i;
        Line = FText.sliced(FPos, i - FPos);
        if (i < size && data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            FPos = i + 2;
        else
            FPos = i + 1;
        return true;
    }

private:
    QByteArrayView FText;
    qsizetype FPos;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline QByteArrayView TrimBytes(QByteArrayView Line)
{
    qsizetype begin = 0;
    qsizetype end = Line.size();
    while (begin < end && static_cast<unsigned char>(Line[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(Line[end - 1]) <= 32)
        --end;
    return Line.sliced(begin, end - begin);
}

inline std::optional<qint32> ParseIntegerBytes(QByteArrayView s)
{
    if (s.isEmpty())
        return std::nullopt;

    qsizetype hexStart = -1;
    if (s[0] == '$' || s[0] == 'x' || s[0] == 'X')
        hexStart = 1;
    else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        hexStart = 2;

    if (hexStart >= 0) {
        if (hexStart >= s.size())
            return std::nullopt;
        quint64 value = 0;
        for (qsizetype i = hexStart; i < s.size(); ++i) {
            const int digit = HexDigit(s[i]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<quint64>(digit);
            if (value > 0xFFFFFFFFULL)
                return std::nullopt;
        }
        return static_cast<qint32>(static_cast<quint32>(value));
    }

    qsizetype i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i >= s.size())
        return std::nullopt;
    qint64 value = 0;
    const qint64 limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        value = value * 10 + (s[i] - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -value : value);
}

qint32 ParseNumberLine(QByteArrayView Line, TwzLineDecoder &Decoder)
{
    const QByteArrayView trimmed = TrimBytes(Line);
    if (const auto value = ParseIntegerBytes(trimmed))
        return *value;
    throw TwzConvertError(Decoder.Decode(trimmed));
}

} // namespace

QByteArrayView TwzIndexReader::TextBeforeNul(QByteArrayView Bytes)
{
    if (Bytes.isEmpty()) // an empty view may have no data pointer for memchr
        return Bytes;
    const void *nul = std::memchr(Bytes.data(), '\0', static_cast<size_t>(Bytes.size()));
    return nul ? Bytes.first(static_cast<const char *>(nul) - Bytes.data()) : Bytes;
}

QList<QByteArrayView> TwzIndexReader::SplitLines(QByteArrayView Bytes)
{
    QList<QByteArrayView> lines;
    LineCursor cursor(TextBeforeNul(Bytes));
    QByteArrayView line;
    while (cursor.Next(line))
        lines.append(line);
    return lines;
}

QByteArrayView TwzIndexReader::Trim(QByteArrayView Line)
{
    return TrimBytes(Line);
}

std::optional<qint32> TwzIndexReader::ParseInteger(QByteArrayView Trimmed)
{
    return ParseIntegerBytes(Trimmed);
}

TwzIndexContent TwzIndexReader::Parse(QByteArrayView Bytes, TwzEncoding Encoding)
{
    QList<TwzCMB::TwzBCDItem> entries;
    TwzIndexContent content = Walk(Bytes, Encoding, [&entries](const TwzCMB::TwzBCDItem &Item) {
        // An exact-size copy of the reused name buffer.
        entries.append(TwzCMB::TwzBCDItem{QString(Item.Name.constData(), Item.Name.size()),
                                          Item.Offset, Item.Size});
    });
    content.Entries = std::move(entries);
    return content;
}

TwzIndexContent TwzIndexReader::Walk(QByteArrayView Bytes, TwzEncoding Encoding,
                                     const TwzEntryVisitor &Visit)
{
    const QByteArrayView text = TextBeforeNul(Bytes);
    TwzLineDecoder decoder(text, Encoding);
    TwzIndexContent content;
    content.Encoding = decoder.Encoding();

    // Every line is examined in turn, including those a section has just
    // consumed. Only a line whose first non-blank byte is "[" can be a
    // section, and "[" is never a CP932 lead byte, so the walk jumps from one
    // such line to the next instead of splitting every line.
    TwzCMB::TwzBCDItem item;
    const char *data = text.data();
    const qsizetype size = text.size();
    qsizetype from = 0;
    while (from < size) {
        const void *hit = std::memchr(data + from, '[', static_cast<size_t>(size - from));
        if (!hit)
            break;
        const qsizetype bracket = static_cast<const char *>(hit) - data;
        from = bracket + 1;
        qsizetype lineStart = bracket;
        while (lineStart > 0 && IsBlank(data[lineStart - 1]))
            --lineStart;
        if (lineStart > 0 && data[lineStart - 1] != '\n' && data[lineStart - 1] != '\r')
            continue; // not the first non-blank byte of its line

        LineCursor cursor(text, lineStart);
        QByteArrayView line, next1, next2;
        cursor.Next(line);
        from = lineStart + line.size();
        const QByteArrayView trimmed = TrimBytes(line);
        if (trimmed.size() < 2)
            continue;
        QString &name = item.Name;
        decoder.DecodeInto(trimmed, name);
        if (name.back() != QLatin1Char(']'))
            continue;
        // Cuts the brackets in place, keeping the buffer's capacity for the
        // next line ("[" is one character in both encodings).
        QChar *chars = name.data();
        std::memmove(chars, chars + 1, sizeof(QChar) * static_cast<size_t>(name.size() - 2));
        name.truncate(name.size() - 2);
        const bool has1 = cursor.Next(next1);
        if (name.size() == HeaderName.size() &&
            name.compare(HeaderName, Qt::CaseInsensitive) == 0) {
            if (has1)
                content.DataFileLine = decoder.Decode(next1);
        } else if (has1 && cursor.Next(next2)) {
            item.Offset = ParseNumberLine(next1, decoder);
            item.Size = ParseNumberLine(next2, decoder);
            Visit(item);
        }
    }
    return content;
}
