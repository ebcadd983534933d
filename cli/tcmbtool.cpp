#include "tcmbtool.h"

#include "tnamematcher.h"
#include "tprogressline.h"
#include "tstdoutwriter.h"
#include "twzerrors.h"
#include "twzregularfile.h"
#include "twzsafepath.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

const char GeneralHelp[] =
    "Usage: cmbtool COMMAND [OPTIONS] INDEX [NAME...]\n"
    "\n"
    "Lists, extracts and checks .cmb archives: an index file (.cmb) and the\n"
    "data file it names.\n"
    "\n"
    "Commands:\n"
    "  list    [--long] [--encoding=E] INDEX\n"
    "          The entry names in index order, one per line (UTF-8).\n"
    "          --long: OFFSET<TAB>SIZE<TAB>NAME.\n"
    "  extract [-C DIR] [-k] [-q] [--encoding=E] INDEX [NAME...]\n"
    "          Writes the entries (or those matching a NAME; * and ? are\n"
    "          wildcards, case is ignored) into DIR, creating sub-folders.\n"
    "  cat     [--encoding=E] INDEX NAME\n"
    "          Writes the bytes of the entry NAME to standard output.\n"
    "  verify  [--encoding=E] INDEX\n"
    "          Checks that the data file exists and that every entry lies\n"
    "          within it and has a safe name.\n"
    "\n"
    "Options:\n"
    "  -h, --help       Shows this help; `cmbtool COMMAND --help` shows a command's.\n"
    "  -v, --version    Shows the version.\n"
    "  --encoding=E     How the index is decoded: auto (default: UTF-8 when the\n"
    "                   whole index is valid UTF-8, otherwise CP932), cp932, utf-8.\n"
    "\n"
    "Exit status: 0 when everything asked for succeeded, 1 when some entries\n"
    "failed (or verify found problems), 2 for a usage error or an index that\n"
    "cannot be read.\n";

