// The name lookup against a plain reference: for many names, some equal
// with case ignored, every name finds its first entry and the chain of equal
// names runs in index order.
#include "twznameindex.h"

#include <QHash>
#include <QStringList>
#include <QTest>

#include <random>

class TstTwzNameIndex : public QObject
{
    Q_OBJECT

private slots:
    void MatchesReference_data();
    void MatchesReference();
};

void TstTwzNameIndex::MatchesReference_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("distinct"); // names are drawn from this many
    QTest::newRow("empty") << 0 << 1;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("all equal") << 500 << 1;
    QTest::newRow("many duplicates") << 20000 << 300;
    QTest::newRow("mostly distinct") << 20000 << 1000000;
}

void TstTwzNameIndex::MatchesReference()
{
    QFETCH(int, count);
    QFETCH(int, distinct);
    std::mt19937 random(count);
    const QStringList spellings{QStringLiteral("フォルダ%1\\File%2.TXT"),
                                QStringLiteral("フォルダ%1\\file%2.txt"),
                                QStringLiteral("フォルダ%1\\FILE%2.Txt")};
    QStringList names;
    for (int i = 0; i < count; ++i) {
        const int n = static_cast<int>(random() % static_cast<unsigned>(distinct));
        names << spellings[static_cast<int>(random() % 3)].arg(n % 97).arg(n);
    }
    const auto nameAt = [&names](qsizetype i) { return QStringView(names[i]); };
    TwzNameIndex index;
    index.Build(names.size(), nameAt);

    QHash<QString, QList<qsizetype>> reference;
    for (qsizetype i = 0; i < names.size(); ++i)
        reference[names[i].toCaseFolded()].append(i);

    for (auto it = reference.cbegin(); it != reference.cend(); ++it) {
        QList<qsizetype> chain;
        for (qsizetype i = index.Find(names[it.value().first()].toUpper(), nameAt); i >= 0;
             i = index.Next(i))
            chain.append(i);
        QCOMPARE(chain, it.value());
    }
    QCOMPARE(index.Find(QStringLiteral("no such name"), nameAt), qsizetype(-1));
}

QTEST_GUILESS_MAIN(TstTwzNameIndex)
#include "tst_twznameindex.moc"
