// How an index file's bytes become entries and a data file path.

#include "cmbfixture.h"
#include "twzcmb.h"

#include <QTemporaryDir>
#include <QTest>

using namespace CmbFixture;

class TestTwzIndexFormat : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void integers_data();
    void integers();
    void badNumbers_data();
    void badNumbers();
    void encodings_data();
    void encodings();
    void backslashTrailByteInDataFileLine();

private:
    // "name|offset|size" per entry, in index order.
    static QByteArrayList Describe(const TwzCMB &Archive);
};

QByteArrayList TestTwzIndexFormat::Describe(const TwzCMB &Archive)
{
    QByteArrayList result;
    for (const TwzCMB::TwzBCDItem &item : Archive.Items())
        result += item.Name.toUtf8() + '|' + QByteArray::number(item.Offset) + '|' +
                  QByteArray::number(item.Size);
    return result;
}

void TestTwzIndexFormat::parse_data()
{
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QByteArrayList>("entries");
    QTest::addColumn<bool>("hasDataFile");
    QTest::addColumn<QByteArray>("dataFileLine"); // as joined to the index folder

    const QByteArray body = "[a.txt]\r\n0\r\n5\r\n\r\n[b.txt]\r\n5\r\n7\r\n";
    const QByteArrayList ab{"a.txt|0|5", "b.txt|5|7"};
    auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

    row("written layout") << QByteArray("[BinaryCombineData]\r\ndata.bin\r\n\r\n" + body) << ab
                          << true << QByteArray("data.bin");
    row("LF only") << QByteArray(
                          "[BinaryCombineData]\ndata.bin\n\n[a.txt]\n0\n5\n\n[b.txt]\n5\n7\n")
                   << ab << true << QByteArray("data.bin");
    row("CR only") << QByteArray(
                          "[BinaryCombineData]\rdata.bin\r\r[a.txt]\r0\r5\r\r[b.txt]\r5\r7\r")
                   << ab << true << QByteArray("data.bin");
    row("mixed breaks") << QByteArray(
                               "[BinaryCombineData]\ndata.bin\r[a.txt]\r\n0\n5\r[b.txt]\n5\r\n7")
                        << ab << true << QByteArray("data.bin");
    row("LF CR gives an empty line") << QByteArray("[BinaryCombineData]\n\rdata.bin\n")
                                     << QByteArrayList() << true << QByteArray("");
    row("no final break") << QByteArray("[a.txt]\r\n0\r\n5") << QByteArrayList{"a.txt|0|5"} << false
                          << QByteArray("");
    row("empty file") << QByteArray() << QByteArrayList() << false << QByteArray("");
    row("only breaks") << QByteArray("\r\n\n\r\r\n") << QByteArrayList() << false << QByteArray("");

    row("NUL ends the text") << QByteArray("[a.txt]\r\n0\r\n5\r\n\0[b.txt]\r\n5\r\n7\r\n", 30)
                             << QByteArrayList{"a.txt|0|5"} << false << QByteArray("");
    row("NUL inside the size line") << QByteArray("[a.txt]\r\n0\r\n5\0zz\r\n", 16)
                                    << QByteArrayList{"a.txt|0|5"} << false << QByteArray("");
    row("NUL before the size line") << QByteArray("[a.txt]\r\n0\r\n\0"
                                                  "5\r\n",
                                                  15)
                                    << QByteArrayList() << false << QByteArray("");
    row("NUL first") << QByteArray("\0[a.txt]\r\n0\r\n5\r\n", 16) << QByteArrayList() << false
                     << QByteArray("");

    row("trimmed section and numbers")
        << QByteArray("\x0b \t[a.txt]\x01\x1f \r\n   120  \r\n\t7\x0b\r\n")
        << QByteArrayList{"a.txt|120|7"} << false << QByteArray("");
    row("DEL is not trimmed") << QByteArray("[a.txt]\x7f\r\n0\r\n5\r\n") << QByteArrayList()
                              << false << QByteArray("");
    row("text before the bracket")
        << QByteArray("x[a.txt]\r\n0\r\n5\r\n") << QByteArrayList() << false << QByteArray("");
    row("lone brackets") << QByteArray("[\r\n]\r\n[a\r\na]\r\n0\r\n5\r\n") << QByteArrayList()
                         << false << QByteArray("");
    row("empty name") << QByteArray("[]\r\n1\r\n2\r\n") << QByteArrayList{"|1|2"} << false
                      << QByteArray("");
    row("inner spaces and brackets kept")
        << QByteArray("[ a b ]\r\n1\r\n2\r\n[[c]]\r\n3\r\n4\r\n")
        << QByteArrayList{" a b |1|2", "[c]|3|4"} << false << QByteArray("");
    row("sub-folder name") << QByteArray("[dir\\sub\\a.txt]\r\n1\r\n2\r\n")
                           << QByteArrayList{"dir\\sub\\a.txt|1|2"} << false << QByteArray("");

    row("header in lower case") << QByteArray("[binarycombinedata]\r\nd.bin\r\n")
                                << QByteArrayList() << true << QByteArray("d.bin");
    row("header in upper case") << QByteArray("[BINARYCOMBINEDATA]\r\nd.bin\r\n")
                                << QByteArrayList() << true << QByteArray("d.bin");
    row("header with spaces inside is an entry")
        << QByteArray("[ BinaryCombineData ]\r\n1\r\n2\r\n")
        << QByteArrayList{" BinaryCombineData |1|2"} << false << QByteArray("");
    row("header with a trailing space inside is an entry")
        << QByteArray("[BinaryCombineData ]\r\n1\r\n2\r\n")
        << QByteArrayList{"BinaryCombineData |1|2"} << false << QByteArray("");
    row("full-width header is an entry")
        << QByteArray("[ＢｉｎａｒｙＣｏｍｂｉｎｅＤａｔａ]\r\n1\r\n2\r\n")
        << QByteArrayList{"ＢｉｎａｒｙＣｏｍｂｉｎｅＤａｔａ|1|2"} << false << QByteArray("");
    row("header section trimmed") << QByteArray("  [BinaryCombineData]\t\r\nd.bin\r\n")
                                  << QByteArrayList() << true << QByteArray("d.bin");

    row("data file line not trimmed") << QByteArray("[BinaryCombineData]\r\n data.bin\t \r\n")
                                      << QByteArrayList() << true << QByteArray(" data.bin\t ");
    row("backslash read as slash") << QByteArray("[BinaryCombineData]\r\nsub\\data.bin\r\n")
                                   << QByteArrayList() << true << QByteArray("sub/data.bin");
    row("empty data file line") << QByteArray("[BinaryCombineData]\r\n\r\n[a]\r\n1\r\n2\r\n")
                                << QByteArrayList{"a|1|2"} << true << QByteArray("");
    row("no header") << body << ab << false << QByteArray("");
    row("last header followed by a line wins")
        << QByteArray("[BinaryCombineData]\r\none.bin\r\n[binarycombinedata]\r\ntwo.bin\r\n")
        << QByteArrayList() << true << QByteArray("two.bin");
    row("header as last line does nothing")
        << QByteArray("[BinaryCombineData]\r\none.bin\r\n[BinaryCombineData]\r\n")
        << QByteArrayList() << true << QByteArray("one.bin");
    row("header alone") << QByteArray("[BinaryCombineData]\r\n") << QByteArrayList() << false
                        << QByteArray("");
    row("header after the entries") << QByteArray(body + "[BinaryCombineData]\r\nd.bin\r\n") << ab
                                    << true << QByteArray("d.bin");
    row("bracketed data file line is also a section")
        << QByteArray("[BinaryCombineData]\r\n[x]\r\n1\r\n2\r\n") << QByteArrayList{"x|1|2"} << true
        << QByteArray("[x]");
    row("header as data file line is a header again")
        << QByteArray("[BinaryCombineData]\r\n[BinaryCombineData]\r\nd.bin\r\n") << QByteArrayList()
        << true << QByteArray("d.bin");

    row("entry as last line gives nothing")
        << QByteArray(body + "[c]\r\n") << ab << false << QByteArray("");
    row("entry as second-to-last line gives nothing")
        << QByteArray(body + "[c]\r\n1\r\n") << ab << false << QByteArray("");
    row("entries keep file order")
        << QByteArray("[z]\r\n1\r\n1\r\n[a]\r\n2\r\n2\r\n[m]\r\n3\r\n3\r\n")
        << QByteArrayList{"z|1|1", "a|2|2", "m|3|3"} << false << QByteArray("");
    row("duplicate names all kept")
        << QByteArray("[a.png]\r\n1\r\n1\r\n[A.PNG]\r\n2\r\n2\r\n")
        << QByteArrayList{"a.png|1|1", "A.PNG|2|2"} << false << QByteArray("");
    row("negative numbers kept") << QByteArray("[a]\r\n-1\r\n-2\r\n") << QByteArrayList{"a|-1|-2"}
                                 << false << QByteArray("");
}