void PrintOut(const QString &Text)
{
    std::fputs(Text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

bool ParseEncoding(const QString &Text, TwzEncoding &Encoding)
{
    const QString name = Text.toLower();
    if (name == QLatin1String("auto"))
        Encoding = TwzEncoding::Auto;
    else if (name == QLatin1String("cp932") || name == QLatin1String("shift-jis") ||
             name == QLatin1String("shift_jis") || name == QLatin1String("sjis") ||
             name == QLatin1String("windows-31j"))
        Encoding = TwzEncoding::Cp932;
    else if (name == QLatin1String("utf-8") || name == QLatin1String("utf8"))
        Encoding = TwzEncoding::Utf8;
    else
        return false;
    return true;
}

struct TCommand
{
    const char *Name;
    const char *Description;
    const char *Positional; // syntax shown in the usage line
    int MinArguments;
    int MaxArguments; // -1: no limit
};

const TCommand Commands[] = {
    {"list", "Lists the entry names of INDEX in index order.", "INDEX", 1, 1},
    {"extract",
     "Writes the entries of INDEX into DIR (default: the current folder), creating sub-folders.\n"
     "With NAMEs, only the entries whose name matches one of them; * and ? are wildcards,\n"
     "case is ignored, and \\ and / both separate folders.",
     "INDEX [NAME...]", 1, -1},
    {"cat", "Writes the bytes of the entry NAME of INDEX to standard output.", "INDEX NAME", 2, 2},
    {"verify",
     "Checks that the data file of INDEX exists and that every entry lies within it and has a\n"
     "safe name. Problems go to standard error, one per line; a summary to standard output.",
     "INDEX", 1, 1},
};

} // namespace

void TCmbTool::Complain(const QString &Text)
{
    const QByteArray line = QStringLiteral("cmbtool: %1\n").arg(Text).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

QString TCmbTool::Printable(const QString &Name)
{
    // A name from an archive must not drive the terminal.
    QString text;
    text.reserve(Name.size());
    for (const QChar c : Name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    return text;
}

int TCmbTool::UsageError(const QString &Text)
{
    Complain(Text);
    const QByteArray hint = FCommand.isEmpty()
                                ? QByteArray("Try 'cmbtool --help' for more information.\n")
                                : QStringLiteral("Try 'cmbtool %1 --help' for more information.\n")
                                      .arg(FCommand)
                                      .toUtf8();
    std::fputs(hint.constData(), stderr);
    return Trouble;
}

int TCmbTool::Run(const QStringList &Arguments)
{
    const QString first = Arguments.value(1);
    if (Arguments.size() < 2)
        return UsageError(QStringLiteral("no command given"));
    if (first == QLatin1String("-h") || first == QLatin1String("--help") ||
        first == QLatin1String("help")) {
        std::fputs(GeneralHelp, stdout);
        return Success;
    }
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        PrintOut(QStringLiteral("cmbtool %1\n").arg(QCoreApplication::applicationVersion()));
        return Success;
    }

    const TCommand *command = nullptr;
    for (const TCommand &c : Commands) {
        if (first == QLatin1String(c.Name))
            command = &c;
    }
    if (!command) {
        if (first.startsWith(QLatin1Char('-')))
            return UsageError(QStringLiteral("unknown option '%1'").arg(first));
        return UsageError(QStringLiteral("unknown command '%1'").arg(first));
    }
    FCommand = first;

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(command->Description));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    parser.addOption(help);
    parser.addOption(QCommandLineOption(
        QStringLiteral("encoding"),
        QStringLiteral("How the index is decoded: auto (default), cp932 or utf-8."),
        QStringLiteral("E"), QStringLiteral("auto")));
    if (FCommand == QLatin1String("list")) {
        parser.addOption(
            QCommandLineOption({QStringLiteral("l"), QStringLiteral("long")},
                               QStringLiteral("One line per entry: OFFSET<TAB>SIZE<TAB>NAME.")));
    } else if (FCommand == QLatin1String("extract")) {
        parser.addOption(QCommandLineOption({QStringLiteral("C"), QStringLiteral("directory")},
                                            QStringLiteral("Extracts into DIR (it must exist)."),
                                            QStringLiteral("DIR"), QStringLiteral(".")));
        parser.addOption(QCommandLineOption(
            {QStringLiteral("k"), QStringLiteral("keep-old-files")},
            QStringLiteral("Does not replace existing files; each one counts as a failure.")));
        parser.addOption(QCommandLineOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                            QStringLiteral("Prints nothing but errors.")));
    }
    for (const QString &word : QString::fromUtf8(command->Positional).split(QLatin1Char(' ')))
        parser.addPositionalArgument(word, QString(), word);

    QStringList arguments = Arguments;
    arguments.removeAt(1);
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    if (parser.isSet(help)) {
        // The parser's usage line knows neither the command nor a clean
        // program name.
        const QString text = parser.helpText();
        PrintOut(QStringLiteral("Usage: cmbtool %1 [options] %2")
                     .arg(FCommand, QString::fromUtf8(command->Positional)) +
                 text.mid(text.indexOf(QLatin1Char('\n'))));
        return Success;
    }
    const qsizetype count = parser.positionalArguments().size();
    if (count < command->MinArguments)
        return UsageError(
            QStringLiteral("missing %1")
                .arg(QString::fromUtf8(command->Positional).split(QLatin1Char(' ')).value(count)));
    if (command->MaxArguments >= 0 && count > command->MaxArguments)
        return UsageError(QStringLiteral("too many arguments"));

    if (FCommand == QLatin1String("list"))
        return List(parser);
    if (FCommand == QLatin1String("extract"))
        return Extract(parser);
    if (FCommand == QLatin1String("cat"))
        return Cat(parser);
    return Verify(parser);
}

bool TCmbTool::ReadOptions(const QCommandLineParser &Parser, TwzEncoding &Encoding)
{
    if (!ParseEncoding(Parser.value(QStringLiteral("encoding")), Encoding)) {
        UsageError(QStringLiteral("unknown encoding '%1' (auto, cp932 or utf-8)")
                       .arg(Parser.value(QStringLiteral("encoding"))));
        return false;
    }
    FIndexName = Parser.positionalArguments().constFirst();
    return true;
}

