// Times the main window on a large index: opening it (load and fill the
// list), the first paint, and select-all, on the offscreen platform.
//   cmb-bench-window [ENTRIES...]       generates indexes (default: 100000 1000000)
//                                       and prints a table in milliseconds
//   cmb-bench-window open INDEX [RUNS]  prints "open", "paint" and "selectall"
//                                       lines with the median in seconds
//   cmb-bench-window writeout INDEX OUTDIR
//                                       opens INDEX, selects all and writes it
//                                       out into OUTDIR through the action;
//                                       prints "writeout" with the seconds
#include "tdesktopseam.h"
#include "tentrylistmodel.h"
#include "tfrmmain.h"
#include "tqtprogressreporter.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>

#include <cstdio>

namespace {

// Answers the folder browser with Folder, counts messages, and shows the
// real progress dialog; the benchmark opens files directly.
class TQuietSeam : public TDesktopSeam
{
public:
    int Errors = 0;
    int Messages = 0;
    QString Folder;
    QString GetOpenFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    QString BrowseForFolder(QWidget *, const QString &) override { return Folder; }
    void ShowWarningMessage(QWidget *, const QString &Text) override { Count(Text); }
    void ShowMessage(QWidget *, const QString &Text) override { Count(Text); }
    void ShowError(QWidget *, const QString &Text) override
    {
        ++Errors;
        std::fprintf(stderr, "error: %s\n", qPrintable(Text));
    }
    bool ShellOpenFile(const QString &) override { return false; }
    int ExecModal(QDialog &) override { return 0; }
    std::unique_ptr<TProgressReporter> CreateProgress(QWidget *Owner, qint64 ItemCount) override
    {
        return std::make_unique<TQtProgressReporter>(Owner, ItemCount);
    }

private:
    void Count(const QString &Text)
    {
        // The first few tell what went wrong; a count says how often.
        if (++Messages <= 5)
            std::fprintf(stderr, "message: %s\n", qPrintable(Text));
    }
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

struct TTimes
{
    double Open = 0;        // load the index and fill the list
    double FirstPaint = 0;  // lay out and paint the list
    double SelectAll = 0;   // the select-all action
    double SelectPaint = 0; // repaint with everything selected
};

// Opens Path in a fresh window and times each step; false on any failure.
bool Measure(const QString &Path, TTimes &Times, int &Rows)
{
    TQuietSeam Seam;
    TfrmMain Window(Seam);
    Window.show();
    QApplication::processEvents();
    auto *List = Window.findChild<QTreeView *>(QStringLiteral("lvFiles"));

    QElapsedTimer Timer;
    Timer.start();
    const bool Opened = Window.OpenIndexFile(Path);
    Times.Open = Ms(Timer);
    Timer.restart();
    QApplication::processEvents();
    List->viewport()->repaint();
    Times.FirstPaint = Ms(Timer);
    Rows = Window.EntryModel()->rowCount();
    if (!Opened || Seam.Errors)
        return false;

    Timer.restart();
    Window.findChild<QAction *>(QStringLiteral("actSelectAll"))->trigger();
    Times.SelectAll = Ms(Timer);
    Timer.restart();
    QApplication::processEvents();
    List->viewport()->repaint();
    Times.SelectPaint = Ms(Timer);
    // One range, and the entry actions follow it.
    return List->selectionModel()->selection().size() == (Rows ? 1 : 0) &&
           Window.findChild<QAction *>(QStringLiteral("actFile_WriteOut"))->isEnabled() ==
               (Rows > 0);
}

double Median(QList<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values.isEmpty() ? 0 : Values[Values.size() / 2];
}

int OpenExisting(const QString &Path, int Runs)
{
    QList<double> Open, Paint, Select;
    for (int i = 0; i < Runs; ++i) {
        TTimes Times;
        int Rows = 0;
        if (!Measure(Path, Times, Rows)) {
            std::fprintf(stderr, "cmb-bench-window: opening %s failed\n", qPrintable(Path));
            return 1;
        }
        Open << Times.Open;
        Paint << Times.FirstPaint;
        Select << Times.SelectAll;
    }
    std::printf("open %.6f\npaint %.6f\nselectall %.6f\n", Median(Open) / 1000,
                Median(Paint) / 1000, Median(Select) / 1000);
    return 0;
}

int WriteOut(const QString &Path, const QString &Folder)
{
    TQuietSeam Seam;
    Seam.Folder = Folder;
    TfrmMain Window(Seam);
    Window.show();
    QApplication::processEvents();
    if (!Window.OpenIndexFile(Path))
        return 1;
    Window.findChild<QAction *>(QStringLiteral("actSelectAll"))->trigger();
    QApplication::processEvents();

    QElapsedTimer Timer;
    Timer.start();
    Window.findChild<QAction *>(QStringLiteral("actFile_WriteOut"))->trigger();
    const double Seconds = double(Timer.nsecsElapsed()) / 1e9;
    std::printf("writeout %.6f\nentries %d\n", Seconds, Window.EntryModel()->rowCount());
    if (Seam.Errors || Seam.Messages) {
        std::fprintf(stderr, "cmb-bench-window: %d messages, %d errors\n", Seam.Messages,
                     Seam.Errors);
        return 1;
    }
    return 0;
}

int Generated(const QList<int> &Sizes)
{
    std::printf("%10s %12s %12s %12s %12s\n", "entries", "open+fill", "first paint", "select-all",
                "sel. paint");
    for (int Count : Sizes) {
        QTemporaryDir Dir;
        const QString Path = WriteIndex(Dir.path(), Count);
        if (Path.isEmpty()) {
            std::fprintf(stderr, "cannot write the index in %s\n", qPrintable(Dir.path()));
            return 1;
        }
        TTimes Times;
        int Rows = 0;
        if (!Measure(Path, Times, Rows) || Rows != Count) {
            std::fprintf(stderr, "the window failed on %d entries\n", Count);
            return 1;
        }
        std::printf("%10d %9.1f ms %9.1f ms %9.1f ms %9.1f ms\n", Count, Times.Open,
                    Times.FirstPaint, Times.SelectAll, Times.SelectPaint);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication Application(argc, argv);
    const QStringList Args = QApplication::arguments().mid(1);

    if (Args.value(0) == QLatin1String("open") && Args.size() >= 2)
        return OpenExisting(Args[1], Args.size() >= 3 ? qMax(1, Args[2].toInt()) : 1);
    if (Args.value(0) == QLatin1String("writeout") && Args.size() == 3)
        return WriteOut(Args[1], Args[2]);
    QList<int> Sizes;
    for (const QString &Arg : Args) {
        bool Ok = false;
        Sizes << Arg.toInt(&Ok);
        if (!Ok || Sizes.back() < 0) {
            std::fputs("usage: cmb-bench-window [ENTRIES...] | open INDEX [RUNS]"
                       " | writeout INDEX OUTDIR\n",
                       stderr);
            return 2;
        }
    }
    if (Sizes.isEmpty())
        Sizes = {100000, 1000000};
    return Generated(Sizes);
}
