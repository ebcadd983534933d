#include "tstdoutwriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

TStdoutWriter::TStdoutWriter(int Handle) : FHandle(Handle), FBuffer(new char[BufferSize])
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

TStdoutWriter::~TStdoutWriter()
{
    Flush();
}

void TStdoutWriter::Append(QByteArrayView Bytes)
{
    if (FUsed + Bytes.size() > BufferSize)
        Flush();
    if (Bytes.size() >= BufferSize) {
        WriteOut(Bytes.data(), Bytes.size());
    } else {
        std::memcpy(FBuffer.get() + FUsed, Bytes.data(), static_cast<size_t>(Bytes.size()));
        FUsed += Bytes.size();
    }
}

void TStdoutWriter::Append(char Byte)
{
    if (FUsed >= BufferSize)
        Flush();
    FBuffer[FUsed++] = Byte;
}

void TStdoutWriter::AppendUtf8(QStringView Text)
{
    const qsizetype most = FUtf8.requiredSpace(Text.size());
    if (most >= BufferSize) {
        Append(Text.toUtf8());
        return;
    }
    if (FUsed + most > BufferSize)
        Flush();
    FUsed = FUtf8.appendToBuffer(FBuffer.get() + FUsed, Text) - FBuffer.get();
}

bool TStdoutWriter::Flush()
{
    if (FUsed > 0) {
        WriteOut(FBuffer.get(), FUsed);
        FUsed = 0;
    }
    return !FFailed;
}

bool TStdoutWriter::WriteOut(const char *Data, qint64 Size)
{
    while (!FFailed && Size > 0) {
        const ssize_t n = ::write(FHandle, Data, static_cast<size_t>(Size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FFailed = true;
            setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        Data += n;
        Size -= n;
    }
    return !FFailed;
}

qint64 TStdoutWriter::writeData(const char *Data, qint64 Size)
{
    Append(QByteArrayView(Data, Size));
    return FFailed ? -1 : Size;
}
