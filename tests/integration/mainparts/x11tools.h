#pragma once

// What the main window's parts are tested with under Xvfb: xdotool for real
// input, xwininfo for what the X server says about a window, screenshots
// from the screen itself, and small X clients of their own (a panel that
// reserves a strip of the screen, a window manager request) on a separate
// connection, as another program would be.

#include <QImage>
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

// Runs a program to its end; true when it exits with 0. Its output in *out.
bool runTool(const QString& program, const QStringList& args, QString* out = nullptr);
bool xdotool(const QStringList& args);

// "IsViewable", "IsUnMapped" or "IsUnviewable", as xwininfo reports it.
QString mapState(unsigned long window);
// The number of windows inside `window`, all levels down.
int descendantCount(unsigned long window);
// The first window, at any depth, whose name contains `name` (0: none).
unsigned long findWindowNamed(const QString& name);

// The pixels of the screen (the root window) in `area`, saved as
// <artifacts>/<file> when a folder is given.
QImage grabScreen(const QRect& area, const QString& folder = {}, const QString& file = {});

// The X modifier and button state of the pointer's screen (Lock, Mod2...).
std::uint16_t pointerState();

// Asks the window manager to close `window`, as a taskbar or a window's menu
// does (_NET_CLOSE_WINDOW).
void requestClose(unsigned long window);

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

} // namespace kest::test