bool TCmbTool::LoadWith(const std::function<bool()> &Load)
{
    // The core's message, with the system's reason where there is one.
    auto openFailed = [this]() {
        QString why;
        TwzRegularFile file;
        file.Open(FIndexName, &why);
        const QString message = TwzFileOpenError(FIndexName).Message();
        Complain(why.isEmpty() ? message : QStringLiteral("%1 (%2)").arg(message, why));
    };
    try {
        if (!Load()) {
            openFailed();
            return false;
        }
    } catch (const TwzFileOpenError &) {
        openFailed();
        return false;
    } catch (const TwzError &e) {
        Complain(QStringLiteral("%1: %2").arg(FIndexName, e.Message()));
        return false;
    }
    return true;
}

bool TCmbTool::LoadArchive(const QCommandLineParser &Parser)
{
    TwzEncoding encoding;
    return ReadOptions(Parser, encoding) &&
           LoadWith([&] { return FArchive.LoadIndex(FIndexName, encoding); });
}

int TCmbTool::List(const QCommandLineParser &Parser)
{
    TwzEncoding encoding;
    if (!ReadOptions(Parser, encoding))
        return Trouble;
    const bool longList = Parser.isSet(QStringLiteral("long"));
    // The index is walked, not loaded: a million entries need no list in
    // memory, and output starts at once.
    TStdoutWriter out;
    auto visit = [&](const TwzCMB::TwzBCDItem &Item) {
        if (longList) {
            out.Append(QByteArray::number(Item.Offset));
            out.Append('\t');
            out.Append(QByteArray::number(Item.Size));
            out.Append('\t');
        }
        out.AppendUtf8(Item.Name);
        out.Append('\n');
    };
    if (!LoadWith([&] { return TwzCMB::ScanIndex(FIndexName, encoding, visit); })) {
        // What is still buffered is dropped: the index is bad.
        out.Discard();
        return Trouble;
    }
    if (!out.Flush()) {
        Complain(QStringLiteral("standard output: %1").arg(out.errorString()));
        return SomeFailed;
    }
    return Success;
}

QString TCmbTool::DescribeFailure(const TwzEntryWriter::TwzResult &Result) const
{
    using TwzStatus = TwzEntryWriter::TwzStatus;
    switch (Result.Status) {
    case TwzStatus::Written:
        break;
    case TwzStatus::UnsafeName:
        return QStringLiteral("refused: %1").arg(Result.Reason);
    case TwzStatus::FolderNotCreatable:
        return QStringLiteral("cannot create folder %1 (%2)").arg(Result.Directory, Result.Reason);
    case TwzStatus::FileNotCreatable:
        return QStringLiteral("cannot create %1: %2").arg(Result.Path, Result.Reason);
    case TwzStatus::Exists:
        return QStringLiteral("%1 exists, not replaced").arg(Result.Path);
    case TwzStatus::EntryUnreadable:
        return QStringLiteral("cannot read the entry: %1").arg(Result.Reason);
    case TwzStatus::WriteError:
        return QStringLiteral("cannot write %1: %2").arg(Result.Path, Result.Reason);
    }
    return Result.Reason;
}

int TCmbTool::Extract(const QCommandLineParser &Parser)
{
    if (!LoadArchive(Parser))
        return Trouble;
    const QString folder = Parser.value(QStringLiteral("directory"));
    TwzEntryWriter writer;
    QString why;
    if (!writer.Open(folder, &why)) {
        Complain(QStringLiteral("%1: %2").arg(folder, why));
        return Trouble;
    }
    writer.SetKeepExisting(Parser.isSet(QStringLiteral("keep-old-files")));
    const bool quiet = Parser.isSet(QStringLiteral("quiet"));

    // The chosen entries in index order, each with its own bytes.
    const QList<TwzCMB::TwzBCDItem> &items = FArchive.Items();
    const QStringList names = Parser.positionalArguments().mid(1);
    std::vector<qsizetype> chosen;
    TNameMatcher matcher(names);
    chosen.reserve(static_cast<size_t>(names.isEmpty() ? items.size() : 0));
    qint64 totalBytes = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (names.isEmpty() || matcher.Matches(items[i].Name)) {
            chosen.push_back(i);
            totalBytes += qMax<qint64>(items[i].Size, 0);
        }
    }

    TProgressLine progress(!quiet && ::isatty(STDERR_FILENO), qint64(chosen.size()), totalBytes);
    qint64 failures = 0, done = 0, bytesDone = 0;
    for (const qsizetype index : chosen) {
        const TwzCMB::TwzBCDItem &item = items[index];
        const TwzEntryWriter::TwzResult result = writer.WriteEntry(
            FArchive, item, [&](qint64 Bytes) { progress.Update(done, bytesDone + Bytes); });
        ++done;
        if (result.Ok()) {
            bytesDone += item.Size;
        } else {
            ++failures;
            progress.Clear();
            Complain(QStringLiteral("%1: %2").arg(Printable(item.Name), DescribeFailure(result)));
        }
        progress.Update(done, bytesDone);
    }
    for (const QString &name : matcher.Unmatched()) {
        ++failures;
        progress.Clear();
        Complain(QStringLiteral("%1: no entry of that name in the archive").arg(Printable(name)));
    }
    progress.Finish(done, bytesDone);
    return failures ? SomeFailed : Success;
}

