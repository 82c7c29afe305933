#pragma once

// Drives a real X display (tests/support/with-x11) the way a player would,
// through the standard tools (xdotool, xwininfo, xprop, import), and asks the
// X server what it holds, from small X clients of their own (a panel that
// reserves a strip of the screen, a window manager request) on a separate
// connection, as another program would.

#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace kest::test {

// Skips the calling test unless it runs on X11 with the given tools.
#define KEST_REQUIRE_X11(...)                                                                      \
    do {                                                                                           \
        if (const QString missing = ::kest::test::missingX11(QStringList { __VA_ARGS__ });         \
            !missing.isEmpty())                                                                    \
            GTEST_SKIP() << missing.toStdString();                                                 \
    } while (false)

// Empty when the display is X11 and every tool is installed; else the reason.
QString missingX11(const QStringList& tools);

// Runs a tool to its end and returns its standard output ("" when it did not
// end in time); *ok tells whether it exited with 0.
QString runTool(const QString& program, const QStringList& arguments, int timeoutMs = 15000,
    bool* ok = nullptr);
bool xdotool(const QStringList& arguments);

struct XWindow {
    QString id; // as xdotool prints it (decimal)
    QString name;
    QRect geometry; // absolute, of the client window
};

// The viewable windows of a process, by _NET_WM_PID.
QList<XWindow> visibleWindowsOf(qint64 pid);
// Those of them of exactly this size (how the tests tell the windows apart).
QList<XWindow> windowsSized(qint64 pid, QSize size);
// Viewable windows whose name is exactly `name`.
QList<XWindow> visibleWindowsNamed(const QString& name);
XWindow describeWindow(const QString& id);
// The process that owns the window (_NET_WM_PID), as xdotool prints it.
QString windowPid(const QString& id);
// Whether the window manager has iconified the window (WM_STATE Iconic).
bool isIconic(const QString& id);
// "IsViewable", "IsUnMapped" or "IsUnviewable", as xwininfo reports it.
QString mapState(unsigned long window);
// The number of windows inside `window`, all levels down.
int descendantCount(unsigned long window);
// The first window, at any depth, whose name contains `name` (0: none).
unsigned long findWindowNamed(const QString& name);

// Asks the window's program to close it, with the WM_DELETE_WINDOW message a
// window manager sends when the player closes a window. (openbox itself
// offers no close for a splash-type window.) False if it could not be sent.
bool sendWindowManagerClose(const QString& id);
// Asks the window manager to close `window`, as a taskbar or a window's menu
// does (_NET_CLOSE_WINDOW).
void requestClose(unsigned long window);

// The processes a process started, and theirs, by /proc.
QList<qint64> descendantsOf(qint64 pid);
bool processExists(qint64 pid);
// Processes (other than this one) whose executable is the file at `path` now,
// or was before the file was replaced.
QList<qint64> processesRunning(const QString& path);
// SIGTERM to the process, SIGKILL when it has not gone within 5 s.
void endProcess(qint64 pid);

// The whole screen as it is now (import); also saved to `savePath` when given.
QImage screenshot(const QString& savePath = {});
// The pixels of the screen (the root window) in `area`, through this
// program's own connection, saved as <artifacts>/<folder>/<file> when a
// folder is given.
QImage grabScreen(const QRect& area, const QString& folder = {}, const QString& file = {});

// The X modifier and button state of the pointer's screen (Lock, Mod2...).
std::uint16_t pointerState();

void activateWindow(const QString& id); // and wait until the window manager did
void clickAt(QPoint screenPoint, int button = 1);
void dragFrom(QPoint from, QPoint to);
void typeText(const QString& text);
void pressKey(const QString& keys); // xdotool key names, e.g. "Return", "shift+Tab"

// A panel along the bottom of the screen that reserves its height there
// (a dock window with a strut), made by its own X connection. The window
// manager takes the strip out of the work area while the panel exists.
class BottomPanel {
public:
    static constexpr std::uint32_t kPanelColour = 0x3366CC;

    explicit BottomPanel(int height);
    ~BottomPanel();
    BottomPanel(const BottomPanel&) = delete;
    BottomPanel& operator=(const BottomPanel&) = delete;

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};

// Another X client that wants F10: the hotkey_holder program (the one beside
// the tests unless `program` names another) grabs the key on the root window
// and keeps it until this object goes.
class F10Holder {
public:
    explicit F10Holder(const QString& program = {});
    ~F10Holder();
    F10Holder(const F10Holder&) = delete;
    F10Holder& operator=(const F10Holder&) = delete;

    // "held", "refused <X error>", or "not started".
    QString answer() const { return m_answer; }

private:
    QProcess m_process;
    QString m_answer;
};

} // namespace kest::test
