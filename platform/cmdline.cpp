#include "platform/cmdline.h"

#include "platform/deploy.h"

#include <QCommandLineParser>

#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace kest {

namespace {

// name -> the player's value (nothing: it was not set).
std::map<std::string, std::optional<QByteArray>>& playerValues()
{
    static std::map<std::string, std::optional<QByteArray>> values;
    return values;
}

void putValue(const std::string& name, const std::optional<QByteArray>& value)
{
    if (value)
        qputenv(name.c_str(), *value);
    else
        qunsetenv(name.c_str());
}

} // namespace

ProgramCommandLine parseProgramCommandLine(
    const QStringList& arguments, const ProgramUsage& usage, const QString& version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(usage.description);
    // A command text may hold anything, dashes included.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Show this help and end."));
    const QCommandLineOption versionOption({ QStringLiteral("v"), QStringLiteral("version") },
        QStringLiteral("Show the version and end."));
    parser.addOption(help);
    parser.addOption(versionOption);
    parser.addPositionalArgument(usage.commandName, usage.commandDescription);
    parser.parse(arguments); // unknown options are reported, not fatal

    ProgramCommandLine result;
    result.commandText = arguments.mid(1).join(QLatin1Char(' '));
    result.unknownOptions = parser.unknownOptionNames();
    if (parser.isSet(help)) {
        result.action = ProgramCommandLine::Action::Help;
        // The parser names the program after the application object, which a
        // program answering --help does not make: its usage line is ours.
        const QString text = parser.helpText();
        result.text = QStringLiteral("Usage: %1 [options] [%2]").arg(usage.name, usage.commandName)
            + text.mid(text.indexOf(QLatin1Char('\n')));
    } else if (parser.isSet(versionOption)) {
        result.action = ProgramCommandLine::Action::Version;
        result.text = usage.name + QLatin1Char(' ') + version + QLatin1Char('\n');
    }
    return result;
}

ProgramCommandLine answerCommandLine(int argc, char* argv[], const ProgramUsage& usage)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    ProgramCommandLine parsed = parseProgramCommandLine(arguments, usage, programVersion());
    if (parsed.action != ProgramCommandLine::Action::Run) {
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
        return parsed;
    }
    for (const QString& option : parsed.unknownOptions) {
        std::fprintf(stderr, "%s: unknown option '%s' ignored (--help lists the options)\n",
            qPrintable(usage.name), qPrintable(option));
    }
    return parsed;
}

void setForThisProcess(const char* name, const QByteArray& value)
{
    auto& values = playerValues();
    if (values.find(name) == values.end()) {
        values[name]
            = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    }
    qputenv(name, value);
}

QProcessEnvironment playerEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : playerValues()) {
        const QString key = QString::fromStdString(name);
        if (value)
            environment.insert(key, QString::fromLocal8Bit(*value));
        else
            environment.remove(key);
    }
    return environment;
}

PlayerEnvironmentScope::PlayerEnvironmentScope()
{
    for (const auto& [name, value] : playerValues()) {
        m_ours.emplace_back(name, qgetenv(name.c_str()));
        putValue(name, value);
    }
}

PlayerEnvironmentScope::~PlayerEnvironmentScope()
{
    for (const auto& [name, value] : m_ours)
        qputenv(name.c_str(), value);
}

} // namespace kest
