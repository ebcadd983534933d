#pragma once

#include <QtGlobal>

class QWidget;

// Feedback for long work on the window's thread: how far it has got, and
// whether the user asked to stop. Report is called often (after every item
// and while a large item is copied); an implementation keeps that cheap and
// keeps the window responsive at its own pace.
class TProgressReporter
{
public:
    virtual ~TProgressReporter() = default;

    // Items finished and bytes copied so far. False once the user has asked
    // to stop.
    virtual bool Report(qint64 ItemsDone, qint64 BytesDone) = 0;

    // The window that messages shown meanwhile belong to: the progress
    // display while it is on screen, otherwise null (the caller's window).
    virtual QWidget *MessageOwner() const = 0;
};
