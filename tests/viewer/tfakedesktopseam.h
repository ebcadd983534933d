#pragma once

#include "tdesktopseam.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <functional>

// Stands in for the desktop: records every request and answers from a
// script, so that the window's actions run without a modal window.
class TFakeDesktopSeam : public TDesktopSeam
{
public:
    struct TCall
    {
        QString Kind; // "open", "folder", "warning", "message", "error", "shell", "modal"
        QString Text; // the message, the dialog's title, or the file name
    };

    QList<TCall> Calls;
    QStringList OpenFileAnswers; // taken from the front; none left = cancel
    QStringList FolderAnswers;
    bool ShellOpenResult = true;
    // Runs inside ExecModal with the dialog still alive; accepts it by default.
    std::function<int(QDialog &)> OnExecModal;

    QString LastOpenTitle;
    QString LastOpenFilter;
    QString LastOpenPreviousPath;

    QStringList Texts(const QString &Kind) const
    {
        QStringList Result;
        for (const TCall &Call : Calls)
            if (Call.Kind == Kind)
                Result << Call.Text;
        return Result;
    }
    QStringList Errors() const { return Texts(QStringLiteral("error")); }

    QString GetOpenFileName(QWidget *, const QString &Title, const QString &Filter,
                            const QString &PreviousPath) override
    {
        LastOpenTitle = Title;
        LastOpenFilter = Filter;
        LastOpenPreviousPath = PreviousPath;
        Calls.append({QStringLiteral("open"), Title});
        return OpenFileAnswers.isEmpty() ? QString() : OpenFileAnswers.takeFirst();
    }
    QString BrowseForFolder(QWidget *, const QString &Title) override
    {
        Calls.append({QStringLiteral("folder"), Title});
        return FolderAnswers.isEmpty() ? QString() : FolderAnswers.takeFirst();
    }
    void ShowWarningMessage(QWidget *, const QString &Text) override
    {
        Calls.append({QStringLiteral("warning"), Text});
    }
    void ShowMessage(QWidget *, const QString &Text) override
    {
        Calls.append({QStringLiteral("message"), Text});
    }
    void ShowError(QWidget *, const QString &Text) override
    {
        Calls.append({QStringLiteral("error"), Text});
    }
    bool ShellOpenFile(const QString &FileName) override
    {
        Calls.append({QStringLiteral("shell"), FileName});
        return ShellOpenResult;
    }
    int ExecModal(QDialog &Dialog) override
    {
        Calls.append({QStringLiteral("modal"), Dialog.windowTitle()});
        if (OnExecModal)
            return OnExecModal(Dialog);
        Dialog.accept();
        return Dialog.result();
    }
};
