// Updating end to end: an installed copy of the real kest finds another
// version on the demo platform, the question is answered with the keyboard
// through X, the real Update it carries downloads into the install folder and
// starts the launcher again. On Xvfb with openbox; screenshots land in the
// test's artefact folder.
#include "tests/support/demo_server.h"
#include "tests/support/http_server.h"
#include "tests/support/launcherfiles.h"
#include "tests/support/testenv.h"
#include "tests/support/x11tools.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace kest::test;
using Step = HttpServer::Step;

namespace {

constexpr int kStartMs = 90000; // the browser engine's start under the sanitizers included
const QString kNotice = QStringLiteral("提示");
const QString kUpdaterCaption = QStringLiteral("更新");

QString artifact(const QString& name)
{
    return kest::test::artifactDir(QStringLiteral("update_e2e")) + QLatin1Char('/') + name;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UpdateE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_scratch.isValid());
        for (const char* folder : { "install", "served", "data", "cache", "config" })
            ASSERT_TRUE(QDir().mkpath(m_scratch.filePath(QLatin1String(folder))));
        // The installed launcher: a copy of this build's kest and its engine
        // library.
        ASSERT_FALSE(
            kest::test::copyBuiltLauncher(m_scratch.filePath(QStringLiteral("install"))).isEmpty());
        m_oldBytes = readAll(launcherPath());
        ASSERT_FALSE(m_oldBytes.isEmpty()) << "KEST_BIN names no program";
        m_oldLibrary = readAll(libraryPath());
        // The served launcher: a real kest build whose bytes differ (an ELF
        // runs, and loads, with bytes appended to it).
        m_newBytes = m_oldBytes + "\n# kest, as served by the demo platform\n";
        writeFile(m_scratch.filePath(QStringLiteral("served/kest")), m_newBytes);
        m_newLibrary = m_oldLibrary + "\n# its engine, as served by the demo platform\n";
        writeFile(m_scratch.filePath(QStringLiteral("served/libkest-engine.so")), m_newLibrary);
        // Read by the platform on every request, so it can change mid-run.
        writeFile(manifestFile(), "version=0.0.0\r\n");

        ASSERT_TRUE(m_files.start());
        // data.pak comes slowly, in 40 blocks a tenth of a second apart, so
        // the updater's window can be seen at work.
        kest::test::HttpServer::Script paced { Step::head(200, kDataLength) };
        for (qint64 at = 0; at < kDataLength; at += 8192)
            paced.insert(paced.end(), { Step::body(at, 8192), Step::pause(100) });
        m_files.route(QStringLiteral("/files/data.pak"), paced);

