#pragma once

#include "tprogressreporter.h"

#include <QString>

#include <memory>

class QDialog;
class QWidget;

// Everything the window asks of the desktop: dialogs, message boxes and the
// shell. Tests put a fake behind it so that every action runs without a modal
// window; the program uses TQtDesktopSeam.
class TDesktopSeam
{
public:
    virtual ~TDesktopSeam() = default;

    // The file-open dialog. Returns the chosen path, or an empty string when
    // the user cancels. The path need not exist.
    virtual QString GetOpenFileName(QWidget *Owner, const QString &Title, const QString &Filter,
                                    const QString &PreviousPath) = 0;

    // The folder browser. Returns the chosen folder, or empty on cancel.
    virtual QString BrowseForFolder(QWidget *Owner, const QString &Title) = 0;

    // A message box with the warning icon and an OK button.
    virtual void ShowWarningMessage(QWidget *Owner, const QString &Text) = 0;

    // A message box with no icon and an OK button that Enter and Esc press.
    virtual void ShowMessage(QWidget *Owner, const QString &Text) = 0;

    // The error display: a message box with the critical icon. Text is shown
    // as given (see TwzApplication::ErrorDisplayText).
    virtual void ShowError(QWidget *Owner, const QString &Text) = 0;

    // Asks the desktop to open FileName with its associated application.
    // True when the request was handed on.
    virtual bool ShellOpenFile(const QString &FileName) = 0;

    // Runs Dialog modally; returns its result code.
    virtual int ExecModal(QDialog &Dialog) = 0;

    // Feedback for work on ItemCount items that may take long; a dialog
    // owned by Owner appears when it does.
    virtual std::unique_ptr<TProgressReporter> CreateProgress(QWidget *Owner, qint64 ItemCount) = 0;
};
