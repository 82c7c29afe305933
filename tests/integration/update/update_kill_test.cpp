// The real Update program, stopped with kill -9 at several moments of its
// work, timed from the outside by watching its files appear (inotify). Any
// moment must leave a launcher that starts, and the next run (the launcher's
// recovery, or the updater again) must leave a whole version, old or new,
// with nothing hidden behind.
#include "tests/integration/update/update_fixture.h"

#include "tests/support/http_server.h"

#include "updater/CKvDownLoadFile.h"
#include "updater/UpdateProcedure.h"
#include "updater/core/manifest.h"
#include "updater/core/transaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>

#include <csignal>
#include <functional>
#include <iostream>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <unistd.h>

using kest::update::InstallTransaction;

namespace kest::test {
namespace {

constexpr int kExtraFiles = 30;

class UpdaterKillTest : public UpdateTest {
protected:
    void TearDown() override
    {
        if (m_updater.state() != QProcess::NotRunning) {
            m_updater.kill();
            m_updater.waitForFinished(5000);
        }
        if (m_inotify >= 0)
            ::close(m_inotify);
        UpdateTest::TearDown();
    }

    QProcessEnvironment updaterEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        env.insert(QStringLiteral("KEST_EVENT_LOG"), m_events.path());
        return env;
    }

    bool startUpdater(const QStringList& arguments)
    {
        m_updater.setProcessEnvironment(updaterEnvironment());
        m_updater.setProcessChannelMode(QProcess::ForwardedChannels);
        m_updater.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_updater.start(qEnvironmentVariable("KEST_UPDATE_BIN"), arguments);
        return m_updater.waitForStarted(10000);
    }

    void killUpdater()
    {
        ASSERT_EQ(::kill(static_cast<pid_t>(m_updater.processId()), SIGKILL), 0);
        ASSERT_TRUE(m_updater.waitForFinished(10000));
        EXPECT_EQ(m_updater.exitStatus(), QProcess::CrashExit);
    }

    QString staging() const { return installFolder() + QStringLiteral("/.kest-update"); }

    // The visible part of the folder: what the player and his launcher see.
    Tree visible() const
    {
        Tree tree = snapshot(installFolder());
        std::erase_if(
            tree, [](const auto& entry) { return entry.first.startsWith(QLatin1Char('.')); });
        return tree;
    }

    // Watches `folder` for files moved or created in it.
    bool watch(const QString& folder)
    {
        if (m_inotify < 0)
            m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        return m_inotify >= 0
            && ::inotify_add_watch(
                   m_inotify, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CREATE)
            >= 0;
    }

    // Blocks until an event names `name` ("" for any), or the time runs out.
    bool waitForEvent(const QString& name, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        alignas(inotify_event) char buffer[16384];
        while (clock.elapsed() < timeoutMs) {
            pollfd pfd { m_inotify, POLLIN, 0 };
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            const ssize_t length = ::read(m_inotify, buffer, sizeof buffer);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const QString got = event->len ? QFile::decodeName(event->name) : QString();
                if (name.isEmpty() || got == name)
                    return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

    static bool waitFor(const std::function<bool()>& condition, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QThread::msleep(2);
        }
        return true;
    }

    QProcess m_updater;
    int m_inotify = -1;
};

// The launcher's own recovery at its start.
bool recoverAsTheLauncherDoes(const QString& folder, std::string& error)
{
    InstallTransaction transaction(folder.toStdString());
    const bool ok = transaction.recover();
    error = transaction.error();
    return ok;
}

TEST_F(UpdaterKillTest, KilledDuringADownloadTheOldVersionStaysAndStarts)
{
    const auto demo = startDemo({ QStringLiteral("--file-rate"), QStringLiteral("100000") });
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));
    ASSERT_TRUE(startUpdater({ commandLine() }));

