#include "tcmbtool.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cmbtool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CMBVIEWER_VERSION));
    TCmbTool tool;
    return tool.Run(QCoreApplication::arguments());
}
