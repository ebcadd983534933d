#pragma once

#include <QString>
#include <QStringList>

// Where an entry name may be written below a chosen folder. Entry names are
// Windows-style relative paths: "\" and "/" both separate folders. A name
// that could reach outside the folder (absolute, drive or UNC prefix, "..")
// or that holds control characters is refused with a reason.
class TwzSafePath
{
public:
    static TwzSafePath FromEntryName(const QString &Name);

    bool IsSafe() const { return FReason.isEmpty(); }
    // Why the name was refused; empty when it is safe.
    QString Reason() const { return FReason; }

    // The folders, then the file name; empty and "." components dropped.
    const QStringList &Components() const { return FComponents; }
    // The components joined with "/", e.g. "img/a.png".
    QString RelativePath() const { return FComponents.join(QLatin1Char('/')); }
    // The folders joined with "/", empty for a name in the folder itself.
    QString DirectoryPart() const;
    QString FileName() const { return FComponents.isEmpty() ? QString() : FComponents.last(); }

private:
    static TwzSafePath Refused(const QString &Reason);

    QStringList FComponents;
    QString FReason;
};
