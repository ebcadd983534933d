// Entry names from arbitrary bytes, written by the safe writer into
// sandbox/extract beside sandbox/outside/sentinel and a symbolic link that
// points outside. Aborts if anything appears or changes outside extract/, if
// a written file lies outside it, or if a failed entry leaves a file behind.
#include "fuzzsandbox.h"

#include "twzentrywriter.h"
#include "twzerrors.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

const QByteArray SentinelBytes = "must never change\n";

struct TSandbox
{
    QString Root, Extract, Outside, Sentinel;
};

const TSandbox &Sandbox()
{
    static const TSandbox box = [] {
        TSandbox b;
        b.Root = TFuzzSandbox::Folder();
        b.Extract = b.Root + QStringLiteral("/extract");
        b.Outside = b.Root + QStringLiteral("/outside");
        b.Sentinel = b.Outside + QStringLiteral("/sentinel");
        QDir().mkpath(b.Outside);
        QFile sentinel(b.Sentinel);
        if (!sentinel.open(QIODevice::WriteOnly) ||
            sentinel.write(SentinelBytes) != SentinelBytes.size())
            abort();
        return b;
    }();
    return box;
}

// extract/ afresh, with links that lead out of it.
void ResetExtract(const TSandbox &Box)
{
    QDir(Box.Extract).removeRecursively();
    if (!QDir().mkpath(Box.Extract))
        abort();
    QFile::link(QStringLiteral("../outside"), Box.Extract + QStringLiteral("/out"));
    QFile::link(Box.Sentinel, Box.Extract + QStringLiteral("/sentinel"));
    QFile::link(QStringLiteral("/"), Box.Extract + QStringLiteral("/root"));
}

void CheckOutside(const TSandbox &Box)
{
    const QStringList rootEntries = QDir(Box.Root).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot);
    if (rootEntries != QStringList{QStringLiteral("extract"), QStringLiteral("outside")})
        abort();
    const QStringList outsideEntries =
        QDir(Box.Outside)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (outsideEntries != QStringList{QStringLiteral("sentinel")})
        abort();
    QFile sentinel(Box.Sentinel);
    if (!QFileInfo(Box.Sentinel).isFile() || QFileInfo(Box.Sentinel).isSymLink() ||
        !sentinel.open(QIODevice::ReadOnly) || sentinel.readAll() != SentinelBytes)
        abort();
}

QStringList NamesFrom(QByteArrayView Bytes)
{
    // The first byte picks how the rest becomes text: Latin-1 (every byte a
    // character, controls included) or UTF-8.
    const bool cp932 = !Bytes.isEmpty() && (Bytes[0] & 1);
    const QByteArrayView rest = Bytes.isEmpty() ? Bytes : Bytes.sliced(1);
    QStringList names;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\n') {
            const QByteArrayView piece = rest.sliced(start, i - start);
            names.append(cp932 ? QString::fromLatin1(piece) : QString::fromUtf8(piece));
            start = i + 1;
        }
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    const TSandbox &box = Sandbox();
    ResetExtract(box);

    const QStringList names = NamesFrom(bytes);
    QSet<QString> written;
    {
        TwzEntryWriter writer;
        if (!writer.Open(box.Extract))
            abort();
        writer.SetKeepExisting(Size % 3 == 0);
        for (qsizetype i = 0; i < names.size() && i < 64; ++i) {
            const QByteArray content = names[i].toUtf8();
            // Some entries fail to read, some fail to write, after a part.
            const int mode = static_cast<int>((i + Size) % 5);
            const auto result = writer.Write(names[i], [&](QIODevice &Out, QString &Reason) {
                Out.write(content.first(content.size() / 2));
                if (mode == 3) {
                    Reason = QStringLiteral("unreadable");
                    return false;
                }
                if (mode == 4)
                    throw TwzStreamWriteError(QStringLiteral("disk full"));
                Out.write(content.sliced(content.size() / 2));
                return true;
            });
            if (result.Ok()) {
                if (mode >= 3)
                    abort(); // a failure reported as success
                const QFileInfo info(result.Path);
                const QString canonical = info.canonicalFilePath();
                if (!canonical.startsWith(QFileInfo(box.Extract).canonicalFilePath() +
                                          QLatin1Char('/')) ||
                    info.isSymLink())
                    abort();
                QFile file(result.Path);
                if (!file.open(QIODevice::ReadOnly) || file.readAll() != content)
                    abort();
                written.insert(canonical);
            }
        }
    }
    CheckOutside(box);

    // Nothing but the written files, their folders and the planted links.
    QDirIterator it(box.Extract,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isSymLink() || info.isDir())
            continue;
        if (!written.contains(info.canonicalFilePath()))
            abort(); // a leftover temporary or partial file
    }
    return 0;
}
