// The programs' command line and the environment they pass on.
#include "platform/cmdline.h"

#include <gtest/gtest.h>

using kest::ProgramCommandLine;
using Action = kest::ProgramCommandLine::Action;

TEST(CommandLine, OptionsComeBeforeTheCommandTextWhichStaysAsItWas)
{
    const kest::ProgramUsage usage { QStringLiteral("kest"), QStringLiteral("The client."),
        QStringLiteral("command"), QStringLiteral("/web or nothing") };
    struct Case {
        QStringList arguments; // after the program
        Action action;
        QString commandText;
        QStringList unknown;
    };
    const Case cases[] = {
        { {}, Action::Run, {}, {} },
        { { QStringLiteral("/web") }, Action::Run, QStringLiteral("/web"), {} },
        { { QStringLiteral("--help") }, Action::Help, QStringLiteral("--help"), {} },
        { { QStringLiteral("-h") }, Action::Help, QStringLiteral("-h"), {} },
        { { QStringLiteral("--version") }, Action::Version, QStringLiteral("--version"), {} },
        { { QStringLiteral("-v") }, Action::Version, QStringLiteral("-v"), {} },
        // After the command text an option is part of it.
        { { QStringLiteral("app://x"), QStringLiteral("--help") }, Action::Run,
            QStringLiteral("app://x --help"), {} },
        // Unknown options are ignored, as any other argument is.
        { { QStringLiteral("--frobnicate"), QStringLiteral("/web") }, Action::Run,
            QStringLiteral("--frobnicate /web"), { QStringLiteral("frobnicate") } },
        { { QStringLiteral("/a b|/a b/kest") }, Action::Run, QStringLiteral("/a b|/a b/kest"), {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const ProgramCommandLine parsed = kest::parseProgramCommandLine(
            QStringList { QStringLiteral("/opt/kest/kest") } + c.arguments, usage,
            QStringLiteral("1.2.3"));
        EXPECT_EQ(parsed.action, c.action);
        EXPECT_EQ(parsed.commandText, c.commandText);
        EXPECT_EQ(parsed.unknownOptions, c.unknown);
        if (c.action == Action::Version) {
            EXPECT_EQ(parsed.text, QStringLiteral("kest 1.2.3\n"));
        }
        if (c.action == Action::Help) {
            EXPECT_TRUE(parsed.text.startsWith(QStringLiteral("Usage: kest [options] [command]\n")))
                << parsed.text.toStdString();
            EXPECT_TRUE(parsed.text.contains(QStringLiteral("/web or nothing")));
        }
    }
}

TEST(CommandLine, ProgramsWeStartGetThePlayersEnvironment)
{
    qputenv("KEST_TEST_SET_BY_PLAYER", "player");
    qunsetenv("KEST_TEST_UNSET_BY_PLAYER");
    kest::setForThisProcess("KEST_TEST_SET_BY_PLAYER", "ours");
    kest::setForThisProcess("KEST_TEST_UNSET_BY_PLAYER", "ours");
    kest::setForThisProcess("KEST_TEST_SET_BY_PLAYER", "ours again"); // the player's stays known
    EXPECT_EQ(qgetenv("KEST_TEST_SET_BY_PLAYER"), "ours again");

    const QProcessEnvironment children = kest::playerEnvironment();
    EXPECT_EQ(children.value(QStringLiteral("KEST_TEST_SET_BY_PLAYER")), QStringLiteral("player"));
    EXPECT_FALSE(children.contains(QStringLiteral("KEST_TEST_UNSET_BY_PLAYER")));
    {
        const kest::PlayerEnvironmentScope scope;
        EXPECT_EQ(qgetenv("KEST_TEST_SET_BY_PLAYER"), "player");
        EXPECT_FALSE(qEnvironmentVariableIsSet("KEST_TEST_UNSET_BY_PLAYER"));
    }
    EXPECT_EQ(qgetenv("KEST_TEST_SET_BY_PLAYER"), "ours again");
    EXPECT_EQ(qgetenv("KEST_TEST_UNSET_BY_PLAYER"), "ours");
}
