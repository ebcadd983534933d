#include "tviewerprogram.h"

#include "tfrmmain.h"
#include "tqtdesktopseam.h"
#include "twzapplication.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

TViewerProgram::TViewerProgram(TDesktopSeam &Seam) : FSeam(Seam) {}

TViewerProgram::~TViewerProgram() = default;

bool TViewerProgram::ParseArguments(const QStringList &Arguments)
{
    QCommandLineParser Parser;
    Parser.setApplicationDescription(QStringLiteral("Viewer and extractor for .cmb archives."));
    Parser.addPositionalArgument(QStringLiteral("INDEX"),
                                 QStringLiteral("The .cmb index file to open at start."),
                                 QStringLiteral("[INDEX]"));
    const QCommandLineOption Help = Parser.addHelpOption();
    const QCommandLineOption Version = Parser.addVersionOption();

    QString Error;
    if (!Parser.parse(Arguments))
        Error = Parser.errorText();
    else if (Parser.positionalArguments().size() > 1)
        Error = QStringLiteral("only one index file can be opened");
    if (!Error.isEmpty()) {
        std::fprintf(stderr, "cmbviewer: %s\n%s", qPrintable(Error), qPrintable(Parser.helpText()));
        FExitCode = 2;
        return false;
    }
    if (Parser.isSet(Help)) {
        std::fputs(qPrintable(Parser.helpText()), stdout);
        FExitCode = 0;
        return false;
    }
    if (Parser.isSet(Version)) {
        std::printf("cmbviewer %s\n", qPrintable(TwzApplication::Version()));
        FExitCode = 0;
        return false;
    }
    // Absolute, so that the caption names the file wherever it was started from.
    const QString Index = Parser.positionalArguments().value(0);
    FIndexFile = Index.isEmpty() ? QString() : QFileInfo(Index).absoluteFilePath();
    return true;
}

TfrmMain *TViewerProgram::Start()
{
    try {
        FMainWindow = std::make_unique<TfrmMain>(FSeam);
    } catch (const std::exception &Error) {
        FSeam.ShowError(nullptr, TwzApplication::ErrorDisplayText(Error));
        return nullptr;
    }
    FMainWindow->show();
    if (!FIndexFile.isEmpty())
        FMainWindow->OpenIndexFile(FIndexFile);
    return FMainWindow.get();
}

// Qt aborts with a terse message when it cannot reach a display; say it
// plainly instead, before trying.
static bool DisplayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int TViewerProgram::Run(int &Argc, char **Argv)
{
    TQtDesktopSeam Seam;
    TViewerProgram Program(Seam);
    if (!DisplayAvailable()) {
        // --help, --version and usage errors still work without a display.
        QCoreApplication Application(Argc, Argv);
        QCoreApplication::setApplicationName(QStringLiteral("cmbviewer"));
        if (!Program.ParseArguments(QCoreApplication::arguments()))
            return Program.ExitCode();
        std::fputs("cmbviewer: no display to open the window on "
                   "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n",
                   stderr);
        return 1;
    }
    QApplication Application(Argc, Argv);
    TwzApplication::Initialise(Application);
    if (!Program.ParseArguments(QApplication::arguments()))
        return Program.ExitCode();
    try {
        if (Program.Start())
            QApplication::exec();
    } catch (const std::exception &Error) {
        Seam.ShowError(nullptr, TwzApplication::ErrorDisplayText(Error));
    }
    return 0;
}
