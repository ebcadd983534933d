#pragma once

#include "tdesktopseam.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

// Stands in for the desktop: records every request and answers from a
// script, so that the window's actions run without a modal window.
class TFakeDesktopSeam : public TDesktopSeam
{
public:
    struct TCall
    {
        // "open", "folder", "warning", "message", "error", "shell", "modal", "progress"
        QString Kind;
        // the message, the dialog's title, the file name, or the number of items
        QString Text;
    };

    // Long work's reports: items done, bytes done.
    struct TReport
    {
        qint64 Items;
        qint64 Bytes;
    };
    QList<TReport> Reports;
    // The fake progress asks to stop once this many items are done, or this
    // many bytes of the work are copied; -1: never.
    qint64 CancelAfterItems = -1;
    qint64 CancelAfterBytes = -1;
    // Runs inside every report, with the items done.
    std::function<void(qint64 Items)> OnReport;
    QWidget *LastFolderOwner = nullptr;

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
    QString BrowseForFolder(QWidget *Owner, const QString &Title) override
    {
        LastFolderOwner = Owner;
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
    std::unique_ptr<TProgressReporter> CreateProgress(QWidget *, qint64 ItemCount) override
    {
        Calls.append({QStringLiteral("progress"), QString::number(ItemCount)});
        return std::make_unique<TFakeProgress>(*this);
    }

private:
    class TFakeProgress : public TProgressReporter
    {
    public:
        explicit TFakeProgress(TFakeDesktopSeam &Seam) : FSeam(Seam) {}
        bool Report(qint64 Items, qint64 Bytes) override
        {
            FSeam.Reports.append({Items, Bytes});
            if (FSeam.OnReport)
                FSeam.OnReport(Items);
            if ((FSeam.CancelAfterItems >= 0 && Items >= FSeam.CancelAfterItems) ||
                (FSeam.CancelAfterBytes >= 0 && Bytes >= FSeam.CancelAfterBytes))
                FCancelled = true;
            return !FCancelled;
        }
        QWidget *MessageOwner() const override { return nullptr; }

    private:
        TFakeDesktopSeam &FSeam;
        bool FCancelled = false;
    };
};
