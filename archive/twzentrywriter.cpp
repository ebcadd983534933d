#include "twzentrywriter.h"

#include "twzerrors.h"
#include "twzsafepath.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough folders for deep trees; beyond it the handles are dropped and
// walked again rather than running out of descriptors.
constexpr qsizetype MaxCachedDirectories = 256;

QString SystemReason(int Error)
{
    return QString::fromLocal8Bit(std::strerror(Error));
}

int RetryOpenAt(int Directory, const char *Name, int Flags, mode_t Mode = 0)
{
    int fd;
    do {
        fd = ::openat(Directory, Name, Flags, Mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// O_PATH is enough to create and rename in a folder, and needs no read
// permission on it.
constexpr int DirectoryFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Why a component that should be a folder is not one.
QString NotAFolderReason(int Parent, const char *Name, int Error)
{
    struct stat st;
    if (::fstatat(Parent, Name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return QStringLiteral("is a symbolic link");
        if (!S_ISDIR(st.st_mode))
            return SystemReason(ENOTDIR);
    }
    return SystemReason(Error);
}

} // namespace

TwzEntryWriter::~TwzEntryWriter()
{
    CloseDirectories();
    if (FRoot >= 0)
        ::close(FRoot);
}

bool TwzEntryWriter::Open(const QString &Folder, QString *Reason)
{
    CloseDirectories();
    if (FRoot >= 0)
        ::close(FRoot);
    FRoot = -1;
    FFolder = Folder;
    while (FFolder.size() > 1 && FFolder.endsWith(QLatin1Char('/')))
        FFolder.chop(1);
    const QByteArray path = QFile::encodeName(FFolder);
    FRoot = path.isEmpty()
                ? -1
                : RetryOpenAt(AT_FDCWD, path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (FRoot < 0) {
        if (Reason)
            *Reason = SystemReason(path.isEmpty() ? ENOENT : errno);
        return false;
    }
    return true;
}

void TwzEntryWriter::CloseDirectories()
{
    for (const int fd : std::as_const(FDirectories))
        ::close(fd);
    FDirectories.clear();
}

int TwzEntryWriter::OpenDirectory(const QStringList &Components, qsizetype Count, QString &Reason)
{
    if (Count == 0)
        return FRoot;
    // The deepest folder already known, then the rest walked from there.
    QString key = Components.mid(0, Count).join(QLatin1Char('/'));
    qsizetype known = Count;
    int parent = FRoot;
    for (; known > 0; --known) {
        const auto it = FDirectories.constFind(key);
        if (it != FDirectories.constEnd()) {
            parent = it.value();
            break;
        }
        key.truncate(qMax<qsizetype>(key.size() - Components[known - 1].size() - 1, 0));
    }
    if (known == Count)
        return parent;
    if (FDirectories.size() + (Count - known) > MaxCachedDirectories) {
        CloseDirectories();
        return OpenDirectory(Components, Count, Reason);
    }

    for (qsizetype i = known; i < Count; ++i) {
        const QByteArray name = QFile::encodeName(Components[i]);
        if (!key.isEmpty())
            key += QLatin1Char('/');
        key += Components[i];
        int fd = RetryOpenAt(parent, name.constData(), DirectoryFlags);
        if (fd < 0 && errno == ENOENT) {
            if (::mkdirat(parent, name.constData(), 0777) != 0 && errno != EEXIST) {
                Reason = QStringLiteral("%1: %2").arg(key, SystemReason(errno));
                return -1;
            }
            fd = RetryOpenAt(parent, name.constData(), DirectoryFlags);
        }
        if (fd < 0) {
            Reason = QStringLiteral("%1: %2").arg(
                key, NotAFolderReason(parent, name.constData(), errno));
            return -1;
        }
        FDirectories.insert(key, fd);
        parent = fd;
    }
    return parent;
}

TwzEntryWriter::TwzResult TwzEntryWriter::Write(const QString &EntryName, const TwzFill &Fill)
{
    TwzResult result;
    const TwzSafePath safe = TwzSafePath::FromEntryName(EntryName);
    if (!safe.IsSafe()) {
        result.Status = TwzStatus::UnsafeName;
        result.Reason = safe.Reason();
        return result;
    }
    const QString prefix = FFolder == QLatin1String("/") ? FFolder : FFolder + QLatin1Char('/');
    result.Path = prefix + safe.RelativePath();
    const QString directoryPart = safe.DirectoryPart();
    result.Directory = directoryPart.isEmpty() ? FFolder : prefix + directoryPart;
    if (FRoot < 0) {
        result.Status = TwzStatus::FolderNotCreatable;
        result.Reason = QStringLiteral("the destination folder is not open");
        return result;
    }

    const QStringList &components = safe.Components();
    const int directory = OpenDirectory(components, components.size() - 1, result.Reason);
    if (directory < 0) {
        result.Status = TwzStatus::FolderNotCreatable;
        return result;
    }
    const QByteArray finalName = QFile::encodeName(components.last());

    struct stat st;
    if (FKeepExisting &&
        ::fstatat(directory, finalName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        result.Status = TwzStatus::Exists;
        result.Reason = SystemReason(EEXIST);
        return result;
    }

    // A short name of our own, so that a long final name cannot make the
    // temporary one too long; O_EXCL never reuses anything already there.
    char tempName[40];
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::snprintf(tempName, sizeof tempName, ".cmb%08x%04x.tmp",
                      QRandomGenerator::global()->generate(), ++FTempCounter & 0xffff);
        fd = RetryOpenAt(directory, tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        result.Status = TwzStatus::FileNotCreatable;
        result.Reason = SystemReason(errno);
        return result;
    }

    auto fail = [&](TwzStatus Status, const QString &Reason) {
        if (fd >= 0)
            ::close(fd);
        ::unlinkat(directory, tempName, 0);
        result.Status = Status;
        result.Reason = Reason;
        return result;
    };

    TwzStatus status = TwzStatus::Written;
    QString reason;
    {
        // Unbuffered: the copier writes large chunks, and nothing is left
        // in a buffer for the handle to receive after it is closed.
        QFile out;
        if (!out.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                      QFileDevice::DontCloseHandle)) {
            status = TwzStatus::FileNotCreatable;
            reason = out.errorString();
        } else {
            try {
                if (!Fill(out, reason))
                    status = TwzStatus::EntryUnreadable;
            } catch (const TwzStreamWriteError &e) {
                status = TwzStatus::WriteError;
                reason = e.Reason().isEmpty() ? e.Message() : e.Reason();
            } catch (...) {
                out.close();
                fail(TwzStatus::WriteError, QString());
                throw;
            }
            out.close();
        }
    }
    if (status != TwzStatus::Written)
        return fail(status, reason);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0 && errno != EINTR)
        return fail(TwzStatus::WriteError, SystemReason(errno));

    if (FKeepExisting) {
        // No-replace, so that a file appearing meanwhile is still kept.
        if (::renameat2(directory, tempName, directory, finalName.constData(), RENAME_NOREPLACE) !=
            0) {
            if (errno == EEXIST)
                return fail(TwzStatus::Exists, SystemReason(EEXIST));
            if (errno != EINVAL && errno != ENOSYS)
                return fail(TwzStatus::FileNotCreatable, SystemReason(errno));
            // A file system without no-replace renames: a hard link fails on
            // an existing name just the same.
            if (::linkat(directory, tempName, directory, finalName.constData(), 0) != 0)
                return fail(errno == EEXIST ? TwzStatus::Exists : TwzStatus::FileNotCreatable,
                            SystemReason(errno));
            ::unlinkat(directory, tempName, 0);
        }
        return result;
    }
    // rename() replaces a file or a symbolic link at the final name itself;
    // a folder there makes it fail.
    if (::renameat(directory, tempName, directory, finalName.constData()) != 0)
        return fail(TwzStatus::FileNotCreatable, SystemReason(errno));
    return result;
}

TwzEntryWriter::TwzResult TwzEntryWriter::WriteItem(const TwzCMB &Archive, const QString &Name)
{
    return Write(Name, [&](QIODevice &Out, QString &Reason) {
        return Archive.ExtractItem(Out, Name, &Reason);
    });
}

TwzEntryWriter::TwzResult TwzEntryWriter::WriteEntry(const TwzCMB &Archive,
                                                     const TwzCMB::TwzBCDItem &Item,
                                                     const TwzCMB::TwzProgress &Progress)
{
    return Write(Item.Name, [&](QIODevice &Out, QString &Reason) {
        return Archive.ExtractEntry(Out, Item, &Reason, Progress);
    });
}

QString TwzEntryWriter::StatusText(TwzStatus Status)
{
    switch (Status) {
    case TwzStatus::Written:
        return QStringLiteral("written");
    case TwzStatus::UnsafeName:
        return QStringLiteral("unsafe name");
    case TwzStatus::FolderNotCreatable:
        return QStringLiteral("cannot create folder");
    case TwzStatus::FileNotCreatable:
        return QStringLiteral("cannot create file");
    case TwzStatus::Exists:
        return QStringLiteral("exists, not replaced");
    case TwzStatus::EntryUnreadable:
        return QStringLiteral("cannot read entry");
    case TwzStatus::WriteError:
        return QStringLiteral("write error");
    }
    return QString();
}
