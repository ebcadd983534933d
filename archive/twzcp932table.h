#pragma once

#include <QByteArrayView>
#include <QString>

// CP932 decoding by table. The system's converter is exact but costs a call
// per line, which dominates loading an index of a million names; the table is
// filled from that converter once, so both decode alike, and whatever the
// table cannot decode on its own goes to the converter.
class TwzCp932Table
{
public:
    static const TwzCp932Table &Instance();

    // False when Line holds a sequence the table does not know.
    bool Decode(QByteArrayView Line, QString &Text) const;

private:
    TwzCp932Table();

    char16_t FSingle[256] = {};      // 0: a lead byte or not decodable alone
    signed char FLeadIndex[256] = {}; // -1: not a lead byte
    char16_t FPairs[60][256] = {};   // 0: not decodable as one character
};
