#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// How the bytes of an index are turned into text.
enum class TwzEncoding {
    Auto,  // UTF-8 when the whole text is valid UTF-8, otherwise CP932
    Cp932, // Shift-JIS as written by Japanese Windows
    Utf8,
};

// Decodes index lines one at a time. Lines are split on bytes first, so a
// CP932 trail byte 0x5C never reaches a path split as "\".
class TwzLineDecoder
{
public:
    // Resolves Auto by looking at the whole text once.
    TwzLineDecoder(QByteArrayView Text, TwzEncoding Encoding);

    QString Decode(QByteArrayView Line);
    // The same into Text, reusing its memory: no allocation per line when a
    // caller decodes many lines into one buffer.
    void DecodeInto(QByteArrayView Line, QString &Text);
    TwzEncoding Encoding() const { return FEncoding; }

    static bool IsValidUtf8(QByteArrayView Text);

private:
    TwzEncoding FEncoding;
    QStringDecoder FUtf8;
    const class TwzCp932Table *FCp932 = nullptr; // set when decoding CP932
};
