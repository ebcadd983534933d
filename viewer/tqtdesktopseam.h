#pragma once

#include "tdesktopseam.h"

// The desktop seam on Qt's own dialogs, message boxes and QDesktopServices.
class TQtDesktopSeam : public TDesktopSeam
{
public:
    QString GetOpenFileName(QWidget *Owner, const QString &Title, const QString &Filter,
                            const QString &PreviousPath) override;
    QString BrowseForFolder(QWidget *Owner, const QString &Title) override;
    void ShowWarningMessage(QWidget *Owner, const QString &Text) override;
    void ShowMessage(QWidget *Owner, const QString &Text) override;
    void ShowError(QWidget *Owner, const QString &Text) override;
    bool ShellOpenFile(const QString &FileName) override;
    int ExecModal(QDialog &Dialog) override;
    std::unique_ptr<TProgressReporter> CreateProgress(QWidget *Owner, qint64 ItemCount) override;
};
