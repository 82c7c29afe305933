// Which window system platform the launcher starts on, from what its
// environment offers: one row per situation a player's desktop can be in.
#include "platform/displayplatform.h"

#include <gtest/gtest.h>

namespace {

using kest::DisplayChoice;
using kest::DisplayEnvironment;
using Platform = DisplayChoice::Platform;

TEST(DisplayPlatform, ChoosesX11WheneverAnXDisplayAnswersElseWaylandElseTellsWhy)
{
    const QString x = QStringLiteral(":0");
    const QString wl = QStringLiteral("wayland-1");
    const QString wayland = QStringLiteral("wayland");
    const struct {
        const char* name;
        DisplayEnvironment environment;
        Platform platform;
        const char* qpa;
        const char* inLog; // a phrase the event-log line must have
    } rows[] = {
        { "x11 session", { {}, x, {}, QStringLiteral("x11"), true, false, false }, Platform::X11,
            "xcb", "X11 on :0" },
        { "wayland session with xwayland stays on x11", { {}, x, wl, wayland, true, true, true },
            Platform::X11, "xcb", "through XWayland" },
        { "wayland without xwayland runs natively", { {}, {}, wl, wayland, false, true, true },
            Platform::Wayland, "wayland", "compositor places the windows" },
        { "xwayland socket that does not answer", { {}, x, wl, wayland, false, true, true },
            Platform::Wayland, "wayland", "without XWayland" },
        { "wayland without the plugin and without xwayland",
            { {}, {}, wl, wayland, false, true, false }, Platform::None, "", "qt6-wayland" },
        { "dead x display, no wayland", { {}, x, {}, QStringLiteral("x11"), false, false, true },
            Platform::None, "", ":0 does not answer" },
        { "dead compositor", { {}, {}, wl, wayland, false, false, true }, Platform::None, "",
            "wayland-1 does not answer" },
        { "text console", { {}, {}, {}, QStringLiteral("tty"), false, false, true }, Platform::None,
            "", "session type 'tty'" },
        { "player's offscreen is kept",
            { QStringLiteral("offscreen"), {}, {}, {}, false, false, false }, Platform::PlayersOwn,
            "", "offscreen as set" },
        { "player's list is kept: Qt tries each",
            { QStringLiteral("wayland;xcb"), {}, {}, {}, false, false, false },
            Platform::PlayersOwn, "", "as set" },
        { "player's xcb without an x display",
            { QStringLiteral("xcb"), {}, wl, wayland, false, true, true }, Platform::Wayland,
            "wayland", "QT_QPA_PLATFORM=xcb cannot open" },
        { "player's wayland without the plugin",
            { QStringLiteral("wayland-egl"), x, wl, wayland, true, true, false }, Platform::X11,
            "xcb", "cannot open" },
        { "player's xcb with options that work",
            { QStringLiteral("xcb:display=:0"), x, {}, {}, true, false, false },
            Platform::PlayersOwn, "", "as set" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DisplayChoice choice = kest::chooseDisplayPlatform(row.environment);
        EXPECT_EQ(choice.platform, row.platform);
        EXPECT_EQ(choice.qpa, QByteArray(row.qpa));
        EXPECT_TRUE(choice.log.contains(QString::fromUtf8(row.inLog))) << choice.log.toStdString();
        // Whoever cannot start is told why in their own words; nobody else is.
        EXPECT_EQ(choice.notice.isEmpty(), row.platform != Platform::None);
    }
}

} // namespace
