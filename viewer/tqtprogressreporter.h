#pragma once

#include "tprogressreporter.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;

// A window-modal QProgressDialog owned by the window, made and shown only
// once the work has lasted about half a second, so that quick work shows
// nothing. Calls are throttled: the dialog is updated and events are
// processed every 50 ms, not per item.
class TQtProgressReporter : public TProgressReporter
{
public:
    TQtProgressReporter(QWidget *Owner, qint64 ItemCount);
    ~TQtProgressReporter() override;

    bool Report(qint64 ItemsDone, qint64 BytesDone) override;
    QWidget *MessageOwner() const override;

    // "12,345 / 100,000 件, 34.5 MiB"
    static QString LabelText(qint64 ItemsDone, qint64 ItemCount, qint64 BytesDone);

private:
    void ShowDialog();

    QPointer<QWidget> FOwner;
    qint64 FItemCount;
    QElapsedTimer FStarted;
    qint64 FLastUpdate = 0;
    QPointer<QProgressDialog> FDialog;
    bool FCancelled = false;
};
