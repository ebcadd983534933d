#pragma once

#include "twzcmb.h"
#include "twzentrywriter.h"

#include <QString>
#include <QStringList>

#include <functional>

class QCommandLineParser;

// The command-line tool: parses a command and its options and runs it on
// the archive core. Data goes to stdout, messages to stderr.
class TCmbTool
{
public:
    // Exit statuses, as tar and unzip use them.
    enum TExitCode { Success = 0, SomeFailed = 1, Trouble = 2 };

    int Run(const QStringList &Arguments);

    // Prints "cmbtool: Text" on stderr, control characters escaped.
    static void Complain(const QString &Text);
    // Printable form of a name for a message.
    static QString Printable(const QString &Name);

private:
    int List(const QCommandLineParser &Parser);
    int Extract(const QCommandLineParser &Parser);
    int Cat(const QCommandLineParser &Parser);
    int Verify(const QCommandLineParser &Parser);

    int UsageError(const QString &Text);
    // The encoding and the index name; false after a usage error.
    bool ReadOptions(const QCommandLineParser &Parser, TwzEncoding &Encoding);
    // Runs Load, which reads the index and returns false for a missing one;
    // false after the reason has been printed.
    bool LoadWith(const std::function<bool()> &Load);
    // Loads the index named by the first positional argument.
    bool LoadArchive(const QCommandLineParser &Parser);
    QString DescribeFailure(const TwzEntryWriter::TwzResult &Result) const;

    QString FCommand;
    QString FIndexName;
    TwzCMB FArchive;
};
