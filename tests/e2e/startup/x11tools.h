#pragma once

// Drives a real X display the way a player would, through the standard tools
// (xdotool, xwininfo, xprop, import), and starts the programs under test.

#include <QImage>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace kest::e2e {

// Runs a tool to its end and returns its standard output ("" when it failed).
QString runTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

struct XWindow {
    QString id; // as xdotool prints it (decimal)
    QString name;
    QRect geometry; // absolute, of the client window
};

// The viewable windows of a process, by _NET_WM_PID.
QList<XWindow> visibleWindowsOf(qint64 pid);
// Viewable windows whose name is exactly `name`.
QList<XWindow> visibleWindowsNamed(const QString& name);
XWindow describeWindow(const QString& id);
// Whether the window manager has iconified the window (WM_STATE Iconic).
bool isIconic(const QString& id);
// Asks the window's program to close it, with the WM_DELETE_WINDOW message a
// window manager sends when the player closes a window. (openbox itself
// offers no close for a splash-type window.) False if it could not be sent.
bool sendWindowManagerClose(const QString& id);

// The processes a process started, and theirs, by /proc.
QList<qint64> descendantsOf(qint64 pid);
bool processExists(qint64 pid);

// The whole screen as it is now; also saved to `savePath` when given.
QImage screenshot(const QString& savePath = {});

// Polls `condition` every 50 ms, running the event loop, for up to `timeoutMs`.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

void clickAt(QPoint screenPoint, int button = 1);
void dragFrom(QPoint from, QPoint to);
void typeText(const QString& text);
void pressKey(const QString& keys); // xdotool key names, e.g. "Return", "shift+Tab"

// A demo platform server on a free loopback port.
class DemoServer {
public:
    explicit DemoServer(const QStringList& extraArguments = {});
    ~DemoServer();
    bool isRunning() const { return m_port != 0; }
    int port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString logText() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

// One run of the launcher with its own browser storage, event log and
// (optionally) default browser.
class Launcher {
public:
    Launcher();
    ~Launcher();

    QProcessEnvironment& environment() { return m_env; }
    // Point the launcher's three hosts at `host`.
    void useHost(const QString& host);
    // Makes a recorder the desktop's default web browser: every address it is
    // asked to open is appended to openedAddresses().
    void installRecordingBrowser();
    QString openedAddresses() const;
    // QT_QPA_PLATFORM and QTWEBENGINE_CHROMIUM_FLAGS as that browser saw them.
    QString browserEnvironment() const;

    // `wrapper` runs first with the launcher as its last argument (e.g. unshare).
    bool start(const QStringList& arguments = {}, const QStringList& wrapper = {});
    qint64 pid() const { return m_pid; }
    bool waitForExit(int timeoutMs);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QString output() const;
    QString errorOutput() const;
    QString eventLog() const;
    void stop();

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_process;
    qint64 m_pid = 0;
};

} // namespace kest::e2e
