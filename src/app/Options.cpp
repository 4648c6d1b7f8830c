#include "app/Options.h"

#include "ports/ProgramArguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <string>
#include <vector>

namespace torv {

namespace {

void print(std::FILE* to, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

// The options the program knows, each declared once: the parser learns them
// here and the reading below names the same objects.
struct Declared {
    explicit Declared(QCommandLineParser& parser);
    const QCommandLineOption help;
    const QCommandLineOption version;
    const QCommandLineOption headless{
        "headless", "Run without a window, tray or chart, and without a display: journal lines on standard output, "
                    "message boxes as ERROR lines on standard error. Exit status 2: no usable settings file yet; "
                    "3: the settings file was damaged."};
    const QCommandLineOption newKey{
        "new-key",
        "Write a new key for signed remote commands (remote.key) into the program folder and print it once."};
    const QCommandLineOption sign{"sign", "Print a signed command file (command.txt) for COMMAND.", "COMMAND"};
    const QCommandLineOption verifyAnswer{
        "verify-answer",
        "Check FOLDER's Result.txt against its Result.txt.sig; print the stamp of the command it answers (or none) "
        "and exit 0 when it verifies, 1 when not.",
        "FOLDER"};
    const QCommandLineOption expect{
        "expect", "With --verify-answer: exit 1 unless the answer answers the command stamped STAMP.", "STAMP"};
    const QCommandLineOption keyFile{
        "key-file", "The key --sign and --verify-answer use (default: the program folder's remote.key).", "FILE"};
    const QCommandLineOption checkConfig{
        "check-config",
        "Read config.ini (and torv.ini) of FOLDER, or one config.ini FILE, as start-up does and print them as JSON. "
        "Exit status 0: read cleanly; 2: no config.ini; 3: config.ini damaged; 4: torv.ini has lines that would be "
        "ignored. Default: the program folder."};
    const QCommandLineOption writeConfig{
        "write-config", "Write config.ini and torv.ini of FOLDER (default: the program folder) from the JSON on "
                        "standard input; print changed or unchanged. Exit status 1: refused, nothing written."};
    const QCommandLineOption service{
        "service",
        "Run this program folder's console as a system service: install, uninstall, start, stop, or status (prints "
        "running, stopped, start-pending, stop-pending or not-installed; exit status 0, 3, 4). Exit status 1: it "
        "failed; 5: not allowed.",
        "ACTION"};
    const QCommandLineOption serviceName{"name", "The service's name for --service (default: TORV).", "NAME"};
    const QCommandLineOption serviceUser{
        "user-name",
        "The account --service install runs the console as (default: the one that called sudo, else "
        "the caller).",
        "USER"};
    const QCommandLineOption serviceManual{
        "manual", "With --service install: the service starts when asked, not with the system."};
    // The service's own command line, which only the service manager runs.
    QCommandLineOption serviceRun{"service-run", "Run as the service NAME (the service manager's call).", "NAME"};
};

Declared::Declared(QCommandLineParser& parser) : help(parser.addHelpOption()), version(parser.addVersionOption())
{
    parser.setApplicationDescription("TORV server command console. Without options it opens its window; the "
                                     "settings are config.ini in the program's folder.");
    parser.addOption(headless);
    parser.addOptions({newKey, sign, verifyAnswer, expect, keyFile, checkConfig, writeConfig});
    serviceRun.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({service, serviceName, serviceUser, serviceManual, serviceRun});
    parser.addPositionalArgument("FOLDER|FILE", "The target of --check-config or --write-config.", "[FOLDER|FILE]");
    // Further options: add them here and give them a field in Options.
}

bool isConfigTool(const QCommandLineParser& parser, const Declared& o)
{
    return parser.isSet(o.checkConfig) || parser.isSet(o.writeConfig);
}

// What is wrong with a command line the parser took, or nothing.
std::optional<QString> misuse(const QCommandLineParser& parser, const Declared& o)
{
    // A stamp to expect without an answer to check would be silently ignored.
    if (parser.isSet(o.expect) && !parser.isSet(o.verifyAnswer))
        return "--expect goes with --verify-answer.";
    // Only the configuration tools take an argument, and one at most.
    const qsizetype allowed = isConfigTool(parser, o) ? 1 : 0;
    if (parser.positionalArguments().size() > allowed)
        return "Unexpected argument '" + parser.positionalArguments().constLast() + "'.";
    return std::nullopt;
}

std::optional<std::string> valueOf(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    if (!parser.isSet(option))
        return std::nullopt;
    return parser.value(option).toUtf8().toStdString();
}

void fill(const QCommandLineParser& parser, const Declared& o, Options& options)
{
    options.headless = parser.isSet(o.headless);
    options.newKey = parser.isSet(o.newKey);
    options.sign = valueOf(parser, o.sign);
    options.verifyAnswer = valueOf(parser, o.verifyAnswer);
    options.expect = valueOf(parser, o.expect);
    options.keyFile = valueOf(parser, o.keyFile);
    options.checkConfig = parser.isSet(o.checkConfig);
    options.writeConfig = parser.isSet(o.writeConfig);
    if (isConfigTool(parser, o) && !parser.positionalArguments().isEmpty())
        options.configTarget = parser.positionalArguments().constFirst().toUtf8().toStdString();
    options.service = valueOf(parser, o.service);
    options.serviceName = valueOf(parser, o.serviceName);
    options.serviceUser = valueOf(parser, o.serviceUser);
    options.serviceManual = parser.isSet(o.serviceManual);
    options.serviceRun = valueOf(parser, o.serviceRun);
}

// Says what is wrong (why), or else prints the help or the version.
int answerAtOnce(int argc, char** argv, const QCommandLineParser& parser, const std::optional<QString>& why,
                 bool wantsHelp)
{
    // The help text and the version read the application's name and version.
    int n = argc;
    QCoreApplication app(n, argv);
    QCoreApplication::setApplicationName("torv");
    QCoreApplication::setApplicationVersion(
        QString("%1.%2.%3").arg(TORV_VERSION_MAJOR).arg(TORV_VERSION_MINOR).arg(TORV_VERSION_PATCH));
    if (why) {
        print(stderr, "torv: " + *why + "\nTry 'torv --help'.\n");
        return 2; // as for a missing settings file: no restart mends it
    }
    if (wantsHelp) {
        print(stdout, parser.helpText());
        return 0;
    }
    print(stdout, "torv " + QCoreApplication::applicationVersion() + "\n");
    return 0;
}

} // namespace

std::optional<int> parseOptions(int argc, char** argv, Options& options)
{
    const std::vector<std::string> words = programArguments(argc, argv);
    // The two plain starts, the window and the headless console, need no
    // parser: building one with all its options and help texts touches more
    // of Qt Core than the whole start-up otherwise does.
    if (words.size() == 1 || (words.size() == 2 && words[1] == "--headless")) {
        options.headless = words.size() == 2;
        return std::nullopt;
    }
    QStringList args;
    for (const std::string& arg : words)
        args << QString::fromStdString(arg);
    QCommandLineParser parser;
    const Declared declared(parser);
    const bool parsed = parser.parse(args);
    const std::optional<QString> why = parsed ? misuse(parser, declared) : parser.errorText();
    const bool wantsHelp = parsed && (parser.isSet(declared.help) || parser.isSet("help-all"));
    if (!why && !wantsHelp && !parser.isSet(declared.version)) {
        fill(parser, declared, options);
        return std::nullopt;
    }
    return answerAtOnce(argc, argv, parser, why, wantsHelp);
}

} // namespace torv
