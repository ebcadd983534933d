// Times the steps that grow with the number of entries:
//   cmb-index-lookup INDEX [--extract]
// loading, listing the names, looking every name up, and with --extract
// copying every entry by name into memory, as writing all of them out does.

#include "twzcmb.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

void Report(const char *Step, QElapsedTimer &Timer, qsizetype Count)
{
    std::fprintf(stderr, "%-14s %8lld ms  (%lld entries)\n", Step,
                 static_cast<long long>(Timer.restart()), static_cast<long long>(Count));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 3 ||
        (args.size() == 3 && args[2] != QLatin1String("--extract"))) {
        std::fputs("usage: cmb-index-lookup INDEX [--extract]\n", stderr);
        return 2;
    }
    try {
        QElapsedTimer timer;
        timer.start();
        TwzCMB archive;
        if (!archive.LoadIndex(args[1])) {
            std::fprintf(stderr, "cmb-index-lookup: %s: no such file\n", qPrintable(args[1]));
            return 1;
        }
        Report("load", timer, archive.Items().size());

        QStringList names;
        archive.GetItemNames(names);
        Report("list names", timer, names.size());

        qsizetype found = 0;
        for (const QString &name : names)
            found += archive.FindItem(name) >= 0;
        Report("first lookup", timer, found);
        found = 0;
        for (const QString &name : names)
            found += archive.FindItem(name) >= 0;
        Report("lookup again", timer, found);

        if (args.size() == 3) {
            QBuffer buffer;
            buffer.open(QIODevice::ReadWrite);
            qsizetype copied = 0;
            for (const QString &name : names) {
                buffer.seek(0);
                copied += archive.ExtractItem(buffer, name);
            }
            Report("extract all", timer, copied);
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cmb-index-lookup: %s\n", e.what());
        return 1;
    }
}
