#pragma once

#include <QByteArrayView>
#include <QString>

// CP932 decoding by table. The system's converter costs a call per line,
// which dominates loading an index of a million names; the table is filled
// from that converter once, so both decode characters alike. Bytes below
// 0x80 are ASCII, as on Windows (the converter's IBM table swaps 0x1A, 0x1C
// and 0x7F).
class TwzCp932Table
{
public:
    static const TwzCp932Table &Instance();

    // Broken or unknown sequences become U+FFFD; the result is false then.
    bool Decode(QByteArrayView Line, QString &Text) const;

private:
    TwzCp932Table();

    char16_t FSingle[256] = {};       // 0: a lead byte or not decodable alone
    signed char FLeadIndex[256] = {}; // -1: not a lead byte
    char16_t FPairs[60][256] = {};    // 0: not decodable as one character
};
