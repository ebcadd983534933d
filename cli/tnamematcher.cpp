#include "tnamematcher.h"

#include <algorithm>

namespace {

bool IsWildcard(QChar C)
{
    return C == QLatin1Char('*') || C == QLatin1Char('?');
}

// Length in UTF-16 units of the character at Index, so that "?" matches a
// character outside the basic plane as one.
qsizetype CharLength(QStringView Text, qsizetype Index)
{
    return (Index + 1 < Text.size() && Text[Index].isHighSurrogate() &&
            Text[Index + 1].isLowSurrogate())
               ? 2
               : 1;
}

} // namespace

TNameMatcher::TNameMatcher(const QStringList &Patterns)
    : FPatterns(Patterns), FMatched(Patterns.size(), false)
{
    for (qsizetype i = 0; i < Patterns.size(); ++i) {
        const QString key = Key(Patterns[i]);
        if (std::any_of(key.cbegin(), key.cend(), IsWildcard))
            FWildcards.append({key, i});
        else
            FLiterals[key].append(i);
    }
}

QString TNameMatcher::Key(const QString &Name)
{
    QString key = Name.toCaseFolded();
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return key;
}

bool TNameMatcher::Matches(const QString &Name)
{
    const QString key = Key(Name);
    bool matched = false;
    if (const auto it = FLiterals.constFind(key); it != FLiterals.constEnd()) {
        matched = true;
        for (const qsizetype i : it.value())
            FMatched[i] = true;
    }
    for (const auto &[pattern, index] : std::as_const(FWildcards)) {
        // Once this name is in, only patterns still unmatched need a test.
        if (matched && FMatched[index])
            continue;
        if (WildcardMatch(pattern, key)) {
            matched = true;
            FMatched[index] = true;
        }
    }
    return matched;
}

QStringList TNameMatcher::Unmatched() const
{
    QStringList names;
    for (qsizetype i = 0; i < FPatterns.size(); ++i) {
        if (!FMatched[i])
            names.append(FPatterns[i]);
    }
    return names;
}

bool TNameMatcher::WildcardMatch(QStringView Pattern, QStringView Key)
{
    // Greedy matching that backtracks only to the last "*": linear for the
    // usual patterns, never exponential.
    qsizetype p = 0, k = 0;
    qsizetype starP = -1, starK = 0;
    while (k < Key.size()) {
        if (p < Pattern.size() && Pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starK = k;
        } else if (p < Pattern.size() && Pattern[p] == QLatin1Char('?')) {
            ++p;
            k += CharLength(Key, k);
        } else if (p < Pattern.size() && Pattern[p] == Key[k]) {
            ++p;
            ++k;
        } else if (starP >= 0) {
            p = starP + 1;
            starK += CharLength(Key, starK);
            k = starK;
        } else {
            return false;
        }
    }
    while (p < Pattern.size() && Pattern[p] == QLatin1Char('*'))
        ++p;
    return p == Pattern.size();
}