    // A part of data.pak has arrived in the staging folder.
    const QString newFolder = staging() + QStringLiteral("/new");
    ASSERT_TRUE(waitFor(
        [&] {
            const auto parts = QDir(newFolder).entryInfoList(QDir::Files | QDir::Hidden);
            return !parts.isEmpty() && parts.first().size() >= 16384;
        },
        20000))
        << "no download began";
    killUpdater();

    EXPECT_EQ(visible(), before());
    EXPECT_EQ(runProgram(launcherPath()), QStringLiteral("old-launcher"));
    std::string error;
    ASSERT_TRUE(recoverAsTheLauncherDoes(installFolder(), error)) << error;
    EXPECT_EQ(snapshot(installFolder()), before()); // the left-overs are gone too
}

// Many files, so that the commit (an fsync and a link per file, then one
// rename per file) lasts long enough to be hit in the middle.
class UpdaterKillDuringCommit : public UpdaterKillTest {
protected:
    void SetUp() override
    {
        UpdaterKillTest::SetUp();
        QStringList arguments { QStringLiteral("--file-rate"), QStringLiteral("400000") };
        for (int i = 0; i < kExtraFiles; ++i) {
            const QString name = QStringLiteral("f%1.dat").arg(i, 2, 10, QLatin1Char('0'));
            m_extra << name;
            writeFile(servedPath(name), patternBytes(i, 1000), 0644);
            arguments << QStringLiteral("--file") << name + QLatin1Char('=') + servedPath(name);
        }
        // The platform's manifest lists the extra files first, then data.pak and kest.
        arguments << QStringLiteral("--file")
                  << QStringLiteral("data.pak=") + servedPath(QStringLiteral("data.pak"))
                  << QStringLiteral("--file")
                  << QStringLiteral("kest=") + servedPath(QStringLiteral("kest"));
        m_demo = std::make_unique<DemoServer>(arguments);
        ASSERT_TRUE(m_demo->isRunning());
        ASSERT_TRUE(fetchManifest(*m_demo));
    }

    Tree newVersion() const
    {
        Tree tree = after();
        for (int i = 0; i < kExtraFiles; ++i)
            tree[m_extra[i]] = { patternBytes(i, 1000), 0644 & ~umaskNow() };
        return tree;
    }
    static int umaskNow()
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<int>(mask);
    }

    // How far the commit had got: the files of the new version in place.
    int filesMovedIn(const Tree& tree) const
    {
        int count = 0;
        const Tree next = newVersion();
        for (const auto& [name, entry] : tree)
            count += next.count(name) && next.at(name).bytes == entry.bytes ? 1 : 0;
        return count;
    }

    // Starts the updater and kills it at the first event in `folder` that
    // names `name`; returns the visible folder at that moment.
    Tree killAt(const QString& folder, const QString& name)
    {
        EXPECT_TRUE(startUpdater({ commandLine() }));
        if (folder == staging()) {
            EXPECT_TRUE(waitFor([&] { return QFileInfo::exists(staging()); }, 20000));
        }
        EXPECT_TRUE(watch(folder));
        EXPECT_TRUE(waitForEvent(name, 30000)) << "never saw " << name.toStdString();
        ::kill(static_cast<pid_t>(m_updater.processId()), SIGKILL);
        m_updater.waitForFinished(10000);
        return visible();
    }

    std::unique_ptr<DemoServer> m_demo;
    QStringList m_extra;
};

TEST_F(UpdaterKillDuringCommit, KilledAsTheJournalIsWrittenTheNextUpdaterRunFinishes)
{
    const Tree atKill = killAt(staging(), QStringLiteral("journal"));
    const QString launcher = runProgram(launcherPath());
    EXPECT_TRUE(
        launcher == QStringLiteral("old-launcher") || launcher == QStringLiteral("new-launcher"))
        << launcher.toStdString();
    std::cout << "[ killed   ] at the journal, with " << filesMovedIn(atKill) << " of "
              << newVersion().size() << " files of the new version in place\n";

    // The next run of the updater (the same procedure, in this process) puts
    // the folder in order first, then updates it whole.
    CKvDownLoadFile downloader;
    UpdateProcedure next(
        *update::parseUpdaterCommandLine(commandLine().toStdString()), manifestPath(), downloader);
    ASSERT_EQ(next.run(), UpdateProcedure::Outcome::Updated) << next.error().toStdString();
    EXPECT_EQ(snapshot(installFolder()), newVersion());
    EXPECT_EQ(runProgram(launcherPath()), QStringLiteral("new-launcher"));
}

