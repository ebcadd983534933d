#include "tqtprogressreporter.h"

#include "twzapplication.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProgressDialog>

#include <limits>

namespace {

// Work shorter than this shows no dialog at all.
constexpr qint64 ShowAfterMs = 500;
// The dialog, and the window behind it, are brought up to date this often.
constexpr qint64 UpdateIntervalMs = 50;

int ClampToInt(qint64 Value)
{
    return int(qBound(qint64(0), Value, qint64(std::numeric_limits<int>::max())));
}

} // namespace

TQtProgressReporter::TQtProgressReporter(QWidget *Owner, qint64 ItemCount)
    : FOwner(Owner), FItemCount(ItemCount)
{
    FStarted.start();
}

TQtProgressReporter::~TQtProgressReporter()
{
    delete FDialog.data();
}

QString TQtProgressReporter::LabelText(qint64 ItemsDone, qint64 ItemCount, qint64 BytesDone)
{
    // Grouped digits whatever the user's locale; the texts are Japanese anyway.
    const QLocale Locale(QLocale::Japanese, QLocale::Japan);
    return QStringLiteral("%1 / %2 件, %3")
        .arg(Locale.toString(ItemsDone), Locale.toString(ItemCount),
             Locale.formattedDataSize(BytesDone, 1, QLocale::DataSizeIecFormat));
}

bool TQtProgressReporter::Report(qint64 ItemsDone, qint64 BytesDone)
{
    if (FCancelled)
        return false;
    const qint64 Now = FStarted.elapsed();
    if (Now - FLastUpdate < UpdateIntervalMs)
        return true;
    FLastUpdate = Now;

    if (!FDialog) {
        if (Now < ShowAfterMs) {
            // Keep the window painted; what the user does waits until the
            // dialog is up (or the work is done).
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        }
        ShowDialog();
    }
    FDialog->setLabelText(LabelText(ItemsDone, FItemCount, BytesDone));
    FDialog->setValue(ClampToInt(ItemsDone));
    // Also while one large item is copied, when the value stands still.
    QCoreApplication::processEvents();
    if (!FDialog || FDialog->wasCanceled())
        FCancelled = true;
    return !FCancelled;
}

QWidget *TQtProgressReporter::MessageOwner() const
{
    return FDialog && FDialog->isVisible() ? FDialog.data() : nullptr;
}

void TQtProgressReporter::ShowDialog()
{
    // Made only now, so that quick work never flashes a dialog, and so that
    // it cannot appear on its own timer behind a message box.
    auto *Dialog = new QProgressDialog(FOwner);
    Dialog->setObjectName(QStringLiteral("dlgProgress"));
    Dialog->setWindowTitle(TwzApplication::Title());
    Dialog->setWindowModality(Qt::WindowModal);
    Dialog->setCancelButtonText(QStringLiteral("キャンセル"));
    // It stays up, at the end too, until the work returns and drops it.
    Dialog->setAutoReset(false);
    Dialog->setAutoClose(false);
    Dialog->setMinimumDuration(0);
    Dialog->setRange(0, ClampToInt(FItemCount));
    Dialog->setMinimumWidth(320);
    FDialog = Dialog;
    Dialog->show();
}