int TCmbTool::Cat(const QCommandLineParser &Parser)
{
    if (!LoadArchive(Parser))
        return Trouble;
    QString name = Parser.positionalArguments().at(1);
    qsizetype index = FArchive.FindItem(name);
    if (index < 0 && name.contains(QLatin1Char('/')))
        index = FArchive.FindItem(QString(name).replace(QLatin1Char('/'), QLatin1Char('\\')));
    if (index < 0) {
        Complain(QStringLiteral("%1: no entry of that name in the archive").arg(Printable(name)));
        return SomeFailed;
    }

    // The first readable entry of the name, as the window opens it. Each
    // entry is written as it comes: standard output cannot seek back.
    TStdoutWriter out;
    QString reason;
    try {
        for (; index >= 0; index = FArchive.NextItemOfSameName(index)) {
            if (FArchive.ExtractEntry(out, FArchive.Items().at(index), &reason)) {
                if (!out.Flush())
                    throw TwzStreamWriteError(out.errorString());
                return Success;
            }
        }
    } catch (const TwzStreamWriteError &e) {
        Complain(QStringLiteral("standard output: %1")
                     .arg(e.Reason().isEmpty() ? e.Message() : e.Reason()));
        return SomeFailed;
    }
    Complain(QStringLiteral("%1: cannot read the entry: %2").arg(Printable(name), reason));
    return SomeFailed;
}

int TCmbTool::Verify(const QCommandLineParser &Parser)
{
    if (!LoadArchive(Parser))
        return Trouble;
    qint64 problems = 0;
    auto problem = [&](const QString &Text) {
        ++problems;
        Complain(Text);
    };

    qint64 dataSize = -1;
    const QString dataFileName = FArchive.DataFileName();
    if (dataFileName.isEmpty()) {
        problem(QStringLiteral("%1: the index names no data file").arg(FIndexName));
    } else {
        TwzRegularFile data;
        QString why;
        if (data.Open(dataFileName, &why))
            dataSize = data.Size();
        else
            problem(QStringLiteral("%1: %2").arg(dataFileName, why));
    }

    const QList<TwzCMB::TwzBCDItem> &items = FArchive.Items();
    for (const TwzCMB::TwzBCDItem &item : items) {
        const QString name = Printable(item.Name);
        const TwzSafePath path = TwzSafePath::FromEntryName(item.Name);
        if (!path.IsSafe())
            problem(QStringLiteral("%1: unsafe name: %2").arg(name, path.Reason()));
        if (item.Offset < 0 || item.Size < 0)
            problem(QStringLiteral("%1: negative offset or size (offset %2, size %3)")
                        .arg(name)
                        .arg(item.Offset)
                        .arg(item.Size));
        else if (dataSize >= 0 && qint64(item.Offset) + item.Size > dataSize)
            problem(QStringLiteral("%1: lies beyond the end of the data file (offset %2, size %3, "
                                   "data file %4 bytes)")
                        .arg(name)
                        .arg(item.Offset)
                        .arg(item.Size)
                        .arg(dataSize));
    }
    PrintOut(QStringLiteral("%1: %2 entries, %3\n")
                 .arg(FIndexName)
                 .arg(items.size())
                 .arg(problems == 0   ? QStringLiteral("no problems")
                      : problems == 1 ? QStringLiteral("1 problem")
                                      : QStringLiteral("%1 problems").arg(problems)));
    return problems ? SomeFailed : Success;
}
