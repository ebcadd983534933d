// Arbitrary bytes as an index file: parse them in every encoding, then load
// them from disk, list the entries and extract each one.
#include "fuzzsandbox.h"

#include "twzcmb.h"
#include "twzcp932table.h"
#include "twzindexreader.h"

#include <QFile>
#include <QStringDecoder>

#include <cstddef>
#include <cstdint>

namespace {

// Entries beyond this size are listed but not copied: the data file line may
// name any file on the machine, and reading gigabytes finds nothing new.
constexpr qint32 LargestCopiedEntry = 1 << 16;

void WriteFile(const QString &Path, QByteArrayView Bytes)
{
    QFile file(Path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    file.write(Bytes.data(), Bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    for (TwzEncoding encoding : {TwzEncoding::Auto, TwzEncoding::Cp932, TwzEncoding::Utf8}) {
        try {
            TwzIndexReader::Parse(bytes, encoding);
        } catch (const TwzConvertError &) {
        }
    }

    // The table decoder must agree with the system's converter wherever it
    // claims to know the bytes, but for the three control characters that the
    // converter's IBM table swaps (0x1A, 0x1C, 0x7F), which Windows keeps.
    static QStringDecoder cp932("windows-31j", QStringDecoder::Flag::Stateless |
                                                   QStringDecoder::Flag::ConvertInitialBom);
    QString fromTable;
    if (!bytes.contains('\x1a') && !bytes.contains('\x1c') && !bytes.contains('\x7f') &&
        TwzCp932Table::Instance().Decode(bytes, fromTable) && fromTable != cp932.decode(bytes))
        abort();

    static const QString folder = TFuzzSandbox::Folder();
    static const QString indexPath = folder + QStringLiteral("/index.cmb");
    static bool dataWritten = false;
    if (!dataWritten) {
        QByteArray data(4096, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 7);
        WriteFile(folder + QStringLiteral("/data.bin"), data);
        dataWritten = true;
    }
    WriteFile(indexPath, bytes);

    TwzCMB archive;
    try {
        if (!archive.LoadIndex(indexPath))
            abort(); // it was just written
    } catch (const TwzError &) {
        return 0;
    }
    QStringList names;
    if (archive.GetItemNames(names) != names.size())
        abort();
    for (const TwzCMB::TwzBCDItem &item : archive.Items()) {
        if (item.Size > LargestCopiedEntry)
            continue;
        TDiscardDevice sink;
        try {
            archive.ExtractItem(sink, item.Name);
        } catch (const TwzStreamWriteError &) {
            abort(); // the sink never refuses
        }
    }
    return 0;
}