void TestTwzIndexFormat::parse()
{
    QFETCH(QByteArray, index);
    QFETCH(QByteArrayList, entries);
    QFETCH(bool, hasDataFile);
    QFETCH(QByteArray, dataFileLine);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = WriteFile(dir, QStringLiteral("test.cmb"), index);
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(path));
    QCOMPARE(Describe(archive), entries);
    QCOMPARE(archive.DataFileName(),
             hasDataFile ? dir.path() + QLatin1Char('/') + QString::fromUtf8(dataFileLine)
                         : QString());

    // Streaming the index sees the same entries.
    QByteArrayList scanned;
    QVERIFY(TwzCMB::ScanIndex(path, TwzEncoding::Auto, [&scanned](const TwzCMB::TwzBCDItem &Item) {
        scanned += Item.Name.toUtf8() + '|' + QByteArray::number(Item.Offset) + '|' +
                   QByteArray::number(Item.Size);
    }));
    QCOMPARE(scanned, entries);
}

void TestTwzIndexFormat::integers_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qint32>("value");

    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("decimal") << QByteArray("120") << 120;
    QTest::newRow("between spaces") << QByteArray("  120 \t") << 120;
    QTest::newRow("plus") << QByteArray("+120") << 120;
    QTest::newRow("minus") << QByteArray("-120") << -120;
    QTest::newRow("minus zero") << QByteArray("-0") << 0;
    QTest::newRow("leading zeros") << QByteArray("000000000000000000120") << 120;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("largest with plus") << QByteArray("+2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << qint32(-2147483647 - 1);
    QTest::newRow("dollar") << QByteArray("$78") << 120;
    QTest::newRow("x") << QByteArray("x78") << 120;
    QTest::newRow("X") << QByteArray("X78") << 120;
    QTest::newRow("0x") << QByteArray("0x78") << 120;
    QTest::newRow("0X") << QByteArray("0X78") << 120;
    QTest::newRow("hex digits in both cases") << QByteArray("$aBcDeF") << 0xabcdef;
    QTest::newRow("hex leading zeros") << QByteArray("$0000000000ff") << 255;
    QTest::newRow("hex largest positive") << QByteArray("$7FFFFFFF") << 2147483647;
    QTest::newRow("hex two's complement") << QByteArray("$FFFFFFFF") << -1;
    QTest::newRow("hex smallest") << QByteArray("0x80000000") << qint32(-2147483647 - 1);
}

