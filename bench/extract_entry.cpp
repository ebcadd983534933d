// Copies one entry out of an archive, for measuring time and peak memory:
//   cmb-extract-entry INDEX NAME OUTFILE     (OUTFILE "-" writes to stdout)
// A regular output file lets the kernel copy the bytes; stdout as a pipe or
// device takes the buffered path.

#include "twzcmb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fputs("usage: cmb-extract-entry INDEX NAME OUTFILE\n", stderr);
        return 2;
    }
    try {
        TwzCMB archive;
        if (!archive.LoadIndex(args[1])) {
            std::fprintf(stderr, "cmb-extract-entry: %s: no such file\n", qPrintable(args[1]));
            return 1;
        }
        QFile out;
        const bool toStdout = args[3] == QLatin1String("-");
        const bool opened = toStdout ? out.open(stdout, QIODevice::WriteOnly)
                                     : (out.setFileName(args[3]),
                                        out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (!opened) {
            std::fprintf(stderr, "cmb-extract-entry: %s: %s\n", qPrintable(args[3]),
                         qPrintable(out.errorString()));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        QString reason;
        if (!archive.ExtractItem(out, args[2], &reason)) {
            std::fprintf(stderr, "cmb-extract-entry: %s: %s\n", qPrintable(args[2]),
                         qPrintable(reason));
            return 1;
        }
        if (!out.flush()) {
            std::fprintf(stderr, "cmb-extract-entry: %s\n", qPrintable(out.errorString()));
            return 1;
        }
        std::fprintf(stderr, "extracted %s in %lld ms\n", qPrintable(args[2]),
                     static_cast<long long>(timer.elapsed()));
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cmb-extract-entry: %s\n", e.what());
        return 1;
    }
}
