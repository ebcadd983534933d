#include "twzapplication.h"
#include "twzerrors.h"

#include <QApplication>
#include <QFontInfo>
#include <QTest>

class TestTwzApplication : public QObject
{
    Q_OBJECT

private slots:
    void ErrorDisplayText_data()
    {
        QTest::addColumn<QString>("Message");
        QTest::addColumn<QString>("Shown");

        QTest::newRow("Japanese") << QStringLiteral("ファイル a.cmb は開けません")
                                  << QStringLiteral("ファイル a.cmb は開けません.");
        QTest::newRow("letter") << QStringLiteral("bad data") << QStringLiteral("bad data.");
        QTest::newRow("digit") << QStringLiteral("line 12") << QStringLiteral("line 12.");
        QTest::newRow("slash sorts after the period")
            << QStringLiteral("a/") << QStringLiteral("a/.");
        QTest::newRow("closing quote") << QStringLiteral("'12a'") << QStringLiteral("'12a'");
        QTest::newRow("period") << QStringLiteral("done.") << QStringLiteral("done.");
        QTest::newRow("space") << QStringLiteral("trailing ") << QStringLiteral("trailing ");
        QTest::newRow("exclamation") << QStringLiteral("stop!") << QStringLiteral("stop!");
        QTest::newRow("parenthesis") << QStringLiteral("(x)") << QStringLiteral("(x)");
        QTest::newRow("hyphen") << QStringLiteral("a-") << QStringLiteral("a-");
        QTest::newRow("comma") << QStringLiteral("a,") << QStringLiteral("a,");
        QTest::newRow("character beyond the BMP") << QStringLiteral("𠮷") << QStringLiteral("𠮷.");
        QTest::newRow("empty") << QString() << QString();
    }
    void ErrorDisplayText()
    {
        QFETCH(QString, Message);
        QFETCH(QString, Shown);
        QCOMPARE(TwzApplication::ErrorDisplayText(Message), Shown);
    }

    void ErrorDisplayTextOfAnError()
    {
        QCOMPARE(TwzApplication::ErrorDisplayText(TwzConvertError(QStringLiteral("12a"))),
                 QStringLiteral("'12a' は整数ではありません."));
    }

    void TitleIsTheProductName() { QCOMPARE(TwzApplication::Title(), QStringLiteral("cmbViewer")); }

    void IconLoadsFromTheResources()
    {
        const QIcon Icon = TwzApplication::Icon();
        QVERIFY(!Icon.isNull());
        QVERIFY(!Icon.pixmap(32, 32).isNull());
    }

    void UiFontFallsBackToAJapaneseFont()
    {
        const QFont Font = TwzApplication::UiFont();
        QCOMPARE(Font.pixelSize(), 12);
        QCOMPARE(Font.families().value(0), QStringLiteral("ＭＳ Ｐゴシック"));
        QVERIFY(Font.families().contains(QStringLiteral("IPAPGothic")));
    }
};

QTEST_MAIN(TestTwzApplication)
#include "tst_twzapplication.moc"
