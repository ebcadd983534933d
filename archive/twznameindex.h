#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// Finds entries by name, case folded, in index order: the first entry of a
// name, then each later entry of an equal name. An open-addressing table of
// folded-name hashes, built without a string per entry, so that a million
// names take a fraction of a second.
class TwzNameIndex
{
public:
    using TwzNameAt = std::function<QStringView(qsizetype Index)>;

    void Build(qsizetype Count, const TwzNameAt &NameAt);
    void Clear();
    bool IsBuilt() const { return FBuilt; }

    // The first entry whose name equals Name, case folded; -1 if none.
    qsizetype Find(QStringView Name, const TwzNameAt &NameAt) const;
    // The next entry of the same name after Index; -1 at the end.
    qsizetype Next(qsizetype Index) const;

    // Equal for names that compare equal with case ignored.
    static quint64 FoldedHash(QStringView Name);

private:
    std::vector<qsizetype> FSlots; // entry index of a name's first entry, -1: empty
    std::vector<quint64> FHashes;  // per entry
    std::vector<qsizetype> FNext;  // per entry: the next entry of the same name
    quint64 FMask = 0;
    bool FBuilt = false;
};