        ASSERT_TRUE(m_demo.start(
            { QStringLiteral("--manifest-file"), manifestFile(), QStringLiteral("--file"),
                QStringLiteral("kest=") + m_scratch.filePath(QStringLiteral("served/kest")),
                QStringLiteral("--file"),
                QStringLiteral("libkest-engine.so=")
                    + m_scratch.filePath(QStringLiteral("served/libkest-engine.so")) }));
    }

    void TearDown() override
    {
        // Every launcher and updater this case started, through whichever
        // program started it.
        for (const QString& program : { launcherPath(), updaterPath() }) {
            for (const qint64 pid : processesRunning(program))
                endProcess(pid);
        }
        if (m_launcher.state() != QProcess::NotRunning) {
            m_launcher.kill();
            m_launcher.waitForFinished(5000);
        }
        m_demo.terminate();
        m_files.stop();
        // Both programs write here; a sanitizer's report would not fail them.
        const QByteArray output = readAll(outputPath());
        EXPECT_FALSE(output.contains("Sanitizer")) << output.constData();
        EXPECT_FALSE(output.contains("runtime error:")) << output.constData();
        if (HasFailure()) {
            std::printf("--- event log\n%s--- launcher output\n%s\n",
                readAll(eventLogPath()).constData(), readAll(outputPath()).constData());
        }
    }

    static void writeFile(const QString& path, const QByteArray& bytes,
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();
        file.setPermissions(permissions);
    }

    // The launcher that runs and that the updater replaces.
    QString launcherPath() const { return m_scratch.filePath(m_launcherFolder + "/kest"); }
    QString libraryPath() const
    {
        return m_scratch.filePath(m_launcherFolder + "/libkest-engine.so");
    }
    QString manifestFile() const { return m_scratch.filePath(QStringLiteral("manifest.txt")); }
    QString eventLogPath() const { return m_scratch.filePath(QStringLiteral("events.log")); }
    QString outputPath() const { return m_scratch.filePath(QStringLiteral("output.log")); }
    static QString updaterPath()
    {
        return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/kest/Update");
    }

    // The platform's manifest: a version and its file lines, the launcher last.
    void serveManifest(const QString& version, const QStringList& urls)
    {
        QByteArray bytes = "version=" + version.toUtf8() + "\r\n";
        for (const QString& url : urls)
            bytes += "x|" + url.toUtf8() + "\r\n";
        writeFile(manifestFile(), bytes);
    }
    // Starts the installed launcher with the platform's hosts and storage of
    // its own. Its output goes to a file, which the programs it starts
    // inherit (a pipe would break under them once this side stops reading).
    void startLauncher(const QString& program = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* variable : { "KEST_LOGIN_HOST", "KEST_HOME_HOST", "KEST_STATIC_HOST" })
            env.insert(QLatin1String(variable), m_demo.host());
        env.insert(QStringLiteral("KEST_EVENT_LOG"), eventLogPath());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_scratch.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_scratch.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_scratch.filePath(QStringLiteral("config")));
        m_launcher.setProcessEnvironment(env);
        m_launcher.setStandardOutputFile(outputPath(), QIODevice::Append);
        m_launcher.setStandardErrorFile(outputPath(), QIODevice::Append);
        m_launcher.start(program.isEmpty() ? launcherPath() : program, {});
        ASSERT_TRUE(m_launcher.waitForStarted(10000));
    }

    // The one visible notice of process `pid`, once it is there.
    QString waitForNotice(const QString& pid, int timeoutMs)
    {
        QString found;
        (void)QTest::qWaitFor(
            [&] {
                for (const XWindow& window : visibleWindowsNamed(kNotice)) {
                    if (windowPid(window.id) == pid)
                        found = window.id;
                }
                return !found.isEmpty();
            },
            timeoutMs);
        return found;
    }

    // The new question is answered Yes; returns the updater's process id once
    // its window is up, and leaves the launcher ended.
    QString answerYesAndFindTheUpdater()
    {
        const QString launcherPid = QString::number(m_launcher.processId());
        const QString question = waitForNotice(launcherPid, kStartMs);
        if (question.isEmpty()) {
            ADD_FAILURE() << "the launcher asked nothing: is the start-up check wired in?";
            return {};
        }
        screenshot(artifact(QStringLiteral("%1-question.png").arg(currentCase())));
        activateWindow(question);
        pressKey(QStringLiteral("Return")); // Yes is the default button
        EXPECT_TRUE(m_launcher.waitForFinished(30000)) << "the launcher did not get out of the way";
        EXPECT_EQ(m_launcher.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_launcher.exitCode(), 0);

        QString updaterPid;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QList<XWindow> windows = visibleWindowsNamed(kUpdaterCaption);
                if (!windows.isEmpty())
                    updaterPid = windowPid(windows.first().id);
                return !updaterPid.isEmpty();
            },
            30000))
            << "no updater window";
        return updaterPid;
    }

    // The launcher started after the update: a kest process from the install
    // folder, other than the one that asked.
    pid_t waitForRestartedLauncher()
    {
        pid_t restarted = 0;
        (void)QTest::qWaitFor(
            [&] {
                const QList<qint64> pids = processesRunning(launcherPath());
                restarted = pids.isEmpty() ? 0 : pids.first();
                return restarted != 0;
            },
            30000);
        return restarted;
    }

    static QString currentCase()
    {
        return QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    static constexpr qint64 kDataLength = 40 * 8192;
    QTemporaryDir m_scratch;
    QByteArray m_oldBytes;
    QByteArray m_newBytes;
    QByteArray m_oldLibrary;
    QByteArray m_newLibrary;
    kest::test::HttpServer m_files;
    DemoServer m_demo;
    QProcess m_launcher;
    QString m_launcherFolder = QStringLiteral("install");
};