TEST_F(UpdaterKillDuringCommit, KilledBetweenRenamesTheLaunchersRecoveryLeavesAWholeVersion)
{
    // The first file moved into the install folder, one in the middle, and
    // the last but one (the launcher is moved last).
    const QString points[]
        = { m_extra.first(), m_extra[kExtraFiles / 2], QStringLiteral("data.pak") };
    for (const QString& point : points) {
        SCOPED_TRACE(point.toStdString());
        const Tree atKill = killAt(installFolder(), point);
        const QString launcher = runProgram(launcherPath());
        EXPECT_TRUE(launcher == QStringLiteral("old-launcher")
            || launcher == QStringLiteral("new-launcher"))
            << launcher.toStdString();
        std::cout << "[ killed   ] after " << point.toStdString() << " moved in, with "
                  << filesMovedIn(atKill) << " of " << newVersion().size()
                  << " files of the new version in place\n";

        std::string error;
        ASSERT_TRUE(recoverAsTheLauncherDoes(installFolder(), error)) << error;
        const Tree recovered = snapshot(installFolder());
        EXPECT_TRUE(recovered == before() || recovered == newVersion())
            << ::testing::PrintToString(recovered);
        EXPECT_EQ(runProgram(launcherPath()),
            recovered == before() ? QStringLiteral("old-launcher")
                                  : QStringLiteral("new-launcher"));

        // Back to the old version for the next point.
        for (const auto& [name, entry] : recovered)
            QFile::remove(installFolder() + QLatin1Char('/') + name);
        writeFile(launcherPath(), launcherScript("old-launcher"), 0755);
        writeFile(installFolder() + QStringLiteral("/data.pak"), kOldData, 0640);
        ::close(m_inotify);
        m_inotify = -1;
    }
}

// --- How the program ends without work ------------------------------------------------------

TEST_F(UpdaterKillTest, WithoutALauncherToNameItEndsQuietlyAndTouchesNothing)
{
    const auto demo = startDemo();
    ASSERT_TRUE(fetchManifest(*demo));
    const QStringList commandLines[] = {
        {}, // empty
        { installFolder() }, // no "|": started by hand
        { QStringLiteral("|") + launcherPath() },
    };
    for (const QStringList& arguments : commandLines) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        ASSERT_TRUE(startUpdater(arguments));
        ASSERT_TRUE(m_updater.waitForFinished(30000));
        EXPECT_EQ(m_updater.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_updater.exitCode(), 0);
    }
    EXPECT_EQ(snapshot(installFolder()), before());
    EXPECT_EQ(demo->fileRequests(), 0);
    EXPECT_TRUE(
        eventLog().contains(QStringLiteral("started without an install folder and launcher")))
        << eventLog().toStdString();
}

TEST_F(UpdaterKillTest, ASecondUpdaterEndsQuietly)
{
    const auto demo = startDemo();
    ASSERT_TRUE(fetchManifest(*demo));
    // The first updater's lock in the private temporary folder, held by this process.
    QLockFile first(tempDir() + QStringLiteral("Update.lock"));
    ASSERT_TRUE(first.tryLock(0));
    ASSERT_TRUE(startUpdater({ commandLine() }));
    ASSERT_TRUE(m_updater.waitForFinished(30000));
    EXPECT_EQ(m_updater.exitCode(), 0);
    EXPECT_EQ(snapshot(installFolder()), before());
    EXPECT_EQ(demo->fileRequests(), 0);
    EXPECT_TRUE(eventLog().contains(QStringLiteral("another updater is running")));
}

} // namespace
} // namespace kest::test
