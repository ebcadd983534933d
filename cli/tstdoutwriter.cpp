#include "tstdoutwriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

TStdoutWriter::TStdoutWriter(int Handle) : FHandle(Handle)
{
    FBuffer.reserve(BufferSize);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

TStdoutWriter::~TStdoutWriter()
{
    Flush();
}

void TStdoutWriter::Append(QByteArrayView Bytes)
{
    if (FBuffer.size() + Bytes.size() > BufferSize)
        Flush();
    if (Bytes.size() >= BufferSize)
        WriteOut(Bytes.data(), Bytes.size());
    else
        FBuffer.append(Bytes);
}

void TStdoutWriter::Append(char Byte)
{
    if (FBuffer.size() >= BufferSize)
        Flush();
    FBuffer.append(Byte);
}

void TStdoutWriter::AppendUtf8(QStringView Text)
{
    const qsizetype most = FUtf8.requiredSpace(Text.size());
    if (most >= BufferSize) {
        Append(Text.toUtf8());
        return;
    }
    if (FBuffer.size() + most > BufferSize)
        Flush();
    const qsizetype used = FBuffer.size();
    FBuffer.resize(used + most);
    char *end = FUtf8.appendToBuffer(FBuffer.data() + used, Text);
    FBuffer.resize(end - FBuffer.constData());
}

bool TStdoutWriter::Flush()
{
    if (!FBuffer.isEmpty()) {
        WriteOut(FBuffer.constData(), FBuffer.size());
        FBuffer.resize(0);
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
