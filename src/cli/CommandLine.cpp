#include "cli/CommandLine.h"

#include "cli/CheckCommand.h"
#include "cli/Listing.h"
#include "cli/PublishCommand.h"
#include "cli/TagCommand.h"
#include "platform/ApplicationIdentity.h"
#include "platform/StandardOutput.h"
#include "store/Database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace airlark::cli {
namespace {

const QString Commands = QStringLiteral(R"(Commands:
  templates [--json]     List the saved templates.
  accounts [--json]      List the saved accounts (never a password or token).
  tag --template NAME --title TEXT [options] EPISODE.mp3
                         Write the episode's tags as the window's "Save" does.
  check [--template NAME] [--json] EPISODE.mp3
                         Check the episode before publishing: loudness (EBU R128), the audio
                         stream, artwork, title and chapters; passes, warnings and failures.
  publish --account NAME [--replace] [tag options] [--no-check] EPISODE.mp3
                         Tag (when tag options are given), check and upload the episode; prints
                         the SoundCloud track's link or the file's place on Libsyn. A failed
                         check stops it before the upload unless --no-check is given; a file of
                         the same name on Libsyn is replaced only with --replace.
  Run "airlark COMMAND --help" for a command's options. Names are matched exactly, then
  ignoring case. Passwords and tokens come from the desktop's credential store: add accounts
  in the window first.

Exit status:
  0 done, 1 the store cannot be opened or there is no graphical session for the window,
  2 bad usage (options, names, files) or the episode's name already taken on Libsyn,
  3 the tags could not be written, 4 sign-in failed (no stored credential, or the host
  refused it), 5 the upload failed, 6 the check found a failure (warnings alone do not
  fail), 130 cancelled by Ctrl+C.)");

const QStringList SubCommands = {QStringLiteral("templates"), QStringLiteral("accounts"),
                                 QStringLiteral("tag"), QStringLiteral("check"), QStringLiteral("publish")};

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Qt names the program by the path it was started with; the help names the command as typed.
QString helpText(const QCommandLineParser& parser, const QString& command)
{
    QString text = parser.helpText().trimmed();
    const qsizetype options = text.indexOf(QStringLiteral(" [options]"));
    if (text.startsWith(QStringLiteral("Usage: ")) && options > 0)
        text.replace(7, options - 7,
                     command.isEmpty() ? QStringLiteral("airlark") : QStringLiteral("airlark ") + command);
    return text;
}

int usageError(const QString& message, const QString& command)
{
    printMessage(QStringLiteral("airlark: ") + message);
    printMessage(QStringLiteral("Run \"airlark %1--help\" for the usage.")
                     .arg(command.isEmpty() ? QString() : command + QLatin1Char(' ')));
    return code(ExitStatus::Usage);
}

// The window starts for no arguments and for URLs ("airlark:…" from the desktop, also after "--",
// which ends the options); anything else is for the command line.
bool wantsCommandLine(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1) == QStringLiteral("--"))
        return false;
    const QString& first = arguments.at(1);
    return SubCommands.contains(first) || first.startsWith(QLatin1Char('-')) ||
           !first.contains(QLatin1Char(':'));
}

bool hasGraphicalSession()
{
    // A platform the user chose (offscreen, vnc, …) decides for itself whether it needs a display.
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int runSubCommand(const QString& command, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("airlark %1: see \"airlark --help\" for every command.").arg(command));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    const bool listing = command == QStringLiteral("templates") || command == QStringLiteral("accounts");
    if (listing)
        parser.addOption({QStringLiteral("json"), QStringLiteral("Print a JSON array, for scripts.")});
    else if (command == QStringLiteral("tag"))
        addTagOptions(parser);
    else if (command == QStringLiteral("check"))
        addCheckOptions(parser);
    else
        addPublishOptions(parser);
    if (!listing)
        parser.addPositionalArgument(QStringLiteral("EPISODE.mp3"), QStringLiteral("The episode file."));
    if (!parser.parse(QStringList{QStringLiteral("airlark ") + command} + arguments))
        return usageError(parser.errorText(), command);
    if (parser.isSet(help)) {
        printResult(helpText(parser, command));
        return code(ExitStatus::Ok);
    }
    if (listing) {
        if (!parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("%1 takes no arguments").arg(command), command);
        const std::optional<Database> database = Database::open();
        if (!database) {
            printMessage(QStringLiteral("airlark: the store in the data directory cannot be opened"));
            return code(ExitStatus::Failure);
        }
        const bool json = parser.isSet(QStringLiteral("json"));
        return code(command == QStringLiteral("templates") ? listTemplates(*database, json)
                                                           : listAccounts(*database, json));
    }
    if (command == QStringLiteral("check"))
        return runCheck(parser);
    return command == QStringLiteral("tag") ? runTag(parser) : runPublish(parser);
}

int runCommandLine(const QStringList& arguments)
{
    if (arguments.size() > 1 && SubCommands.contains(arguments.at(1)))
        return runSubCommand(arguments.at(1), arguments.mid(2));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tag podcast episodes and publish them to Libsyn and SoundCloud. "
                       "Without a command, Airlark opens its window.\n\n") +
        Commands);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show Airlark's version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("One of the commands above."),
                                 QStringLiteral("[COMMAND [OPTIONS]]"));
    if (!parser.parse(arguments))
        return usageError(parser.errorText(), {});
    if (parser.isSet(help)) {
        printResult(helpText(parser, {}));
        return code(ExitStatus::Ok);
    }
    if (parser.isSet(version)) {
        printResult(applicationName() + QLatin1Char(' ') + applicationVersion());
        return code(ExitStatus::Ok);
    }
    return usageError(QStringLiteral("unknown command \"%1\"").arg(parser.positionalArguments().value(0)),
                      {});
}

} // namespace

void printResult(const QString& line)
{
    print(stdout, line);
}

void printMessage(const QString& line)
{
    print(stderr, line);
}

std::optional<int> runWithoutWindow(int& argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const bool commandLine = wantsCommandLine(arguments);
    if (!commandLine && hasGraphicalSession())
        return std::nullopt;

    QCoreApplication application(argc, argv);
    applyApplicationIdentity();
    if (!commandLine) {
        printMessage(QStringLiteral(
            "airlark: the window needs a graphical session (no DISPLAY or WAYLAND_DISPLAY is "
            "set). Without one, use the command line; \"airlark --help\" lists its commands."));
        return code(ExitStatus::Failure);
    }
    // Standard output carries results that scripts read; the workflow's diagnostic lines go
    // beside the other messages.
    redirectStandardOutputLinesToStandardError();
    return runCommandLine(arguments);
}

} // namespace airlark::cli
