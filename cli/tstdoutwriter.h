#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QStringEncoder>

#include <memory>

// Standard output as a sequential device with one large buffer, so that
// listing a million names costs a few hundred writes, not a million. It
// never seeks, so it also serves pipes and terminals.
class TStdoutWriter : public QIODevice
{
    Q_OBJECT

public:
    static constexpr qsizetype BufferSize = 1 << 20;

    explicit TStdoutWriter(int Handle = 1);
    ~TStdoutWriter() override;

    // Buffered; a failure shows in Flush() and Failed().
    void Append(QByteArrayView Bytes);
    void Append(char Byte);
    // Text as UTF-8, encoded straight into the buffer.
    void AppendUtf8(QStringView Text);
    // Writes out what is buffered. False once a write has failed.
    bool Flush();
    // Forgets what is buffered.
    void Discard() { FUsed = 0; }
    bool Failed() const { return FFailed; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *Data, qint64 Size) override;

private:
    bool WriteOut(const char *Data, qint64 Size);

    int FHandle;
    // A plain buffer: a million short appends cost no container calls.
    std::unique_ptr<char[]> FBuffer;
    qsizetype FUsed = 0;
    QStringEncoder FUtf8{QStringEncoder::Utf8};
    bool FFailed = false;
};
