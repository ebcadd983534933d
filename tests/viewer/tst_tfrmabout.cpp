#include "tfrmabout.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestTfrmAbout : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T *Child(QWidget &Dialog, const char *Name)
    {
        return Dialog.findChild<T *>(QString::fromLatin1(Name));
    }

    // What a showing presents, to compare two showings.
    static QStringList Content(TfrmAbout &Dialog)
    {
        return {Dialog.windowTitle(), Child<QLabel>(Dialog, "lblProductName")->text(),
                Child<QLabel>(Dialog, "lblVersion")->text(),
                Child<QLabel>(Dialog, "lblCopyright")->text()};
    }

private slots:
    void Layout()
    {
        TfrmAbout Dialog;
        QCOMPARE(Dialog.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(Dialog.windowTitle(), QStringLiteral("バージョン情報"));
        QVERIFY(Dialog.isModal());
        QCOMPARE(Dialog.size(), QSize(361, 114));
        QCOMPARE(Dialog.minimumSize(), Dialog.maximumSize());
        QCOMPARE(Dialog.font().pixelSize(), 12);

        auto *Panel = Child<QFrame>(Dialog, "Panel1");
        QVERIFY(Panel);
        QCOMPARE(Panel->geometry(), QRect(8, 8, 345, 73));

        auto *Icon = Child<QLabel>(Dialog, "imgIcon");
        QVERIFY(Icon);
        QCOMPARE(Icon->parentWidget(), Panel);
        QCOMPARE(Icon->geometry(), QRect(8, 8, 32, 32));
        QVERIFY(!Icon->pixmap().isNull());
        QVERIFY(!Dialog.windowIcon().isNull());

        QCOMPARE(Child<QLabel>(Dialog, "lblProductName")->text(), QStringLiteral("cmbViewer"));
        QCOMPARE(Child<QLabel>(Dialog, "lblProductName")->pos(), QPoint(48, 8));
        QCOMPARE(Child<QLabel>(Dialog, "lblVersion")->text(),
                 QStringLiteral("version " CMBVIEWER_VERSION_SHORT));
        QCOMPARE(Child<QLabel>(Dialog, "lblVersion")->pos(), QPoint(48, 24));
        auto *Copyright = Child<QLabel>(Dialog, "lblCopyright");
        QCOMPARE(Copyright->geometry().topLeft(), QPoint(8, 48));
        QCOMPARE(Copyright->width(), 311);
        QVERIFY(!Copyright->text().isEmpty());

        auto *Ok = Child<QPushButton>(Dialog, "OKButton");
        QVERIFY(Ok);
        QCOMPARE(Ok->text(), QStringLiteral("OK"));
        QCOMPARE(Ok->geometry(), QRect(143, 84, 75, 25));
        QVERIFY(Ok->isDefault());
    }

    void Closes_data()
    {
        QTest::addColumn<QString>("How");
        QTest::addColumn<int>("Result");
        QTest::newRow("OK button") << "click" << int(QDialog::Accepted);
        QTest::newRow("Enter") << "enter" << int(QDialog::Accepted);
        QTest::newRow("Esc") << "escape" << int(QDialog::Rejected);
        QTest::newRow("close box") << "close" << int(QDialog::Rejected);
    }
    void Closes()
    {
        QFETCH(QString, How);
        QFETCH(int, Result);
        TfrmAbout Dialog;
        Dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Dialog));
        if (How == QLatin1String("click"))
            QTest::mouseClick(Child<QPushButton>(Dialog, "OKButton"), Qt::LeftButton);
        else if (How == QLatin1String("enter"))
            QTest::keyClick(&Dialog, Qt::Key_Return);
        else if (How == QLatin1String("escape"))
            QTest::keyClick(&Dialog, Qt::Key_Escape);
        else
            Dialog.close();
        QVERIFY(!Dialog.isVisible());
        QCOMPARE(Dialog.result(), Result);
    }

    void EveryShowingLooksTheSame()
    {
        QStringList First;
        {
            TfrmAbout Dialog;
            First = Content(Dialog);
            Child<QLabel>(Dialog, "lblVersion")->setText(QStringLiteral("changed"));
        }
        TfrmAbout Again;
        QCOMPARE(Content(Again), First);
    }
};

QTEST_MAIN(TestTfrmAbout)
#include "tst_tfrmabout.moc"
