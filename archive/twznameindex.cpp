#include "twznameindex.h"

#include <QChar>

namespace {

// Most names looked up are spelt as stored: try the plain comparison first.
bool SameName(QStringView A, QStringView B)
{
    return A == B || A.compare(B, Qt::CaseInsensitive) == 0;
}

} // namespace

quint64 TwzNameIndex::FoldedHash(QStringView Name)
{
    // FNV-1a over the folded code points, so that names equal under a
    // case-insensitive comparison hash alike.
    quint64 hash = 14695981039346656037ULL;
    const qsizetype size = Name.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = Name[i].unicode();
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                c += 'a' - 'A';
        } else if (c < 0x3000 || c >= 0xA000) { // kana and CJK have no case
            if (QChar::isHighSurrogate(c) && i + 1 < size && Name[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(static_cast<char16_t>(c), Name[++i].unicode());
            c = QChar::toCaseFolded(c);
        }
        hash = (hash ^ c) * 1099511628211ULL;
    }
    // A final mix, so that the low bits the table uses depend on every
    // character (names often differ only in a digit or two).
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ULL;
    return hash ^ (hash >> 33);
}

void TwzNameIndex::Clear()
{
    FSlots.clear();
    FHashes.clear();
    FNext.clear();
    FMask = 0;
    FBuilt = false;
}

void TwzNameIndex::Build(qsizetype Count, const TwzNameAt &NameAt)
{
    Clear();
    size_t capacity = 16;
    while (capacity < static_cast<size_t>(Count) * 2)
        capacity *= 2;
    FSlots.assign(capacity, -1);
    FMask = capacity - 1;
    FHashes.resize(static_cast<size_t>(Count));
    FNext.assign(static_cast<size_t>(Count), -1);
    // The last entry so far of each name, to append to its chain in order.
    std::vector<qsizetype> last(static_cast<size_t>(Count), -1);

    for (qsizetype i = 0; i < Count; ++i) {
        const QStringView name = NameAt(i);
        const quint64 hash = FoldedHash(name);
        FHashes[static_cast<size_t>(i)] = hash;
        for (size_t slot = hash & FMask;; slot = (slot + 1) & FMask) {
            const qsizetype first = FSlots[slot];
            if (first < 0) {
                FSlots[slot] = i;
                last[static_cast<size_t>(i)] = i;
                break;
            }
            if (FHashes[static_cast<size_t>(first)] == hash && SameName(name, NameAt(first))) {
                FNext[static_cast<size_t>(last[static_cast<size_t>(first)])] = i;
                last[static_cast<size_t>(first)] = i;
                break;
            }
        }
    }
    FBuilt = true;
}

qsizetype TwzNameIndex::Find(QStringView Name, const TwzNameAt &NameAt) const
{
    if (FSlots.empty())
        return -1;
    const quint64 hash = FoldedHash(Name);
    for (size_t slot = hash & FMask;; slot = (slot + 1) & FMask) {
        const qsizetype first = FSlots[slot];
        if (first < 0)
            return -1;
        if (FHashes[static_cast<size_t>(first)] == hash && SameName(Name, NameAt(first)))
            return first;
    }
}

qsizetype TwzNameIndex::Next(qsizetype Index) const
{
    if (Index < 0 || static_cast<size_t>(Index) >= FNext.size())
        return -1;
    return FNext[static_cast<size_t>(Index)];
}
