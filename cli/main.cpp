#include "twzcmb.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

// Minimal tool: lists an index's entries.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cmbtool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CMBVIEWER_VERSION));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3 || args[1] != QLatin1String("list")) {
        std::fputs("usage: cmbtool list INDEX\n", stderr);
        return 2;
    }
    try {
        TwzCMB archive;
        if (!archive.LoadIndex(args[2])) {
            std::fprintf(stderr, "cmbtool: %s\n",
                         TwzFileOpenError(args[2]).what());
            return 2;
        }
        QStringList names;
        archive.GetItemNames(names);
        QTextStream out(stdout);
        for (const QString &name : names)
            out << name << '\n';
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cmbtool: %s\n", e.what());
        return 2;
    }
}
