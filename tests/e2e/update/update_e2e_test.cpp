// Updating end to end: an installed copy of the real kest finds another
// version on the demo platform, the question is answered with the keyboard
// through X, the real Update it carries downloads into the install folder and
// starts the launcher again. On Xvfb with openbox; screenshots land in the
// test's artefact folder.
#include "tests/support/http_fault_server.h"
#include "tests/support/launcherfiles.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/prctl.h>
#include <unistd.h>

using Step = kest::test::HttpFaultServer::Step;

namespace {

constexpr int kStartMs = 90000; // the browser engine's start under the sanitizers included
const QString kNotice = QStringLiteral("提示");
const QString kUpdaterCaption = QStringLiteral("更新");

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(50);
    }
    return true;
}

// Visible windows whose name is exactly `name`, as xdotool gives their ids.
QStringList windowsNamed(const QString& name)
{
    const QString out = run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
            QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$') });
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QRect geometryOf(const QString& window)
{
    const QString out = run(QStringLiteral("xdotool"),
        { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window });
    QRect rect;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X=")))
            rect.moveLeft(value.toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            rect.moveTop(value.toInt());
        else if (line.startsWith(QLatin1String("WIDTH=")))
            rect.setWidth(value.toInt());
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            rect.setHeight(value.toInt());
    }
    return rect;
}

QString pidOfWindow(const QString& window)
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("getwindowpid"), window });
}

// Presses Return in the window, as a player answering its default button.
void pressReturnIn(const QString& window)
{
    run(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), window });
    run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") });
}

QImage screenshot(const QString& path)
{
    run(QStringLiteral("import"), { QStringLiteral("-window"), QStringLiteral("root"), path });
    return QImage(path);
}

QString artifact(const QString& name)
{
    return kest::test::artifactDir(QStringLiteral("update_e2e")) + QLatin1Char('/') + name;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Processes whose executable is the file at `path` now (or was, before the
// file was replaced).
QList<pid_t> processesRunning(const QString& path)
{
    QList<pid_t> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number || pid == ::getpid())
            continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe == path || exe == path + QStringLiteral(" (deleted)"))
            pids << pid;
    }
    return pids;
}

void endProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    if (!waitUntil([pid] { return ::kill(pid, 0) != 0; }, 5000))
        ::kill(pid, SIGKILL);
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
        kest::test::HttpFaultServer::Script paced { Step::head(200, kDataLength) };
        for (qint64 at = 0; at < kDataLength; at += 8192)
            paced.insert(paced.end(), { Step::body(at, 8192), Step::pause(100) });
        m_files.route(QStringLiteral("/files/data.pak"), paced);

        m_demo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_demo.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_demo.start(qEnvironmentVariable("KEST_DEMO_BIN"),
            { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--manifest-file"),
                manifestFile(), QStringLiteral("--file"),
                QStringLiteral("kest=") + m_scratch.filePath(QStringLiteral("served/kest")),
                QStringLiteral("--file"),
                QStringLiteral("libkest-engine.so=")
                    + m_scratch.filePath(QStringLiteral("served/libkest-engine.so")),
                QStringLiteral("--log"), m_scratch.filePath(QStringLiteral("requests.log")) });
        QString said;
        const QRegularExpression ready(QStringLiteral("listening on (127\\.0\\.0\\.1:\\d+)"));
        while (m_demoHost.isEmpty() && m_demo.waitForReadyRead(15000)) {
            said += QString::fromUtf8(m_demo.readAllStandardOutput());
            m_demoHost = ready.match(said).captured(1);
        }
        ASSERT_FALSE(m_demoHost.isEmpty()) << "kest-demo did not start: " << said.toStdString();
    }

    void TearDown() override
    {
        // Every launcher and updater this case started, through whichever
        // program started it.
        for (const QString& program : { launcherPath(), updaterPath() }) {
            for (const pid_t pid : processesRunning(program))
                endProcess(pid);
        }
        if (m_launcher.state() != QProcess::NotRunning) {
            m_launcher.kill();
            m_launcher.waitForFinished(5000);
        }
        m_demo.terminate();
        if (!m_demo.waitForFinished(5000))
            m_demo.kill();
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
    QString demoFile(const QString& name) const
    {
        return QStringLiteral("http://%1/gamehome/kest/files/%2").arg(m_demoHost, name);
    }

    // Starts the installed launcher with the platform's hosts and storage of
    // its own. Its output goes to a file, which the programs it starts
    // inherit (a pipe would break under them once this side stops reading).
    void startLauncher(const QString& program = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* variable : { "KEST_LOGIN_HOST", "KEST_HOME_HOST", "KEST_STATIC_HOST" })
            env.insert(QLatin1String(variable), m_demoHost);
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
        waitUntil(
            [&] {
                const QStringList windows = windowsNamed(kNotice);
                for (const QString& window : windows) {
                    if (pidOfWindow(window) == pid)
                        found = window;
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
        pressReturnIn(question); // Yes is the default button
        EXPECT_TRUE(m_launcher.waitForFinished(30000)) << "the launcher did not get out of the way";
        EXPECT_EQ(m_launcher.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_launcher.exitCode(), 0);

        QString updaterPid;
        EXPECT_TRUE(waitUntil(
            [&] {
                const QStringList windows = windowsNamed(kUpdaterCaption);
                if (!windows.isEmpty())
                    updaterPid = pidOfWindow(windows.first());
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
        waitUntil(
            [&] {
                const QList<pid_t> pids = processesRunning(launcherPath());
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
    kest::test::HttpFaultServer m_files;
    QProcess m_demo;
    QString m_demoHost;
    QProcess m_launcher;
    QString m_launcherFolder = QStringLiteral("install");
};

TEST_F(UpdateE2eTest, ANewerVersionIsInstalledAndTheNewLauncherStarts)
{
    serveManifest(QStringLiteral("9.9.9"),
        { m_files.url(QStringLiteral("/files/data.pak")),
            demoFile(QStringLiteral("libkest-engine.so")), demoFile(QStringLiteral("kest")) });
    ASSERT_NO_FATAL_FAILURE(startLauncher());
    // The updater reads the launcher's copy; the platform itself now names
    // the build's own version, so the launcher started afterwards goes on.
    const QString updaterPid = answerYesAndFindTheUpdater();
    ASSERT_FALSE(updaterPid.isEmpty());
    serveManifest(qEnvironmentVariable("KEST_VERSION"), {});

    // The updater's window at work on data.pak: seen, and kept as a picture.
    const QStringList windows = windowsNamed(kUpdaterCaption);
    ASSERT_FALSE(windows.isEmpty());
    const QRect frame = geometryOf(windows.first());
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
    pressReturnIn(done);

    const pid_t restarted = waitForRestartedLauncher();
    ASSERT_NE(restarted, 0) << "no launcher was started after the update";
    // The process runs the served bytes, not the installed ones.
    EXPECT_EQ(readAll(QStringLiteral("/proc/%1/exe").arg(restarted)), m_newBytes);
    EXPECT_EQ(readAll(launcherPath()), m_newBytes);
    // Its engine library came with it, and is the one it loads.
    EXPECT_EQ(readAll(libraryPath()), m_newLibrary);
    EXPECT_TRUE(waitUntil(
        [&] {
            return readAll(QStringLiteral("/proc/%1/maps").arg(restarted))
                .contains(libraryPath().toUtf8());
        },
        kStartMs))
        << "the new launcher did not load its engine library";
    EXPECT_EQ(readAll(m_scratch.filePath(QStringLiteral("install/data.pak"))),
        kest::test::patternBytes(0, kDataLength));
    EXPECT_FALSE(QFileInfo::exists(m_scratch.filePath(QStringLiteral("install/.kest-update"))));
    EXPECT_TRUE(waitUntil([&] { return processesRunning(updaterPath()).isEmpty(); }, 10000));
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
    pressReturnIn(failed);

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
        { m_files.url(QStringLiteral("/files/data.pak")), demoFile(QStringLiteral("kest")) });
    ASSERT_NO_FATAL_FAILURE(startLauncher(system + "/kest"));
    // The process the package started now runs the per-user copy.
    const QString exe = QStringLiteral("/proc/%1/exe").arg(m_launcher.processId());
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(exe).symLinkTarget() == launcherPath(); }, 10000))
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
    pressReturnIn(done);
    const pid_t restarted = waitForRestartedLauncher();
    ASSERT_NE(restarted, 0) << "no launcher was started after the update";
    EXPECT_EQ(readAll(QStringLiteral("/proc/%1/exe").arg(restarted)), m_newBytes);
    endProcess(restarted);

    // The next start from the package goes straight to the updated copy.
    ASSERT_NO_FATAL_FAILURE(startLauncher(system + "/kest"));
    const QString next = QStringLiteral("/proc/%1/exe").arg(m_launcher.processId());
    EXPECT_TRUE(waitUntil([&] { return readAll(next) == m_newBytes; }, 10000));
    EXPECT_EQ(QDir(system).entryList(QDir::Files), packaged);
    EXPECT_EQ(readAll(system + "/kest"), m_oldBytes);
    EXPECT_TRUE(
        readAll(eventLogPath())
            .contains(QByteArray("per-user copy " + launcherPath().toUtf8() + ": up to date")));
}
