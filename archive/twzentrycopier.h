#pragma once

#include <QIODevice>
#include <QString>

#include <functional>

class TwzRegularFile;

// Copies one byte range of a data file into a stream, in bounded chunks.
class TwzEntryCopier
{
public:
    static constexpr qint64 ChunkSize = 1 << 20;
    // Entries up to this size are served from the data file's read-ahead
    // window when the file is held open across entries.
    static constexpr qint64 SmallEntryLimit = 64 << 10;

    // The range is checked against the file before anything is written, so
    // an unreadable entry writes nothing. False with a reason when the data
    // file cannot be read or the range lies outside it; a file that shrinks
    // during the copy also fails, and a file stream is cut back to where it
    // stood. Throws TwzStreamWriteError when Stream refuses bytes.
    // OpenDataFile, when given, is DataFileName already opened and locked by
    // the caller, who copies many entries and opens it once.
    static bool Copy(const QString &DataFileName, qint64 Offset, qint64 Size, QIODevice &Stream,
                     QString *Reason = nullptr, const std::function<void(qint64)> &Progress = {},
                     const TwzRegularFile *OpenDataFile = nullptr);
};
