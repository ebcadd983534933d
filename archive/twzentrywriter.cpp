#include "twzentrywriter.h"

#include "twzerrors.h"
#include "twzregularfile.h"
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

// Entries below this size are written to the handle directly.
constexpr qint64 DirectWriteLimit = 64 * 1024;

// A file handle as a plain sequential device: every write is one write().
class THandleDevice : public QIODevice
{
public:
    explicit THandleDevice(int Handle) : FHandle(Handle)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *Data, qint64 Size) override
    {
        qint64 done = 0;
        while (done < Size) {
            const ssize_t n = ::write(FHandle, Data + done, static_cast<size_t>(Size - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                setErrorString(SystemReason(errno));
                return -1;
            }
            done += n;
        }
        return done;
    }

private:
    int FHandle;
};

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
    if (FDirectories.size() + (Count - known) > MaxCachedDirectories && !FDirectories.isEmpty()) {
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

TwzEntryWriter::TwzResult TwzEntryWriter::Write(const QString &EntryName, const TwzFill &Fill,
                                                qint64 SizeHint)
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

    TPendingFile pending(directory);
    if (const int error = CreatePending(pending)) {
        result.Status = TwzStatus::FileNotCreatable;
        result.Reason = SystemReason(error);
        return result;
    }

    TwzStatus status = TwzStatus::Written;
    QString reason;
    {
        // A small entry goes straight to the handle, which costs fewer
        // system calls than a QFile; a large one gets a QFile, so that its
        // bytes can be copied inside the kernel. Unbuffered: nothing is left
        // in a buffer for the handle to receive after it is closed.
        THandleDevice handle(pending.Handle);
        QFile file;
        QIODevice *out = &handle;
        if (SizeHint < 0 || SizeHint >= DirectWriteLimit) {
            out = &file;
            if (!file.open(pending.Handle, QIODevice::WriteOnly | QIODevice::Unbuffered,
                           QFileDevice::DontCloseHandle)) {
                status = TwzStatus::FileNotCreatable;
                reason = file.errorString();
            }
        }
        if (status == TwzStatus::Written) {
            try {
                if (!Fill(*out, reason))
                    status = TwzStatus::EntryUnreadable;
            } catch (const TwzStreamWriteError &e) {
                status = TwzStatus::WriteError;
                reason = e.Reason().isEmpty() ? e.Message() : e.Reason();
            } catch (...) {
                out->close();
                Discard(pending);
                throw;
            }
            out->close();
        }
    }
    if (status == TwzStatus::Written)
        status = Publish(pending, finalName.constData(), reason);
    if (status != TwzStatus::Written) {
        Discard(pending);
        result.Status = status;
        result.Reason = reason;
    }
    return result;
}

