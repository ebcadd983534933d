#include "twzcp932table.h"

#include <QStringDecoder>

const TwzCp932Table &TwzCp932Table::Instance()
{
    static const TwzCp932Table table;
    return table;
}

TwzCp932Table::TwzCp932Table()
{
    QStringDecoder decoder("windows-31j", QStringDecoder::Flag::Stateless);
    // Takes the converter's answer when it is exactly one UTF-16 unit.
    auto one = [&decoder](QByteArrayView Bytes) -> char16_t {
        const QString text = decoder.decode(Bytes);
        return text.size() == 1 ? text.at(0).unicode() : 0;
    };
    int leads = 0;
    for (int b = 0; b < 256; ++b) {
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        FLeadIndex[b] = lead ? static_cast<signed char>(leads++) : -1;
        if (!lead) {
            const char c = static_cast<char>(b);
            FSingle[b] = one(QByteArrayView(&c, 1));
        }
    }
    for (int b = 0; b < 256; ++b) {
        if (FLeadIndex[b] < 0)
            continue;
        for (int t = 0x40; t <= 0xFC; ++t) {
            const char pair[2] = {static_cast<char>(b), static_cast<char>(t)};
            FPairs[FLeadIndex[b]][t] = one(QByteArrayView(pair, 2));
        }
    }
}

bool TwzCp932Table::Decode(QByteArrayView Line, QString &Text) const
{
    const auto *p = reinterpret_cast<const unsigned char *>(Line.data());
    const auto *end = p + Line.size();
    Text.resize(Line.size());
    char16_t *out = reinterpret_cast<char16_t *>(Text.data());
    char16_t *const begin = out;
    bool known = true;
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            *out++ = b;
            ++p;
            continue;
        }
        const int lead = FLeadIndex[b];
        char16_t c = 0;
        if (lead >= 0 && end - p >= 2 && (c = FPairs[lead][p[1]]) != 0) {
            p += 2;
        } else if (lead < 0 && (c = FSingle[b]) != 0) {
            ++p;
        } else {
            // A broken sequence costs one byte, so the next character is
            // read again from its own first byte.
            c = 0xFFFD;
            ++p;
            known = false;
        }
        *out++ = c;
    }
    Text.truncate(out - begin);
    return known;
}
