#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Selects entries by the names given on the command line. Names compare as
// the archive compares them (case folded, whole string); "*" matches any run
// of characters and "?" one character. "\" and "/" are the same separator,
// so `docs/readme.txt` finds the entry `docs\readme.txt`.
class TNameMatcher
{
public:
    explicit TNameMatcher(const QStringList &Patterns);

    // True when Name matches a pattern; remembers which patterns matched.
    bool Matches(const QString &Name);

    // The patterns that no name has matched so far, in the order given.
    QStringList Unmatched() const;

    // The comparison key of a name: case folded, "/" as "\".
    static QString Key(const QString &Name);
    // Wildcard match of a key against a folded pattern.
    static bool WildcardMatch(QStringView Pattern, QStringView Key);

private:
    QStringList FPatterns;
    QList<bool> FMatched;
    // Key -> patterns without wildcards: one hash lookup per name.
    QHash<QString, QList<qsizetype>> FLiterals;
    // Patterns with wildcards, folded.
    QList<QPair<QString, qsizetype>> FWildcards;
};