void TestTwzIndexFormat::integers()
{
    QFETCH(QByteArray, line);
    QFETCH(qint32, value);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The same text as offset and as size: both lines follow one syntax.
    const QString path = WriteFile(dir, QStringLiteral("test.cmb"), JoinLines({"[a]", line, line}));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(path));
    QCOMPARE(archive.Items().size(), 1);
    QCOMPARE(archive.Items()[0].Offset, value);
    QCOMPARE(archive.Items()[0].Size, value);
}

void TestTwzIndexFormat::badNumbers_data()
{
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QString>("message");

    auto bad = [](const char *name, const QByteArray &offsetLine, const QString &shown) {
        QTest::newRow(name) << JoinLines({"[a]", offsetLine, "1"})
                            << QStringLiteral("'%1' は整数ではありません").arg(shown);
    };
    bad("trailing letter", "12a", QStringLiteral("12a"));
    bad("trailing letter between spaces", "  12a\t", QStringLiteral("12a"));
    bad("empty", "", QString());
    bad("spaces only", "  \t ", QString());
    bad("above the range", "2147483648", QStringLiteral("2147483648"));
    bad("below the range", "-2147483649", QStringLiteral("-2147483649"));
    bad("far above the range", "99999999999999999999999",
        QStringLiteral("99999999999999999999999"));
    bad("hex above 32 bits", "$100000000", QStringLiteral("$100000000"));
    bad("prefix only $", "$", QStringLiteral("$"));
    bad("prefix only 0x", "0x", QStringLiteral("0x"));
    bad("prefix only X", "X", QStringLiteral("X"));
    bad("sign only", "-", QStringLiteral("-"));
    bad("two signs", "+-1", QStringLiteral("+-1"));
    bad("signed hex", "-$1", QStringLiteral("-$1"));
    bad("signed 0x", "-0x1", QStringLiteral("-0x1"));
    bad("sign after prefix", "$-1", QStringLiteral("$-1"));
    bad("non-hex digit", "$1g", QStringLiteral("$1g"));
    bad("inner space", "1 2", QStringLiteral("1 2"));
    bad("fraction", "1.0", QStringLiteral("1.0"));
    bad("exponent", "1e3", QStringLiteral("1e3"));
    bad("full-width digits", "１２", QStringLiteral("１２"));
    bad("section line", "[b]", QStringLiteral("[b]"));
    QTest::newRow("size line") << JoinLines({"[a]", "1", "zz"})
                               << QStringLiteral("'zz' は整数ではありません");
    QTest::newRow("LF CR empty size line")
        << QByteArray("[a]\r\n1\n\r2\r\n") << QStringLiteral("'' は整数ではありません");
    QTest::newRow("shift-jis text") << JoinLines({"[a]", "\x83\x5c\x95\x5c", "1"})
                                    << QStringLiteral("'ソ表' は整数ではありません");
    QTest::newRow("after good entries") << JoinLines({"[a]", "1", "2", "[b]", "3", "4x"})
                                        << QStringLiteral("'4x' は整数ではありません");
}