TEST_F(UpdateE2eTest, ANewerVersionIsInstalledAndTheNewLauncherStarts)
{
    serveManifest(QStringLiteral("9.9.9"),
        { m_files.url(QStringLiteral("/files/data.pak")),
            m_demo.fileUrl(QStringLiteral("libkest-engine.so")),
            m_demo.fileUrl(QStringLiteral("kest")) });
    ASSERT_NO_FATAL_FAILURE(startLauncher());
    // The updater reads the launcher's copy; the platform itself now names
    // the build's own version, so the launcher started afterwards goes on.
    const QString updaterPid = answerYesAndFindTheUpdater();
    ASSERT_FALSE(updaterPid.isEmpty());
    serveManifest(qEnvironmentVariable("KEST_VERSION"), {});

    // The updater's window at work on data.pak: seen, and kept as a picture.
    const QList<XWindow> windows = visibleWindowsNamed(kUpdaterCaption);
    ASSERT_FALSE(windows.isEmpty());
    const QRect frame = windows.first().geometry;
    EXPECT_EQ(frame.size(), QSize(305, 144));
    QThread::msleep(1500); // some 15 of data.pak's 40 blocks
    const QImage shot = screenshot(artifact(QStringLiteral("updater-at-work.png")));
    ASSERT_FALSE(shot.isNull());
    shot.copy(frame).save(artifact(QStringLiteral("updater-window.png")));
    // The bar is filled from its left end, not yet to its right end.
    const QImage window = shot.copy(frame);
    EXPECT_NE(window.pixel(16 + 20, 109), window.pixel(16 + 260, 109));

    const QString done = waitForNotice(updaterPid, 60000);
    ASSERT_FALSE(done.isEmpty()) << "the updater told nothing";
    screenshot(artifact(QStringLiteral("updated-notice.png")));
    activateWindow(done);
    pressKey(QStringLiteral("Return"));

    const pid_t restarted = waitForRestartedLauncher();
    ASSERT_NE(restarted, 0) << "no launcher was started after the update";
    // The process runs the served bytes, not the installed ones.
    EXPECT_EQ(readAll(QStringLiteral("/proc/%1/exe").arg(restarted)), m_newBytes);
    EXPECT_EQ(readAll(launcherPath()), m_newBytes);
    // Its engine library came with it, and is the one it loads.
    EXPECT_EQ(readAll(libraryPath()), m_newLibrary);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return readAll(QStringLiteral("/proc/%1/maps").arg(restarted))
                .contains(libraryPath().toUtf8());
        },
        kStartMs))
        << "the new launcher did not load its engine library";
    EXPECT_EQ(readAll(m_scratch.filePath(QStringLiteral("install/data.pak"))),
        kest::test::patternBytes(0, kDataLength));
    EXPECT_FALSE(QFileInfo::exists(m_scratch.filePath(QStringLiteral("install/.kest-update"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return processesRunning(updaterPath()).isEmpty(); }, 10000));
}

