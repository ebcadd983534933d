#pragma once

#include "twzcmb.h"
#include "twzregularfile.h"

#include <QHash>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

// Writes entries as files below one chosen folder, safely:
// - the entry name is mapped by TwzSafePath; unsafe names are refused;
// - missing sub-folders are created, walking one component at a time
//   relative to the folder's handle and never following a symbolic link, so
//   nothing is ever created outside the folder (a link or a file where a
//   sub-folder belongs fails the entry);
// - the bytes go to a temporary file beside the final name, which is renamed
//   over the final name only when complete: a failed entry leaves nothing,
//   an existing file stays untouched until then, and a symbolic link at the
//   final name is replaced, never followed;
// - files are created with mode 0666 minus the umask.
//
// One writer serves one write-out: it remembers the sub-folders it has
// already made or checked, so many entries in few folders stay cheap, and
// WriteEntry and WriteItem keep the archive's data file open (share-locked)
// from their first call until the writer goes. It is not copyable and is used from one
// thread.
//
//     TwzEntryWriter writer;
//     if (!writer.Open(folder, &why)) ...;
//     for (const QString &name : names) {
//         const TwzEntryWriter::TwzResult result = writer.WriteItem(archive, name);
//         if (!result.Ok()) ... report result.Status, result.Path, result.Reason ...
//     }
class TwzEntryWriter
{
public:
    enum class TwzStatus {
        Written,            // the file is complete at Path
        UnsafeName,         // refused by TwzSafePath; nothing touched
        FolderNotCreatable, // Directory could not be created or is not a plain folder
        FileNotCreatable,   // the temporary file could not be made, or not renamed to Path
        Exists,             // keep-existing is on and Path already exists; left as it was
        EntryUnreadable,    // the fill function could not read the entry
        WriteError,         // the bytes could not be written (disk full, size limit)
    };

    struct TwzResult
    {
        TwzStatus Status = TwzStatus::Written;
        // The final path (folder + "/" + mapped name); empty for an unsafe name.
        QString Path;
        // The folder the file belongs in (folder + "/" + directory part, or
        // the folder itself); empty for an unsafe name.
        QString Directory;
        // Why it failed: the refusal of an unsafe name, the system's reason
        // (strerror text), or the fill function's reason. Empty when written.
        QString Reason;

        bool Ok() const { return Status == TwzStatus::Written; }
    };

    // Writes the entry's bytes into Out. Returns false with Reason when the
    // entry cannot be read; may throw TwzStreamWriteError when Out refuses
    // bytes. Out is a file opened for writing, at position 0.
    using TwzFill = std::function<bool(QIODevice &Out, QString &Reason)>;

    TwzEntryWriter() = default;
    ~TwzEntryWriter();
    TwzEntryWriter(const TwzEntryWriter &) = delete;
    TwzEntryWriter &operator=(const TwzEntryWriter &) = delete;

    // Opens the destination folder, which must exist (it may itself be a
    // symbolic link: the user chose it). False with the system's reason.
    bool Open(const QString &Folder, QString *Reason = nullptr);
    bool IsOpen() const { return FRoot >= 0; }
    QString Folder() const { return FFolder; }

    // With keep-existing on, an existing final name (file, link or anything
    // else) is left alone and the entry reports Exists.
    void SetKeepExisting(bool Keep) { FKeepExisting = Keep; }
    bool KeepExisting() const { return FKeepExisting; }

    // Anonymous temporary files (O_TMPFILE) are used where the file system
    // offers them; off forces named temporary files, as on file systems
    // without them.
    void SetAnonymousFiles(bool Use) { FAnonymousFiles = Use; }

    // Writes one entry named EntryName with the bytes Fill supplies.
    // SizeHint, when known, is the number of bytes Fill will write.
    TwzResult Write(const QString &EntryName, const TwzFill &Fill, qint64 SizeHint = -1);

    // The entry looked up by name as TwzCMB::ExtractItem does (the first
    // readable entry of a case-folded equal name), written under Name.
    TwzResult WriteItem(const TwzCMB &Archive, const QString &Name,
                        const TwzCMB::TwzProgress &Progress = {});

    // One given entry with its own bytes, written under its name. Copies as
    // TwzCMB::ExtractEntry does, with the data file opened once.
    TwzResult WriteEntry(const TwzCMB &Archive, const TwzCMB::TwzBCDItem &Item,
                         const TwzCMB::TwzProgress &Progress = {});

    static QString StatusText(TwzStatus Status);

private:
    // A file being written, not yet under its final name.
    struct TPendingFile
    {
        explicit TPendingFile(int InDirectory) : Directory(InDirectory) {}
        int Directory;
        int Handle = -1;
        bool Anonymous = false; // O_TMPFILE: no name at all yet
        char TempName[32] = {}; // the temporary name, when it has one
    };

    // 0, or the errno why no file could be made.
    int CreatePending(TPendingFile &Pending);
    void NewTempName(TPendingFile &Pending);
    // Names an anonymous file: 0 or the errno.
    int LinkAnonymous(const TPendingFile &Pending, const char *Name);
    // Gives the complete file its final name.
    TwzStatus Publish(TPendingFile &Pending, const char *FinalName, QString &Reason);
    // Closes and removes whatever is left of a pending file.
    static void Discard(TPendingFile &Pending);

    // A handle on the folder RelativeDir below the root, made if missing.
    int OpenDirectory(const QStringList &Components, qsizetype Count, QString &Reason);
    void CloseDirectories();
    // The data file, opened and locked on first use; null when it cannot be
    // (the copy then opens it itself and says why).
    const TwzRegularFile *DataFile(const QString &FileName);

    QString FFolder;
    int FRoot = -1;
    bool FKeepExisting = false;
    // Relative folder path -> handle of a folder made or checked already.
    QHash<QString, int> FDirectories;
    std::unique_ptr<TwzRegularFile> FDataFile;
    QString FDataFileName;
    quint32 FTempCounter = 0;
    bool FAnonymousFiles = true;
    bool FLinkByHandle = true;
};
