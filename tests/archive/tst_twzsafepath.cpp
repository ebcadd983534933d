#include "twzsafepath.h"

#include <QTest>

class TstTwzSafePath : public QObject
{
    Q_OBJECT

private slots:
    void MapsNames_data();
    void MapsNames();
};

void TstTwzSafePath::MapsNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("directory");

    auto safe = [](const char *tag, const QString &name, const QString &relative,
                   const QString &directory = QString()) {
        QTest::newRow(tag) << name << true << relative << directory;
    };
    auto unsafe = [](const char *tag, const QString &name) {
        QTest::newRow(tag) << name << false << QString() << QString();
    };

    safe("plain", QStringLiteral("a.txt"), QStringLiteral("a.txt"));
    safe("backslashes", QStringLiteral("a\\b\\c.txt"), QStringLiteral("a/b/c.txt"),
         QStringLiteral("a/b"));
    safe("slashes", QStringLiteral("a/b/c.txt"), QStringLiteral("a/b/c.txt"),
         QStringLiteral("a/b"));
    safe("mixed", QStringLiteral("a\\b/c.txt"), QStringLiteral("a/b/c.txt"), QStringLiteral("a/b"));
    safe("dot component", QStringLiteral("./a"), QStringLiteral("a"));
    safe("inner dot", QStringLiteral("a\\.\\b"), QStringLiteral("a/b"), QStringLiteral("a"));
    safe("empty component", QStringLiteral("a//b"), QStringLiteral("a/b"), QStringLiteral("a"));
    safe("trailing separator", QStringLiteral("a\\b\\"), QStringLiteral("a/b"),
         QStringLiteral("a"));
    safe("trailing dots", QStringLiteral("foo.."), QStringLiteral("foo.."));
    safe("leading dots", QStringLiteral("..foo"), QStringLiteral("..foo"));
    safe("inner dots", QStringLiteral("a..b\\c"), QStringLiteral("a..b/c"), QStringLiteral("a..b"));
    safe("three dots", QStringLiteral("..."), QStringLiteral("..."));
    safe("hidden file", QStringLiteral(".profile"), QStringLiteral(".profile"));
    safe("colon inside", QStringLiteral("ab:c"), QStringLiteral("ab:c"));
    safe("digit colon", QStringLiteral("1:x"), QStringLiteral("1:x"));
    safe("spaces", QStringLiteral(" a b "), QStringLiteral(" a b "));
    // Decoded CP932 names: the second byte of ソ and 表 is 0x5C, which must
    // not have become a separator.
    safe("cp932 so", QStringLiteral("ソフト\\表紙.txt"), QStringLiteral("ソフト/表紙.txt"),
         QStringLiteral("ソフト"));
    safe("cp932 hyou", QStringLiteral("表\\予定表.txt"), QStringLiteral("表/予定表.txt"),
         QStringLiteral("表"));

    unsafe("empty", QString());
    unsafe("only separators", QStringLiteral("\\/\\"));
    unsafe("only dot", QStringLiteral("."));
    unsafe("dots and separators", QStringLiteral(".\\./"));
    unsafe("parent", QStringLiteral(".."));
    unsafe("parent inside", QStringLiteral("a/../b"));
    unsafe("parent inside backslash", QStringLiteral("a\\..\\..\\b"));
    unsafe("parent last", QStringLiteral("a\\.."));
    unsafe("parent first", QStringLiteral("..\\x"));
    unsafe("absolute slash", QStringLiteral("/etc/x"));
    unsafe("absolute backslash", QStringLiteral("\\Windows\\x"));
    unsafe("drive", QStringLiteral("C:x"));
    unsafe("drive root", QStringLiteral("c:\\x"));
    unsafe("drive only", QStringLiteral("Z:"));
    unsafe("unc", QStringLiteral("\\\\srv\\share\\x"));
    unsafe("unc slashes", QStringLiteral("//srv/share/x"));
    unsafe("device path", QStringLiteral("\\\\?\\C:\\x"));
    unsafe("control character", QStringLiteral("a\x01"
                                               "b"));
    unsafe("newline", QStringLiteral("a\nb"));
    unsafe("delete", QStringLiteral("a\x7f"));
    unsafe("nul", QString(QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")));
}

void TstTwzSafePath::MapsNames()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QFETCH(QString, relative);
    QFETCH(QString, directory);

    const TwzSafePath path = TwzSafePath::FromEntryName(name);
    QCOMPARE(path.IsSafe(), safe);
    if (!safe) {
        QVERIFY(!path.Reason().isEmpty());
        QVERIFY(path.Components().isEmpty());
        return;
    }
    QVERIFY(path.Reason().isEmpty());
    QCOMPARE(path.RelativePath(), relative);
    QCOMPARE(path.DirectoryPart(), directory);
    QCOMPARE(path.FileName(), relative.section(QLatin1Char('/'), -1));
}

QTEST_GUILESS_MAIN(TstTwzSafePath)
#include "tst_twzsafepath.moc"
