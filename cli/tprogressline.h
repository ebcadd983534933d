#pragma once

#include <QElapsedTimer>
#include <QString>

// A one-line progress report on stderr (entries, bytes, rate), redrawn in
// place at most a few times a second. Silent when disabled, so callers need
// not check whether stderr is a terminal.
class TProgressLine
{
public:
    TProgressLine(bool Enabled, qint64 TotalEntries, qint64 TotalBytes);

    void Update(qint64 Entries, qint64 Bytes);
    // Erases the line so that a message can be printed in its place.
    void Clear();
    // Draws the final state and ends the line.
    void Finish(qint64 Entries, qint64 Bytes);

    static QString FormatSize(qint64 Bytes);

private:
    void Draw(qint64 Entries, qint64 Bytes);

    bool FEnabled;
    bool FShown = false;
    qint64 FTotalEntries;
    qint64 FTotalBytes;
    QElapsedTimer FClock;
    qint64 FLastDraw = -1;
};
