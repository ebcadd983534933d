#include "tqtprogressreporter.h"

#include <QDeadlineTimer>
#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

class TestTQtProgressReporter : public QObject
{
    Q_OBJECT

private:
    static QProgressDialog *Dialog(QWidget &Owner)
    {
        return Owner.findChild<QProgressDialog *>(u"dlgProgress"_s);
    }

private slots:
    void LabelText_data()
    {
        QTest::addColumn<qint64>("Items");
        QTest::addColumn<qint64>("Count");
        QTest::addColumn<qint64>("Bytes");
        QTest::addColumn<QString>("Text");
        QTest::newRow("start") << qint64(0) << qint64(3) << qint64(0) << u"0 / 3 件, 0 バイト"_s;
        QTest::newRow("grouped") << qint64(12345) << qint64(100000) << qint64(34.5 * 1024 * 1024)
                                 << u"12,345 / 100,000 件, 34.5 MiB"_s;
        QTest::newRow("large") << qint64(1) << qint64(1) << (qint64(5) << 40)
                               << u"1 / 1 件, 5.0 TiB"_s;
    }
    void LabelText()
    {
        QFETCH(qint64, Items);
        QFETCH(qint64, Count);
        QFETCH(qint64, Bytes);
        QFETCH(QString, Text);
        QCOMPARE(TQtProgressReporter::LabelText(Items, Count, Bytes), Text);
    }

    void QuickWorkShowsNothing()
    {
        QMainWindow Owner;
        QDeadlineTimer Quick(300);
        {
            TQtProgressReporter Progress(&Owner, 1000);
            for (int i = 0; i < 1000; ++i)
                QVERIFY(Progress.Report(i, i));
            QVERIFY(!Progress.MessageOwner());
        }
        if (Quick.hasExpired())
            QSKIP("the machine is too busy to tell quick work from slow");
        QVERIFY(!Dialog(Owner));
    }

    // Work that lasts shows a window-modal dialog over the window, which
    // owns the messages meanwhile; its Cancel button stops the work.
    void LongWorkShowsADialogThatCancels()
    {
        QMainWindow Owner;
        Owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Owner));
        auto Progress = std::make_unique<TQtProgressReporter>(&Owner, 10);
        QDeadlineTimer Deadline(10000);
        while (!Dialog(Owner) && !Deadline.hasExpired()) {
            QVERIFY(Progress->Report(3, 2048));
            QThread::msleep(10);
        }
        QProgressDialog *Shown = Dialog(Owner);
        QVERIFY(Shown);
        QVERIFY(Shown->isVisible());
        QCOMPARE(Shown->windowModality(), Qt::WindowModal);
        QCOMPARE(Shown->parentWidget(), &Owner);
        QCOMPARE(Shown->maximum(), 10);
        QCOMPARE(Shown->value(), 3);
        QCOMPARE(Shown->labelText(), u"3 / 10 件, 2.0 KiB"_s);
        QCOMPARE(Progress->MessageOwner(), Shown);

        auto *Cancel = Shown->findChild<QPushButton *>();
        QVERIFY(Cancel);
        QCOMPARE(Cancel->text(), u"キャンセル"_s);
        Cancel->click();
        bool Going = true;
        while (Going && !Deadline.hasExpired()) {
            Going = Progress->Report(4, 4096);
            QThread::msleep(10);
        }
        QVERIFY(!Going);
        QVERIFY(!Progress->Report(5, 8192)); // stays stopped

        const QPointer<QProgressDialog> Gone = Shown;
        Progress.reset();
        QVERIFY(!Gone);
    }
};

QTEST_MAIN(TestTQtProgressReporter)
#include "tst_tqtprogressreporter.moc"
