#include "twzsafepath.h"

namespace {

bool IsSeparator(QChar C)
{
    return C == QLatin1Char('\\') || C == QLatin1Char('/');
}

bool IsAsciiLetter(QChar C)
{
    const char16_t u = C.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

} // namespace

TwzSafePath TwzSafePath::Refused(const QString &Reason)
{
    TwzSafePath path;
    path.FReason = Reason;
    return path;
}

TwzSafePath TwzSafePath::FromEntryName(const QString &Name)
{
    for (const QChar c : Name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return Refused(QStringLiteral("the name contains a control character"));
    }
    // "\\server\share" and "\\?\C:\" are checked before the plain leading
    // separator only to give the clearer reason.
    if (Name.size() >= 2 && IsSeparator(Name[0]) && IsSeparator(Name[1]))
        return Refused(QStringLiteral("the name is a network (UNC) path"));
    if (!Name.isEmpty() && IsSeparator(Name[0]))
        return Refused(QStringLiteral("the name is an absolute path"));
    if (Name.size() >= 2 && Name[1] == QLatin1Char(':') && IsAsciiLetter(Name[0]))
        return Refused(QStringLiteral("the name starts with a drive letter"));

    TwzSafePath path;
    qsizetype start = 0;
    const qsizetype length = Name.size();
    for (qsizetype i = 0; i <= length; ++i) {
        if (i < length && !IsSeparator(Name[i]))
            continue;
        const QStringView component = QStringView(Name).mid(start, i - start);
        start = i + 1;
        if (component.isEmpty() || component == u".")
            continue;
        if (component == u"..")
            return Refused(QStringLiteral("the name contains a \"..\" component"));
        path.FComponents.append(component.toString());
    }
    if (path.FComponents.isEmpty())
        return Refused(QStringLiteral("the name names no file"));
    return path;
}

QString TwzSafePath::DirectoryPart() const
{
    QString directory;
    for (qsizetype i = 0; i + 1 < FComponents.size(); ++i) {
        if (i > 0)
            directory += QLatin1Char('/');
        directory += FComponents[i];
    }
    return directory;
}