void TestTwzIndexFormat::badNumbers()
{
    QFETCH(QByteArray, index);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = WriteFile(dir, QStringLiteral("test.cmb"), index);
    TwzCMB archive;
    try {
        archive.LoadIndex(path);
        QFAIL("no conversion error");
    } catch (const TwzConvertError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
        QCOMPARE(e.Message(), message);
    }
    QVERIFY_THROWS_EXCEPTION(TwzConvertError, TwzCMB::ScanIndex(path, TwzEncoding::Auto,
                                                                [](const TwzCMB::TwzBCDItem &) {}));
}

void TestTwzIndexFormat::encodings_data()
{
    QTest::addColumn<QByteArray>("name"); // bytes between the brackets
    QTest::addColumn<TwzEncoding>("requested");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<TwzEncoding>("resolved");

    // ソ and 表 end in 0x5C, the byte of "\".
    const QByteArray sjis = "\x95\x5c\\\x83\x5c.txt"; // 表\ソ.txt
    const QByteArray utf8 = "表\\ソ.txt";
    const QString text = QStringLiteral("表\\ソ.txt");

    QTest::newRow("shift-jis, auto") << sjis << TwzEncoding::Auto << text << TwzEncoding::Cp932;
    QTest::newRow("shift-jis, told") << sjis << TwzEncoding::Cp932 << text << TwzEncoding::Cp932;
    QTest::newRow("utf-8, auto") << utf8 << TwzEncoding::Auto << text << TwzEncoding::Utf8;
    QTest::newRow("utf-8, told") << utf8 << TwzEncoding::Utf8 << text << TwzEncoding::Utf8;
    QTest::newRow("ascii, auto") << QByteArray("a.txt") << TwzEncoding::Auto
                                 << QStringLiteral("a.txt") << TwzEncoding::Utf8;
    QTest::newRow("half-width katakana") << QByteArray("\xb1\xb2.txt") << TwzEncoding::Auto
                                         << QStringLiteral("ｱｲ.txt") << TwzEncoding::Cp932;
    // Windows' own table, not plain Shift_JIS: its wave dash and NEC signs.
    QTest::newRow("windows extensions")
        << QByteArray("\x81\x60\x87\x40\x87\x5c") << TwzEncoding::Auto << QStringLiteral("～①Ⅸ")
        << TwzEncoding::Cp932;
    // Valid UTF-8 read as told, byte by byte through the Shift-JIS table.
    QTest::newRow("utf-8 bytes told shift-jis")
        << QByteArray("ソ") << TwzEncoding::Cp932 << QStringLiteral("繧ｽ") << TwzEncoding::Cp932;
    QTest::newRow("shift-jis bytes told utf-8") << QByteArray("\x83\x5c") << TwzEncoding::Utf8
                                                << QStringLiteral("\ufffd\\") << TwzEncoding::Utf8;
}

void TestTwzIndexFormat::encodings()
{
    QFETCH(QByteArray, name);
    QFETCH(TwzEncoding, requested);
    QFETCH(QString, expected);
    QFETCH(TwzEncoding, resolved);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = WriteFile(dir, QStringLiteral("test.cmb"),
                                   JoinLines({"[BinaryCombineData]", "d.bin", "", "[" + name + "]",
                                              "0", "1", "", "[plain]", "1", "1"}));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(path, requested));
    QCOMPARE(archive.Encoding(), resolved);
    QStringList names;
    QCOMPARE(archive.GetItemNames(names), 2);
    QCOMPARE(names, (QStringList{expected, QStringLiteral("plain")}));
}

// A folder named in Shift-JIS with a 0x5C trail byte keeps its character;
// only the real separator becomes "/".
void TestTwzIndexFormat::backslashTrailByteInDataFileLine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = WriteFile(
        dir, QStringLiteral("test.cmb"),
        JoinLines({"[BinaryCombineData]", "\x83\x5c\\\x95\x5c.bin", "", "[\x83\x5c]", "0", "1"}));
    TwzCMB archive;
    QVERIFY(archive.LoadIndex(path));
    QCOMPARE(archive.DataFileName(), dir.path() + QStringLiteral("/ソ/表.bin"));
}

QTEST_GUILESS_MAIN(TestTwzIndexFormat)
#include "tst_twzindexformat.moc"
