// A packaged kest's per-user copy: placed, kept or replaced by what the
// copy says of itself when run (small scripts play the launchers here; they
// answer --version as kest does), and the folders it may update.
#include "launcher/shared/UserCopy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kest::UserCopy;

constexpr const char* kPackageVersion = "1.5.0";

void writeFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner
        | (executable ? QFile::ExeOwner : QFile::Permissions()));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray script(const char* body)
{
    return QByteArray("#!/bin/sh\n") + body + "\n";
}

struct Row {
    const char* name;
    const char* copy; // the per-user launcher's script; nullptr: none
    bool copyExecutable;
    const char* placedFrom; // the package version recorded; nullptr: none
    bool placed; // the package's files replace the copy
};

class UserCopyTest : public ::testing::TestWithParam<Row> {
protected:
    QString system() const { return m_dir.filePath(QStringLiteral("system")); }
    QString user() const { return m_dir.filePath(QStringLiteral("data/kest")); }
    QTemporaryDir m_dir;
};

TEST_P(UserCopyTest, PlacesTheCopyOnlyWhenItIsMissingBrokenOrOlder)
{
    const Row& row = GetParam();
    ASSERT_TRUE(QDir().mkpath(system()));
    const QByteArray packaged = script("echo kest 1.5.0");
    writeFile(system() + "/kest", packaged, true);
    writeFile(system() + "/data.pak", "data", false);
    writeFile(system() + "/system-copy", "package", false);
    ASSERT_TRUE(QDir().mkpath(user()));
    if (row.copy)
        writeFile(user() + "/kest", script(row.copy), row.copyExecutable);
    if (row.placedFrom)
        writeFile(user() + "/.kest-placed-from", QByteArray(row.placedFrom) + "\n", false);

    UserCopy copy(system(), QStringLiteral("kest"), QString::fromLatin1(kPackageVersion), user());
    ASSERT_TRUE(copy.ensure()) << copy.error().toStdString();
    EXPECT_EQ(copy.launcher(), user() + "/kest");
    EXPECT_EQ(readFile(user() + "/kest") == packaged, row.placed) << copy.what().toStdString();
    EXPECT_EQ(QFile::exists(user() + "/data.pak"), row.placed);
    EXPECT_FALSE(QFile::exists(user() + "/system-copy"));
    EXPECT_FALSE(QFile::exists(user() + "/.kest-update"));
    EXPECT_EQ(readFile(user() + "/.kest-placed-from"), "1.5.0\n");
    EXPECT_TRUE(QFileInfo(user() + "/kest").isExecutable());
}

INSTANTIATE_TEST_SUITE_P(Starts, UserCopyTest,
    ::testing::Values(Row { "missing", nullptr, false, nullptr, true },
        Row { "upToDateNotAsked", "exit 1", true, "1.5.0", false },
        Row { "updatedPastThePackage", "echo kest 1.6.0", true, "1.4.0", false },
        Row { "sameAsTheNewPackage", "echo kest 1.5.0 # placed earlier", true, "1.4.0", false },
        Row { "olderThanTheNewPackage", "echo kest 1.4.9", true, "1.4.0", true },
        Row { "answersNonsense", "echo hello there world", true, "1.4.0", true },
        Row { "answersTwoLines", "echo kest 1.6.0; echo kest 1.6.1", true, "1.4.0", true },
        Row { "fails", "echo kest 1.6.0; exit 3", true, "1.4.0", true },
        Row { "killedBySignal", "kill -9 $$", true, nullptr, true },
        Row { "notExecutable", "echo kest 1.6.0", false, "1.5.0", true }),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// The launcher and its engine library come as a pair: a copy without the
// library is placed again, though its launcher says it is up to date.
TEST(UserCopy, ACopyWithoutItsEngineLibraryIsPlacedAgain)
{
    QTemporaryDir dir;
    const QString system = dir.filePath(QStringLiteral("system"));
    const QString user = dir.filePath(QStringLiteral("data/kest"));
    ASSERT_TRUE(QDir().mkpath(system) && QDir().mkpath(user));
    writeFile(system + "/kest", script("echo kest 1.5.0"), true);
    writeFile(system + "/libkest-engine.so", "engine 1.5.0", false);
    writeFile(user + "/kest", script("echo kest 1.5.0 # placed earlier"), true);
    writeFile(user + "/.kest-placed-from", "1.5.0\n", false);

    UserCopy copy(system, QStringLiteral("kest"), QStringLiteral("1.5.0"), user);
    ASSERT_TRUE(copy.ensure()) << copy.error().toStdString();
    EXPECT_EQ(readFile(user + "/libkest-engine.so"), "engine 1.5.0");
    EXPECT_EQ(readFile(user + "/kest"), script("echo kest 1.5.0"));
    // Once both are there, the next start goes straight to them.
    UserCopy again(system, QStringLiteral("kest"), QStringLiteral("1.5.0"), user);
    ASSERT_TRUE(again.ensure());
    EXPECT_EQ(again.what(), QStringLiteral("up to date"));
}

TEST(UserCopy, ACopyThatCannotBePlacedIsReportedAndThePackageRuns)
{
    QTemporaryDir dir;
    const QString system = dir.filePath(QStringLiteral("system"));
    ASSERT_TRUE(QDir().mkpath(system));
    writeFile(system + "/kest", script("echo kest 1.5.0"), true);
    // The data folder is a file: nothing can be made under it.
    writeFile(dir.filePath(QStringLiteral("data")), "not a folder", false);
    UserCopy copy(system, QStringLiteral("kest"), QStringLiteral("1.5.0"),
        dir.filePath(QStringLiteral("data/kest")));
    EXPECT_FALSE(copy.ensure());
    EXPECT_FALSE(copy.error().isEmpty());

    // Where updates may go: not the package's folder, a plain one of ours.
    writeFile(system + "/system-copy", "package", false);
    EXPECT_FALSE(UserCopy::whyNotUpdatable(system).isEmpty());
    EXPECT_TRUE(UserCopy::whyNotUpdatable(dir.path()).isEmpty());
    EXPECT_FALSE(UserCopy::askVersion(dir.filePath(QStringLiteral("absent"))).has_value());
}

TEST(UserCopy, FolderFollowsTheDataHome)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/players/data");
    EXPECT_EQ(UserCopy::folder(), QStringLiteral("/srv/players/data/kest/program"));
    qputenv("XDG_DATA_HOME", "relative/is/ignored");
    EXPECT_EQ(UserCopy::folder(), QDir::homePath() + QStringLiteral("/.local/share/kest/program"));
    qputenv("XDG_DATA_HOME", saved);
}

} // namespace
