#pragma once

// The programs' own command line: -h/--help and -v/--version, answered
// without a display (packaging tools such as help2man run them where no X
// server exists). Everything else is the program's command text, exactly as
// before: the launcher's "/web" or nothing, the updater's
// "install folder|launcher path".
//
// Also the environment a program sets for its own libraries (the platform
// plugin, the browser engine's flags): the programs it starts get the values
// the player had, not ours.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

namespace kest {

struct ProgramUsage {
    QString name; // "kest", "Update"
    QString description; // one or two sentences
    QString commandName; // the command text's name in the usage line
    QString commandDescription;
};

struct ProgramCommandLine {
    enum class Action {
        Run, // go on with commandText
        Help, // print text and end with 0
        Version, // print text and end with 0
    };
    Action action = Action::Run;
    QString text; // the help or the version text
    QString commandText; // every argument after the program's name, joined by spaces
    QStringList unknownOptions; // options before the command text that mean nothing here
};

// arguments: as QCoreApplication::arguments() gives them, the program first.
// The options count only before the command text: "kest app://x --help" runs.
ProgramCommandLine parseProgramCommandLine(
    const QStringList& arguments, const ProgramUsage& usage, const QString& version);

// Parses argv; for --help or --version prints the answer, and the program
// ends with 0 before it touches any window system. Unknown options get a
// line on stderr and are otherwise ignored.
ProgramCommandLine answerCommandLine(int argc, char* argv[], const ProgramUsage& usage);

// Sets an environment variable for this process and its libraries only,
// remembering what the player had, for the programs this process starts.
void setForThisProcess(const char* name, const QByteArray& value);
// The environment for programs this process starts: the player's.
QProcessEnvironment playerEnvironment();

// While it lives, this process's environment is the player's, for a library
// that starts a program itself (QDesktopServices runs xdg-open); ours is
// put back at its end.
class PlayerEnvironmentScope final {
public:
    PlayerEnvironmentScope();
    ~PlayerEnvironmentScope();
    PlayerEnvironmentScope(const PlayerEnvironmentScope&) = delete;
    PlayerEnvironmentScope& operator=(const PlayerEnvironmentScope&) = delete;

private:
    std::vector<std::pair<std::string, QByteArray>> m_ours;
};

} // namespace kest
