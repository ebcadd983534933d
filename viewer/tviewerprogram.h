#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class TDesktopSeam;
class TfrmMain;

// The program's run: arguments, the main window, the event loop, and the
// error display for anything that escapes start-up.
class TViewerProgram
{
public:
    explicit TViewerProgram(TDesktopSeam &Seam);
    ~TViewerProgram();

    // Reads "cmbviewer [INDEX]". False when the program should end at once
    // (help, version, a usage error); ExitCode() then tells with what code.
    bool ParseArguments(const QStringList &Arguments);
    int ExitCode() const { return FExitCode; }
    QString IndexFile() const { return FIndexFile; } // absolute; empty when none given

    // Creates and shows the main window, then opens the index named on the
    // command line, if any, as the Open action would. Null when the window
    // could not be created; the error has been shown then.
    TfrmMain *Start();

    // The program entry: everything above, then the event loop. Exit code 0.
    static int Run(int &Argc, char **Argv);

private:
    TDesktopSeam &FSeam;
    std::unique_ptr<TfrmMain> FMainWindow;
    QString FIndexFile;
    int FExitCode = 0;
};
