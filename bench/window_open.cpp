// Times the main window on a large index: opening it (load and fill the
// list), the first paint, and select-all, on the offscreen platform.
//   cmb-bench-window [ENTRIES...]     (default: 100000 1000000)
#include "tdesktopseam.h"
#include "tentrylistmodel.h"
#include "tfrmmain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>

namespace {

// Answers nothing and counts errors; the benchmark opens files directly.
class TQuietSeam : public TDesktopSeam
{
public:
    int Errors = 0;
    QString GetOpenFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    QString BrowseForFolder(QWidget *, const QString &) override { return QString(); }
    void ShowWarningMessage(QWidget *, const QString &) override {}
    void ShowMessage(QWidget *, const QString &) override {}
    void ShowError(QWidget *, const QString &Text) override
    {
        ++Errors;
        std::fprintf(stderr, "error: %s\n", qPrintable(Text));
    }
    bool ShellOpenFile(const QString &) override { return false; }
    int ExecModal(QDialog &) override { return 0; }
};

// An index of Count entries with Shift-JIS names under a few folders, and a
// data file they all point into.
QString WriteIndex(const QString &Folder, int Count)
{
    const QString Path = Folder + QStringLiteral("/bench.cmb");
    QFile Index(Path);
    QFile Data(Folder + QStringLiteral("/bench.bin"));
    if (!Index.open(QIODevice::WriteOnly) || !Data.open(QIODevice::WriteOnly))
        return QString();
    Data.write(QByteArray(4096, 'x'));
    QByteArray Text = "[BinaryCombineData]\r\nbench.bin\r\n\r\n";
    // "画像" in Shift-JIS, so that the names take the decoding path of real indexes.
    const QByteArray Folder932("\x89\xe6\x91\x9c");
    for (int i = 0; i < Count; ++i) {
        Text += '[' + Folder932 + QByteArray::number(i % 100) + "\\file" + QByteArray::number(i) +
                ".png]\r\n" + QByteArray::number(i % 4000) + "\r\n" +
                QByteArray::number(i % 96 + 1) + "\r\n\r\n";
        if (Text.size() > (1 << 20)) {
            Index.write(Text);
            Text.clear();
        }
    }
    Index.write(Text);
    return Path;
}

double Ms(const QElapsedTimer &Timer)
{
    return double(Timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication Application(argc, argv);

    QList<int> Sizes;
    for (const QString &Arg : QApplication::arguments().mid(1))
        Sizes << Arg.toInt();
    if (Sizes.isEmpty())
        Sizes = {100000, 1000000};

    std::printf("%10s %12s %12s %12s %12s\n", "entries", "open+fill", "first paint", "select-all",
                "sel. paint");
    for (int Count : Sizes) {
        QTemporaryDir Dir;
        const QString Path = WriteIndex(Dir.path(), Count);
        if (Path.isEmpty()) {
            std::fprintf(stderr, "cannot write the index in %s\n", qPrintable(Dir.path()));
            return 1;
        }
        TQuietSeam Seam;
        TfrmMain Window(Seam);
        Window.show();
        QApplication::processEvents();
        auto *List = Window.findChild<QTreeView *>(QStringLiteral("lvFiles"));

        QElapsedTimer Timer;
        Timer.start();
        const bool Opened = Window.OpenIndexFile(Path);
        const double Open = Ms(Timer);
        Timer.restart();
        QApplication::processEvents();
        List->viewport()->repaint();
        const double FirstPaint = Ms(Timer);
        if (!Opened || Window.EntryModel()->rowCount() != Count || Seam.Errors) {
            std::fprintf(stderr, "opening %d entries failed\n", Count);
            return 1;
        }

        Timer.restart();
        Window.findChild<QAction *>(QStringLiteral("actSelectAll"))->trigger();
        const double SelectAll = Ms(Timer);
        Timer.restart();
        QApplication::processEvents();
        List->viewport()->repaint();
        const double SelectPaint = Ms(Timer);
        if (List->selectionModel()->selection().size() != 1 ||
            !Window.findChild<QAction *>(QStringLiteral("actFile_WriteOut"))->isEnabled()) {
            std::fprintf(stderr, "select-all on %d entries failed\n", Count);
            return 1;
        }
        std::printf("%10d %9.1f ms %9.1f ms %9.1f ms %9.1f ms\n", Count, Open, FirstPaint,
                    SelectAll, SelectPaint);
    }
    return 0;
}
