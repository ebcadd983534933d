#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A regular file opened for reading. Opening never blocks (a FIFO or device
// named as an archive file is refused rather than waited on) and the file is
// closed when the object goes.
class TwzRegularFile
{
public:
    TwzRegularFile() = default;
    ~TwzRegularFile();
    TwzRegularFile(const TwzRegularFile &) = delete;
    TwzRegularFile &operator=(const TwzRegularFile &) = delete;

    // False with a reason when the path is missing, not a regular file or
    // not readable.
    bool Open(const QString &FileName, QString *Reason = nullptr);
    // A shared advisory lock: other readers go on, writers that lock are kept
    // out. Fails at once instead of waiting for a writer.
    bool LockShared(QString *Reason = nullptr);
    void Close();

    int Handle() const { return FHandle; }
    qint64 Size() const { return FSize; }

    // Reads up to Length bytes at Offset; -1 on error.
    qint64 ReadAt(char *Buffer, qint64 Length, qint64 Offset) const;

    // The bytes at Offset from a read-ahead window, for many small reads in
    // file order (entries written out one after another): one system call
    // fills the window for the entries that follow. Null when the file ends
    // before Offset + Length or cannot be read; errno tells which.
    static constexpr qint64 WindowSize = 1 << 20;
    const char *ReadAhead(qint64 Offset, qint64 Length) const;

    // The whole file, or false with a reason.
    static bool ReadAll(const QString &FileName, QByteArray &Bytes, QString *Reason = nullptr);

private:
    int FHandle = -1;
    qint64 FSize = 0;
    mutable std::unique_ptr<char[]> FWindow; // made on first use
    mutable qint64 FWindowStart = 0;
    mutable qint64 FWindowLength = 0;
};