TEST_F(UpdateE2eTest, AFailedUpdateIsToldAndTheOldLauncherStartsAgain)
{
    // data.pak arrives; the launcher is missing on the platform (404).
    serveManifest(QStringLiteral("9.9.9"),
        { m_files.url(QStringLiteral("/files/data.pak")),
            m_files.url(QStringLiteral("/missing/kest")) });
    ASSERT_NO_FATAL_FAILURE(startLauncher());
    const QString updaterPid = answerYesAndFindTheUpdater();
    ASSERT_FALSE(updaterPid.isEmpty());
    serveManifest(qEnvironmentVariable("KEST_VERSION"), {});

    const QString failed = waitForNotice(updaterPid, 60000);
    ASSERT_FALSE(failed.isEmpty()) << "the updater told nothing";
    screenshot(artifact(QStringLiteral("failed-notice.png")));
    EXPECT_TRUE(readAll(eventLogPath()).contains("update failed: the download of kest"))
        << readAll(eventLogPath()).constData();
    activateWindow(failed);
    pressKey(QStringLiteral("Return"));

    const pid_t restarted = waitForRestartedLauncher();
    ASSERT_NE(restarted, 0) << "the old launcher was not started again";
    EXPECT_EQ(readAll(QStringLiteral("/proc/%1/exe").arg(restarted)), m_oldBytes);
    EXPECT_EQ(QDir(m_scratch.filePath(QStringLiteral("install")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList { QStringLiteral("kest"), QStringLiteral("libkest-engine.so") }));
    EXPECT_EQ(readAll(libraryPath()), m_oldLibrary);
}

} // namespace

// A package's copy: its folder is not to be written. It places a copy of
// itself in the player's data folder and runs that; the copy is updated, the
// package's folder is not, and the next start of the package runs the update.
TEST_F(UpdateE2eTest, APackagedCopyRunsAndUpdatesAPerUserCopy)
{
    const QString system = m_scratch.filePath(QStringLiteral("system"));
    ASSERT_TRUE(QDir().mkpath(system));
    ASSERT_FALSE(kest::test::copyBuiltLauncher(system).isEmpty());
    writeFile(system + "/system-copy", "installed by a package\n", QFile::ReadOwner);
    const QStringList packaged = QDir(system).entryList(QDir::Files);
    m_launcherFolder = QStringLiteral("data/kest/program");

    serveManifest(QStringLiteral("9.9.9"),
        { m_files.url(QStringLiteral("/files/data.pak")), m_demo.fileUrl(QStringLiteral("kest")) });
    ASSERT_NO_FATAL_FAILURE(startLauncher(system + "/kest"));
    // The process the package started now runs the per-user copy.
    const QString exe = QStringLiteral("/proc/%1/exe").arg(m_launcher.processId());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QFileInfo(exe).symLinkTarget() == launcherPath(); }, 10000))
        << QFileInfo(exe).symLinkTarget().toStdString();
    EXPECT_EQ(readAll(launcherPath()), m_oldBytes);
    EXPECT_EQ(readAll(libraryPath()), m_oldLibrary);
    EXPECT_FALSE(
        QFileInfo::exists(m_scratch.filePath(QStringLiteral("data/kest/program/system-copy"))));

    const QString updaterPid = answerYesAndFindTheUpdater();
    ASSERT_FALSE(updaterPid.isEmpty());
    serveManifest(qEnvironmentVariable("KEST_VERSION"), {});
    const QString done = waitForNotice(updaterPid, 60000);
    ASSERT_FALSE(done.isEmpty()) << "the updater told nothing";
    activateWindow(done);
    pressKey(QStringLiteral("Return"));
    const pid_t restarted = waitForRestartedLauncher();
    ASSERT_NE(restarted, 0) << "no launcher was started after the update";
    EXPECT_EQ(readAll(QStringLiteral("/proc/%1/exe").arg(restarted)), m_newBytes);
    endProcess(restarted);

    // The next start from the package goes straight to the updated copy.
    ASSERT_NO_FATAL_FAILURE(startLauncher(system + "/kest"));
    const QString next = QStringLiteral("/proc/%1/exe").arg(m_launcher.processId());
    EXPECT_TRUE(QTest::qWaitFor([&] { return readAll(next) == m_newBytes; }, 10000));
    EXPECT_EQ(QDir(system).entryList(QDir::Files), packaged);
    EXPECT_EQ(readAll(system + "/kest"), m_oldBytes);
    EXPECT_TRUE(
        readAll(eventLogPath())
            .contains(QByteArray("per-user copy " + launcherPath().toUtf8() + ": up to date")));
}
