#pragma once

#include <QIODevice>
#include <QString>

// A private folder for one fuzzing process, and a device that swallows what
// is written to it, so that entries of any size cost no memory or disk.
class TFuzzSandbox
{
public:
    static QString Folder();
};

class TDiscardDevice : public QIODevice
{
public:
    TDiscardDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 Length) override { return Length; }
};
