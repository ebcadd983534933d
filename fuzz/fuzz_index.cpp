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
#include <optional>

namespace {

// Entries beyond this size are listed but not copied: the data file line may
// name any file on the machine, and reading gigabytes finds nothing new.
constexpr qint32 LargestCopiedEntry = 1 << 16;

// The plain line-by-line reading of the format: the oracle for the
// reader's faster walk.
struct TReference
{
    QList<TwzCMB::TwzBCDItem> Entries;
    std::optional<QString> DataFileLine;
    QString Error;
};

TReference ReadPlainly(QByteArrayView Bytes, TwzEncoding Encoding)
{
    TReference result;
    const QList<QByteArrayView> lines = TwzIndexReader::SplitLines(Bytes);
    TwzLineDecoder decoder(TwzIndexReader::TextBeforeNul(Bytes), Encoding);
    auto number = [&](QByteArrayView Line) {
        const QByteArrayView trimmed = TwzIndexReader::Trim(Line);
        if (const auto value = TwzIndexReader::ParseInteger(trimmed))
            return *value;
        throw TwzConvertError(decoder.Decode(trimmed));
    };
    try {
        for (qsizetype j = 0; j < lines.size(); ++j) {
            const QString line = decoder.Decode(TwzIndexReader::Trim(lines[j]));
            if (line.size() < 2 || !line.startsWith(QLatin1Char('[')) ||
                !line.endsWith(QLatin1Char(']')))
                continue;
            const QString name = line.mid(1, line.size() - 2);
            if (name.compare(QStringLiteral("BinaryCombineData"), Qt::CaseInsensitive) == 0) {
                if (j + 1 < lines.size())
                    result.DataFileLine = decoder.Decode(lines[j + 1]);
            } else if (j + 2 < lines.size()) {
                const qint32 offset = number(lines[j + 1]);
                const qint32 size = number(lines[j + 2]);
                result.Entries.append(TwzCMB::TwzBCDItem{name, offset, size});
            }
        }
    } catch (const TwzConvertError &e) {
        result.Error = e.Message();
    }
    return result;
}

void CompareWithReference(QByteArrayView Bytes, TwzEncoding Encoding)
{
    const TReference expected = ReadPlainly(Bytes, Encoding);
    TReference actual;
    try {
        TwzIndexContent content = TwzIndexReader::Parse(Bytes, Encoding);
        actual.Entries = content.Entries;
        actual.DataFileLine = content.DataFileLine;
    } catch (const TwzConvertError &e) {
        actual.Error = e.Message();
    }
    if (actual.Error != expected.Error)
        abort();
    if (!actual.Error.isEmpty())
        return; // entries before the error are not kept
    if (actual.DataFileLine != expected.DataFileLine ||
        actual.Entries.size() != expected.Entries.size())
        abort();
    for (qsizetype i = 0; i < actual.Entries.size(); ++i) {
        const auto &a = actual.Entries[i];
        const auto &b = expected.Entries[i];
        if (a.Name != b.Name || a.Offset != b.Offset || a.Size != b.Size)
            abort();
    }
}

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
    for (TwzEncoding encoding : {TwzEncoding::Auto, TwzEncoding::Cp932, TwzEncoding::Utf8})
        CompareWithReference(bytes, encoding);

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