int TwzEntryWriter::CreatePending(TPendingFile &Pending)
{
    // An anonymous file is invisible until it is complete and vanishes by
    // itself if the program dies; it also costs fewer folder updates than
    // a named temporary file and a rename.
    // Without privileges an anonymous file is named through /proc.
    static const bool canName = ::access("/proc/self/fd", F_OK) == 0;
    if (FAnonymousFiles && canName) {
        Pending.Handle =
            RetryOpenAt(Pending.Directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (Pending.Handle >= 0) {
            Pending.Anonymous = true;
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        FAnonymousFiles = false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        NewTempName(Pending);
        // O_EXCL never reuses or follows anything already there.
        Pending.Handle = RetryOpenAt(Pending.Directory, Pending.TempName,
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (Pending.Handle >= 0)
            return 0;
        if (errno != EEXIST)
            break;
    }
    Pending.TempName[0] = 0;
    return errno;
}

void TwzEntryWriter::NewTempName(TPendingFile &Pending)
{
    // Short, so that a long final name cannot make it too long.
    std::snprintf(Pending.TempName, sizeof Pending.TempName, ".cmb%08x%04x.tmp",
                  QRandomGenerator::global()->generate(), ++FTempCounter & 0xffff);
}

void TwzEntryWriter::Discard(TPendingFile &Pending)
{
    if (Pending.Handle >= 0)
        ::close(Pending.Handle);
    Pending.Handle = -1;
    if (Pending.TempName[0])
        ::unlinkat(Pending.Directory, Pending.TempName, 0);
    Pending.TempName[0] = 0;
}

int TwzEntryWriter::LinkAnonymous(const TPendingFile &Pending, const char *Name)
{
    // Linking the handle itself needs a privilege (or a recent kernel);
    // the /proc path works for everyone. The first that works is kept.
    if (FLinkByHandle) {
        if (::linkat(Pending.Handle, "", Pending.Directory, Name, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != EPERM && errno != ENOENT && errno != EINVAL)
            return errno;
        FLinkByHandle = false;
    }
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", Pending.Handle);
    if (::linkat(AT_FDCWD, self, Pending.Directory, Name, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno;
}

TwzEntryWriter::TwzStatus TwzEntryWriter::Publish(TPendingFile &Pending, const char *FinalName,
                                                  QString &Reason)
{
    auto failed = [&Reason](TwzStatus Status, int Error) {
        Reason = SystemReason(Error);
        return Status;
    };

    if (Pending.Anonymous) {
        // Linking never replaces: a new name costs one step.
        const int error = LinkAnonymous(Pending, FinalName);
        if (error == 0) {
            const int closed = ::close(Pending.Handle);
            Pending.Handle = -1;
            if (closed != 0 && errno != EINTR) {
                const int error = errno;
                ::unlinkat(Pending.Directory, FinalName, 0);
                return failed(TwzStatus::WriteError, error);
            }
            return TwzStatus::Written;
        }
        if (error != EEXIST)
            return failed(TwzStatus::FileNotCreatable, error);
        if (FKeepExisting)
            return failed(TwzStatus::Exists, EEXIST);
        // Something is there: name the file beside it, then rename over it.
        int named = EEXIST;
        for (int attempt = 0; attempt < 100 && named == EEXIST; ++attempt) {
            NewTempName(Pending);
            named = LinkAnonymous(Pending, Pending.TempName);
        }
        if (named != 0) {
            Pending.TempName[0] = 0;
            return failed(TwzStatus::FileNotCreatable, named);
        }
    }

    const int closed = ::close(Pending.Handle);
    Pending.Handle = -1;
    if (closed != 0 && errno != EINTR)
        return failed(TwzStatus::WriteError, errno);

    if (FKeepExisting) {
        // No-replace, so that a file appearing meanwhile is still kept.
        if (::renameat2(Pending.Directory, Pending.TempName, Pending.Directory, FinalName,
                        RENAME_NOREPLACE) == 0) {
            Pending.TempName[0] = 0;
            return TwzStatus::Written;
        }
        if (errno == EEXIST)
            return failed(TwzStatus::Exists, EEXIST);
        if (errno != EINVAL && errno != ENOSYS)
            return failed(TwzStatus::FileNotCreatable, errno);
        // A file system without no-replace renames: a hard link fails on an
        // existing name just the same.
        if (::linkat(Pending.Directory, Pending.TempName, Pending.Directory, FinalName, 0) != 0)
            return failed(errno == EEXIST ? TwzStatus::Exists : TwzStatus::FileNotCreatable, errno);
        ::unlinkat(Pending.Directory, Pending.TempName, 0);
        Pending.TempName[0] = 0;
        return TwzStatus::Written;
    }
    // rename() replaces a file or a symbolic link at the final name itself;
    // a folder there makes it fail.
    if (::renameat(Pending.Directory, Pending.TempName, Pending.Directory, FinalName) != 0)
        return failed(TwzStatus::FileNotCreatable, errno);
    Pending.TempName[0] = 0;
    return TwzStatus::Written;
}

TwzEntryWriter::TwzResult TwzEntryWriter::WriteItem(const TwzCMB &Archive, const QString &Name,
                                                    const TwzCMB::TwzProgress &Progress)
{
    // From the data file this writer holds open, which saves opening and
    // locking it for each of many entries.
    const TwzRegularFile *dataFile = DataFile(Archive.DataFileName());
    // With one candidate its size is known; with several a failed try must
    // be cut back, which the file device (no size hint) does.
    const qsizetype first = Archive.FindItem(Name);
    const qint64 sizeHint =
        first >= 0 && Archive.NextItemOfSameName(first) < 0 ? Archive.Items()[first].Size : -1;
    return Write(
        Name,
        [&](QIODevice &Out, QString &Reason) {
            return Archive.ExtractItem(Out, Name, &Reason, Progress, dataFile);
        },
        sizeHint);
}

TwzEntryWriter::TwzResult TwzEntryWriter::WriteEntry(const TwzCMB &Archive,
                                                     const TwzCMB::TwzBCDItem &Item,
                                                     const TwzCMB::TwzProgress &Progress)
{
    const TwzRegularFile *dataFile = DataFile(Archive.DataFileName());
    return Write(
        Item.Name,
        [&](QIODevice &Out, QString &Reason) {
            return Archive.ExtractEntry(Out, Item, &Reason, Progress, dataFile);
        },
        Item.Size);
}

const TwzRegularFile *TwzEntryWriter::DataFile(const QString &FileName)
{
    if (FileName.isEmpty())
        return nullptr;
    if (FDataFile && FDataFileName == FileName)
        return FDataFile.get();
    FDataFile.reset();
    auto file = std::make_unique<TwzRegularFile>();
    if (!file->Open(FileName) || !file->LockShared())
        return nullptr;
    FDataFile = std::move(file);
    FDataFileName = FileName;
    return FDataFile.get();
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
