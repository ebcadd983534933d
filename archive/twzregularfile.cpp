#include "twzregularfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void SetReason(QString *Reason, const QString &Text)
{
    if (Reason)
        *Reason = Text;
}

QString SystemReason(int Error)
{
    return QString::fromLocal8Bit(std::strerror(Error));
}

} // namespace

TwzRegularFile::~TwzRegularFile()
{
    Close();
}

bool TwzRegularFile::Open(const QString &FileName, QString *Reason)
{
    Close();
    const QByteArray path = QFile::encodeName(FileName);
    if (path.isEmpty()) {
        SetReason(Reason, SystemReason(ENOENT));
        return false;
    }
    // O_NONBLOCK keeps open() from waiting for a FIFO's writer.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SetReason(Reason, SystemReason(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        SetReason(Reason, SystemReason(errno));
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        SetReason(Reason, S_ISDIR(st.st_mode) ? SystemReason(EISDIR)
                                              : QStringLiteral("not a regular file"));
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FHandle = fd;
    FSize = st.st_size;
    return true;
}

bool TwzRegularFile::LockShared(QString *Reason)
{
    int result;
    do {
        result = ::flock(FHandle, LOCK_SH | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return true;
    if (errno == EWOULDBLOCK)
        SetReason(Reason, QStringLiteral("the file is locked by a writer"));
    else
        SetReason(Reason, SystemReason(errno));
    return false;
}

void TwzRegularFile::Close()
{
    if (FHandle >= 0)
        ::close(FHandle); // also releases the lock
    FHandle = -1;
    FSize = 0;
    FWindowLength = 0;
}

const char *TwzRegularFile::ReadAhead(qint64 Offset, qint64 Length) const
{
    if (Length > WindowSize || Offset < 0 || Length < 0)
        return nullptr;
    if (Offset < FWindowStart || Offset + Length > FWindowStart + FWindowLength) {
        if (!FWindow)
            FWindow.reset(new char[WindowSize]);
        const qint64 got = ReadAt(FWindow.get(), WindowSize, Offset);
        FWindowStart = Offset;
        FWindowLength = qMax<qint64>(got, 0);
        if (got < Length) {
            if (got >= 0)
                errno = 0; // the file is shorter than it was
            return nullptr;
        }
    }
    return FWindow.get() + (Offset - FWindowStart);
}

qint64 TwzRegularFile::ReadAt(char *Buffer, qint64 Length, qint64 Offset) const
{
    qint64 done = 0;
    while (done < Length) {
        const ssize_t n = ::pread(FHandle, Buffer + done, static_cast<size_t>(Length - done),
                                  static_cast<off_t>(Offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool TwzRegularFile::ReadAll(const QString &FileName, QByteArray &Bytes, QString *Reason)
{
    TwzRegularFile file;
    if (!file.Open(FileName, Reason))
        return false;
    QByteArray buffer;
    // The size is a hint only: the file may grow or shrink while it is read.
    qint64 capacity = qMax<qint64>(file.Size(), 0) + 1;
    qint64 length = 0;
    for (;;) {
        if (capacity >= std::numeric_limits<qsizetype>::max() / 2) {
            SetReason(Reason, SystemReason(EFBIG));
            return false;
        }
        buffer.resize(static_cast<qsizetype>(capacity));
        const qint64 n = file.ReadAt(buffer.data() + length, capacity - length, length);
        if (n < 0) {
            SetReason(Reason, SystemReason(errno));
            return false;
        }
        length += n;
        if (length < capacity)
            break;
        capacity *= 2;
    }
    buffer.truncate(static_cast<qsizetype>(length));
    Bytes = std::move(buffer);
    return true;
}
