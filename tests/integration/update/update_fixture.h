#pragma once

// What the update tests share: the demo platform as a process, an install
// folder with an old launcher, the files the platform serves as the new
// version, and a look at a folder that misses nothing (hidden files, modes).

#include "tests/support/demo_server.h"
#include "tests/support/messageboxes.h"
#include "tests/support/testenv.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>

namespace kest::test {

class SigningKey;

// One entry of a folder: its bytes ("<dir>" for a folder) and its mode.
struct Entry {
    QByteArray bytes;
    int mode = 0;
    bool operator==(const Entry&) const = default;
};
using Tree = std::map<QString, Entry>; // path relative to the folder -> entry
void PrintTo(const Tree& tree, std::ostream* out);

// Every entry under `folder`, hidden ones and sub-folders included.
Tree snapshot(const QString& folder);

void writeFile(const QString& path, const QByteArray& bytes, int mode = 0644);
QByteArray readFile(const QString& path);

// A launcher the tests can start: a shell script that prints its name.
QByteArray launcherScript(const QByteArray& name, int paddingBytes = 0);
// Runs the file at `path` as a program and returns what it printed (trimmed);
// "<not started>" when it could not run, "<failed N>" when it ended badly.
QString runProgram(const QString& path);

// An install folder holding the old version (a launcher "kest" and a data
// file), the new version as files the demo platform can serve, a private
// runtime folder for the updater's temporary files and an event log.
class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override;

    QString installFolder() const { return m_scratch.filePath(QStringLiteral("install")); }
    QString launcherPath() const { return installFolder() + QStringLiteral("/kest"); }
    QString commandLine() const { return installFolder() + QLatin1Char('|') + launcherPath(); }
    QString servedPath(const QString& name) const;
    // The private temporary folder of the programs under XDG_RUNTIME_DIR.
    QString runtimeFolder() const { return m_scratch.filePath(QStringLiteral("runtime")); }
    QString tempDir() const { return m_tempDir; }
    QString manifestPath() const { return m_tempDir + QStringLiteral("update.txt"); }
    QString eventLog() const { return m_events.text(); }

    // The demo platform serving data.pak and kest as the new version, in that
    // order, and more arguments.
    std::unique_ptr<DemoServer> startDemo(const QStringList& extra = {});
    // Fetches the manifest into the temporary folder, as the launcher does.
    bool fetchManifest(const DemoServer& demo);
    void writeManifest(const QByteArray& bytes) { writeFile(manifestPath(), bytes, 0600); }

    // The served files published as `version` by scripts/kest-publish under
    // the demo's files address, signed by `key` when given, into
    // publishedFolder(); placed as the launcher's fetch would place them.
    QString publishedFolder() const { return m_scratch.filePath(QStringLiteral("published")); }
    bool publish(const DemoServer& demo, const QString& version, const SigningKey* key);
    void placePublished();

    // The install folder as the old and as the new version leave it.
    Tree before() const;
    Tree after() const;
    // Only whole versions: the old or the new one, and no left-over.
    bool isOldOrNew(const Tree& tree) const { return tree == before() || tree == after(); }

    static const QByteArray kOldData;
    static QByteArray newData(); // 300000 bytes: some 37 blocks
    QTemporaryDir m_scratch;
    QString m_tempDir;
    EventLog m_events;
};

} // namespace kest::test
