#include "twzentrycopier.h"

#include "twzerrors.h"
#include "twzregularfile.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

void SetReason(QString *Reason, const QString &Text)
{
    if (Reason)
        *Reason = Text;
}

const QString ShrankReason = QStringLiteral("the data file ended before the entry did");

enum class KernelCopy { Done, Unsupported, ShortRead, ReadError, WriteError };

// copy_file_range() lets the kernel move the bytes (as cp does) when the
// stream is a plain file; any refusal falls back to the buffered copy.
KernelCopy CopyInKernel(const TwzRegularFile &Source, qint64 Offset, qint64 Size,
                        QFileDevice &Target, qint64 &Done, int &Error,
                        const std::function<void(qint64)> &Progress)
{
    const int out = Target.handle();
    if (out < 0 || !Target.flush())
        return KernelCopy::Unsupported;
    loff_t inPos = Offset;
    loff_t outPos = Target.pos();
    while (Done < Size) {
        const size_t want =
            static_cast<size_t>(qMin<qint64>(Size - Done, 64 * TwzEntryCopier::ChunkSize));
        const ssize_t n = ::copy_file_range(Source.Handle(), &inPos, out, &outPos, want, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (Done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                              errno == EOPNOTSUPP || errno == EBADF))
                return KernelCopy::Unsupported;
            Error = errno;
            // EIO and the like come from either side; the target's space and
            // size limits are the common ones.
            return (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) ? KernelCopy::WriteError
                                                                          : KernelCopy::ReadError;
        }
        if (n == 0)
            return KernelCopy::ShortRead;
        Done += n;
        if (Progress)
            Progress(Done);
    }
    return KernelCopy::Done;
}

void CutBack(QIODevice &Stream, qint64 Start)
{
    if (auto *file = qobject_cast<QFileDevice *>(&Stream); file && !file->isSequential()) {
        file->resize(Start);
        file->seek(Start);
    }
}

} // namespace

bool TwzEntryCopier::Copy(const QString &DataFileName, qint64 Offset, qint64 Size,
                          QIODevice &Stream, QString *Reason,
                          const std::function<void(qint64)> &Progress,
                          const TwzRegularFile *OpenDataFile)
{
    if (DataFileName.isEmpty()) {
        SetReason(Reason, QStringLiteral("the index names no data file"));
        return false;
    }
    if (Offset < 0 || Size < 0) {
        SetReason(Reason, QStringLiteral("negative offset or size"));
        return false;
    }
    const bool heldOpen = OpenDataFile != nullptr;
    TwzRegularFile opened;
    if (!OpenDataFile) {
        QString why;
        if (!opened.Open(DataFileName, &why) || !opened.LockShared(&why)) {
            SetReason(Reason, QStringLiteral("%1: %2").arg(DataFileName, why));
            return false;
        }
        OpenDataFile = &opened;
    }
    const TwzRegularFile &source = *OpenDataFile;
    if (Offset + Size > source.Size()) {
        SetReason(Reason, QStringLiteral("the entry lies beyond the end of the data file"));
        return false;
    }

    const qint64 start = Stream.pos();
    qint64 done = 0;
    if (auto *file = qobject_cast<QFileDevice *>(&Stream); file && Size > 0) {
        int error = 0;
        switch (CopyInKernel(source, Offset, Size, *file, done, error, Progress)) {
        case KernelCopy::Done:
            file->seek(start + Size);
            return true;
        case KernelCopy::Unsupported:
            break;
        case KernelCopy::ShortRead:
            CutBack(Stream, start);
            SetReason(Reason, ShrankReason);
            return false;
        case KernelCopy::ReadError:
            CutBack(Stream, start);
            SetReason(Reason, QString::fromLocal8Bit(std::strerror(error)));
            return false;
        case KernelCopy::WriteError:
            CutBack(Stream, start);
            throw TwzStreamWriteError(QString::fromLocal8Bit(std::strerror(error)));
        }
    }

    // Many small entries from a data file held open: read ahead, so that the
    // entries that follow cost no read of their own.
    if (heldOpen && Size <= SmallEntryLimit) {
        const char *bytes = source.ReadAhead(Offset, Size);
        if (!bytes) {
            CutBack(Stream, start);
            SetReason(Reason, errno ? QString::fromLocal8Bit(std::strerror(errno)) : ShrankReason);
            return false;
        }
        if (Stream.write(bytes, Size) != Size)
            throw TwzStreamWriteError(Stream.errorString());
        if (Progress)
            Progress(Size);
        if (auto *file = qobject_cast<QFileDevice *>(&Stream); file && !file->flush())
            throw TwzStreamWriteError(file->errorString());
        return true;
    }

    const qint64 chunk = qMin(Size, ChunkSize);
    std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(qMax<qint64>(chunk, 1))]);
    while (done < Size) {
        const qint64 want = qMin(chunk, Size - done);
        const qint64 got = source.ReadAt(buffer.get(), want, Offset + done);
        if (got != want) {
            CutBack(Stream, start);
            SetReason(Reason,
                      got < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : ShrankReason);
            return false;
        }
        if (Stream.write(buffer.get(), got) != got)
            throw TwzStreamWriteError(Stream.errorString());
        done += got;
        if (Progress)
            Progress(done);
    }
    // A file holds small writes in its buffer, where a full disk would show
    // only when the caller closes it and the error is lost.
    if (auto *file = qobject_cast<QFileDevice *>(&Stream); file && !file->flush())
        throw TwzStreamWriteError(file->errorString());
    return true;
}
