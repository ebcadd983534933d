#include "fuzzsandbox.h"

#include <QDir>
#include <QTemporaryDir>

QString TFuzzSandbox::Folder()
{
    // Lives as long as the process; removed on a normal exit.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/cmbfuzz-XXXXXX"));
    return dir.path();
}
