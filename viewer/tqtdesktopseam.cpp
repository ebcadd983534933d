#include "tqtdesktopseam.h"

#include "tqtprogressreporter.h"
#include "twzapplication.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

QString TQtDesktopSeam::GetOpenFileName(QWidget *Owner, const QString &Title, const QString &Filter,
                                        const QString &PreviousPath)
{
    QFileDialog Dialog(Owner, Title);
    // Qt's own dialog, because a platform dialog may refuse a typed name of a
    // file that does not exist; the window reports that case itself.
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.setNameFilter(Filter);
    if (!PreviousPath.isEmpty())
        Dialog.selectFile(PreviousPath);
    if (Dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList Files = Dialog.selectedFiles();
    return Files.isEmpty() ? QString() : Files.first();
}

QString TQtDesktopSeam::BrowseForFolder(QWidget *Owner, const QString &Title)
{
    return QFileDialog::getExistingDirectory(Owner, Title);
}

static void ShowBox(QWidget *Owner, QMessageBox::Icon Icon, const QString &Text)
{
    QMessageBox Box(Icon, TwzApplication::Title(), Text, QMessageBox::Ok, Owner);
    Box.setEscapeButton(QMessageBox::Ok);
    Box.exec();
}

void TQtDesktopSeam::ShowWarningMessage(QWidget *Owner, const QString &Text)
{
    ShowBox(Owner, QMessageBox::Warning, Text);
}

void TQtDesktopSeam::ShowMessage(QWidget *Owner, const QString &Text)
{
    ShowBox(Owner, QMessageBox::NoIcon, Text);
}

void TQtDesktopSeam::ShowError(QWidget *Owner, const QString &Text)
{
    ShowBox(Owner, QMessageBox::Critical, Text);
}

bool TQtDesktopSeam::ShellOpenFile(const QString &FileName)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FileName));
}

int TQtDesktopSeam::ExecModal(QDialog &Dialog)
{
    return Dialog.exec();
}

std::unique_ptr<TProgressReporter> TQtDesktopSeam::CreateProgress(QWidget *Owner, qint64 ItemCount)
{
    return std::make_unique<TQtProgressReporter>(Owner, ItemCount);
}
