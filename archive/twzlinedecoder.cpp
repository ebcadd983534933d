#include "twzlinedecoder.h"

#include "twzcp932table.h"

#include <cstring>

namespace {

bool IsAscii(QByteArrayView Bytes)
{
    for (char c : Bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

TwzLineDecoder::TwzLineDecoder(QByteArrayView Text, TwzEncoding Encoding)
    : FEncoding(Encoding),
      // No BOM is recognised: an initial U+FEFF stays part of the line.
      FUtf8(QStringDecoder::Utf8,
            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
{
    if (FEncoding == TwzEncoding::Auto)
        FEncoding = IsValidUtf8(Text) ? TwzEncoding::Utf8 : TwzEncoding::Cp932;
    if (FEncoding == TwzEncoding::Cp932)
        FCp932 = &TwzCp932Table::Instance();
}

QString TwzLineDecoder::Decode(QByteArrayView Line)
{
    QString text;
    DecodeInto(Line, text);
    return text;
}

void TwzLineDecoder::DecodeInto(QByteArrayView Line, QString &Text)
{
    if (FEncoding == TwzEncoding::Cp932) {
        // The table passes ASCII through itself.
        FCp932->Decode(Line, Text);
        return;
    }
    // Every byte gives at most one UTF-16 unit.
    Text.resize(Line.size());
    QChar *const begin = Text.data();
    if (IsAscii(Line)) {
        for (qsizetype i = 0; i < Line.size(); ++i)
            begin[i] = QLatin1Char(Line[i]);
        return;
    }
    Text.truncate(FUtf8.appendToBuffer(begin, Line) - begin);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool TwzLineDecoder::IsValidUtf8(QByteArrayView Text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(Text.data());
    const auto *end = p + Text.size();
    while (p < end) {
        // Skip ASCII eight bytes at a time; index files are mostly ASCII.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF)
                return false;
        }
        p += length;
    }
    return true;
}
