#include "tprogressline.h"

#include <cstdio>

namespace {

constexpr qint64 RedrawMilliseconds = 200;

} // namespace

TProgressLine::TProgressLine(bool Enabled, qint64 TotalEntries, qint64 TotalBytes)
    : FEnabled(Enabled), FTotalEntries(TotalEntries), FTotalBytes(TotalBytes)
{
    FClock.start();
}

QString TProgressLine::FormatSize(qint64 Bytes)
{
    static const char *const Units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (Bytes < 1024)
        return QStringLiteral("%1 B").arg(Bytes);
    double value = double(Bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(Units[unit]));
}

void TProgressLine::Update(qint64 Entries, qint64 Bytes)
{
    if (!FEnabled)
        return;
    const qint64 now = FClock.elapsed();
    if (FLastDraw >= 0 && now - FLastDraw < RedrawMilliseconds)
        return;
    if (FLastDraw < 0 && now < RedrawMilliseconds)
        return; // quick runs show no line at all until the end
    FLastDraw = now;
    Draw(Entries, Bytes);
}

void TProgressLine::Draw(qint64 Entries, qint64 Bytes)
{
    const double seconds = qMax<qint64>(FClock.elapsed(), 1) / 1000.0;
    const QString line = QStringLiteral("\r\033[K%1/%2 entries, %3 of %4, %5/s")
                             .arg(Entries)
                             .arg(FTotalEntries)
                             .arg(FormatSize(Bytes), FormatSize(FTotalBytes),
                                  FormatSize(qint64(double(Bytes) / seconds)));
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
    FShown = true;
}

void TProgressLine::Clear()
{
    if (!FShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    FShown = false;
}

void TProgressLine::Finish(qint64 Entries, qint64 Bytes)
{
    if (!FEnabled)
        return;
    Draw(Entries, Bytes);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    FShown = false;
}
