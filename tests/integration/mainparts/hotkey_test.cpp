// The F10 hot key of the main window on a real X server: real key presses
// (xdotool) hide and show the hooked window, with NumLock or Caps Lock on
// too; another X client (F10Holder) that holds F10 first makes the grab
// fail with a line in the event log and nothing else missing; after the
// unhook another client can take F10. Also the tray messages the hook reacts
// to.
#include "launcher/mainwindow/ModMsg.h"
#include "platform/messages.h"
#include "platform/windowhiding.h"
#include "tests/support/x11tools.h"
#include "winhook/WindowMessage.h"

#include "tests/support/testenv.h"

#include <QMenu>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

using namespace kest;
using namespace kest::test;

namespace {

// Notes the messages that get through to it.
class MainWindow : public QWidget {
public:
    QList<std::uint32_t> messages;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == WindowMessageEvent::eventType()) {
            messages << static_cast<WindowMessageEvent*>(event)->message();
            return true;
        }
        return QWidget::event(event);
    }
};

class HotKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        KEST_REQUIRE_X11(QStringLiteral("xdotool"), QStringLiteral("xwininfo"));
        window.setWindowTitle(QStringLiteral("hot key test"));
        window.setGeometry(200, 150, 320, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 15000));
    }
    void TearDown() override { UnhookMainWindow(&window); }

    // Presses and releases F10 as a keyboard would, then waits for the
    // window to be shown to the player (`visible`) in Qt's and the X server's eyes.
    ::testing::AssertionResult pressF10Expecting(bool visible)
    {
        if (!xdotool({ QStringLiteral("key"), QStringLiteral("F10") }))
            return ::testing::AssertionFailure() << "xdotool failed";
        const QString wanted
            = visible ? QStringLiteral("IsViewable") : QStringLiteral("IsUnMapped");
        if (!QTest::qWaitFor(
                [&] {
                    return isShownToPlayer(&window) == visible
                        && mapState(window.winId()) == wanted;
                },
                5000))
            return ::testing::AssertionFailure()
                << "window visible " << isShownToPlayer(&window) << ", X map state "
                << mapState(window.winId()).toStdString();
        return ::testing::AssertionSuccess();
    }

    EventLog m_events;
    MainWindow window;
};

TEST_F(HotKey, F10HidesAndShowsTheWindowWithAndWithoutTheLocks)
{
    HookMainWindow(&window, nullptr);
    ASSERT_TRUE(hotKeyHeld());
    const QRect place = window.frameGeometry();
    EXPECT_TRUE(pressF10Expecting(false));
    EXPECT_TRUE(pressF10Expecting(true));
    EXPECT_EQ(window.messages.count(WM_HOTKEY), 2) << "the message goes on to the window";
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() == place; }))
        << "shown again where it was";

    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Num_Lock") }));
    ASSERT_TRUE(QTest::qWaitFor([] { return (pointerState() & XCB_MOD_MASK_2) != 0; }));
    EXPECT_TRUE(pressF10Expecting(false));
    EXPECT_TRUE(pressF10Expecting(true));

    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Caps_Lock") }));
    ASSERT_TRUE(QTest::qWaitFor([] { return (pointerState() & XCB_MOD_MASK_LOCK) != 0; }));
    EXPECT_TRUE(pressF10Expecting(false));
    EXPECT_TRUE(pressF10Expecting(true));

    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Num_Lock") }));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Caps_Lock") }));
    ASSERT_TRUE(QTest::qWaitFor([] { return (pointerState() & 0xFF) == 0; }));

    // With a modifier F10 is not the hot key.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("shift+F10") }));
    QTest::qWait(300);
    EXPECT_TRUE(isShownToPlayer(&window));
}

TEST_F(HotKey, TheToggleKeepsMinimisedAndMaximisedStates)
{
    // The window manager's record of the window: maximised, iconified.
    const auto wmState = [&] {
        return runTool(QStringLiteral("xprop"),
            { QStringLiteral("-id"), QString::number(window.winId()),
                QStringLiteral("_NET_WM_STATE"), QStringLiteral("WM_STATE") });
    };
    const auto maximisedByWm
        = [&] { return wmState().contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT")); };
    const auto iconicByWm = [&] { return wmState().contains(QLatin1String("Iconic")); };

    HookMainWindow(&window, nullptr);
    window.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor(maximisedByWm, 5000));
    EXPECT_TRUE(pressF10Expecting(false));
    QTest::qWait(300);
    EXPECT_TRUE(pressF10Expecting(true));
    EXPECT_TRUE(QTest::qWaitFor(maximisedByWm, 5000));
    EXPECT_TRUE(window.isMaximized());

    window.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor(iconicByWm, 5000));
    ASSERT_TRUE(isShownToPlayer(&window)) << "a minimised window counts as shown";
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("F10") }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isShownToPlayer(&window); }));
    // Some time apart, as a player's two presses are: the window manager
    // needs a moment to let go of the hidden window.
    QTest::qWait(300);
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("F10") }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return isShownToPlayer(&window); }));
    EXPECT_TRUE(QTest::qWaitFor(iconicByWm, 5000)) << "shown again, still iconified";
    EXPECT_TRUE(window.isMinimized());
}

TEST_F(HotKey, AnotherProgramHoldingF10CostsOnlyTheHotKey)
{
    {
        F10Holder other;
        ASSERT_EQ(other.answer(), QStringLiteral("held"));
        HookMainWindow(&window, nullptr);
        EXPECT_FALSE(hotKeyHeld());
        EXPECT_TRUE(m_events.text().contains(QStringLiteral("BadAccess")))
            << m_events.text().toStdString();
        ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("F10") }));
        QTest::qWait(300);
        EXPECT_TRUE(isShownToPlayer(&window)) << "F10 went to the other program";

        // The tray still brings the window back and forth.
        sendWindowMessage(windowHandle(&window), WM_TRAYNOTIFY, 1000, WM_LBUTTONUP);
        EXPECT_FALSE(isShownToPlayer(&window));
        sendWindowMessage(windowHandle(&window), WM_TRAYNOTIFY, 1000, WM_LBUTTONUP);
        EXPECT_TRUE(isShownToPlayer(&window));
        UnhookMainWindow(&window);
    }
    // The other program has gone: the key can be had again.
    HookMainWindow(&window, nullptr);
    EXPECT_TRUE(hotKeyHeld());
    EXPECT_TRUE(pressF10Expecting(false));
    EXPECT_TRUE(pressF10Expecting(true));
}

TEST_F(HotKey, AfterTheUnhookAnotherProgramCanTakeF10)
{
    HookMainWindow(&window, nullptr);
    ASSERT_TRUE(hotKeyHeld());
    {
        F10Holder other;
        EXPECT_EQ(other.answer(), QStringLiteral("refused 10")) << "we hold F10";
    }
    UnhookMainWindow(&window);
    EXPECT_FALSE(hotKeyHeld());
    F10Holder other;
    EXPECT_EQ(other.answer(), QStringLiteral("held"));
    window.messages.clear();
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("F10") }));
    QTest::qWait(300);
    EXPECT_TRUE(isShownToPlayer(&window));
    EXPECT_TRUE(window.messages.isEmpty());
}

TEST_F(HotKey, HookingASecondWindowReleasesTheFirst)
{
    MainWindow second;
    second.setGeometry(600, 150, 200, 100);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second, 15000));
    HookMainWindow(&window, nullptr);
    HookMainWindow(&second, nullptr);
    ASSERT_TRUE(hotKeyHeld());
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("F10") }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isShownToPlayer(&second); }));
    EXPECT_TRUE(isShownToPlayer(&window));
    UnhookMainWindow(&window); // not the hooked one: nothing happens
    EXPECT_TRUE(hotKeyHeld());
    UnhookMainWindow(&second);
    EXPECT_FALSE(hotKeyHeld());
}

TEST_F(HotKey, TheHookActsOnF10AndTheTrayMessagesOnly)
{
    QMenu appmenu;
    appmenu.addAction(QStringLiteral("刷新(F5)"));
    HookMainWindow(&window, &appmenu);
    const WindowHandle handle = windowHandle(&window);

    // A hot key message for another key is only passed on.
    sendWindowMessage(handle, WM_HOTKEY, 1000, makeLParam(0, 120));
    EXPECT_TRUE(isShownToPlayer(&window));
    EXPECT_EQ(window.messages.count(WM_HOTKEY), 1);

    sendWindowMessage(handle, WM_TRAYNOTIFY, 1000, WM_MOUSEMOVE);
    sendWindowMessage(handle, WM_TRAYNOTIFY, 1000, WM_LBUTTONDOWN);
    EXPECT_TRUE(isShownToPlayer(&window));
    EXPECT_FALSE(appmenu.isVisible());

    // Right button up opens the menu, with the window shown or hidden.
    sendWindowMessage(handle, WM_TRAYNOTIFY, 1000, WM_RBUTTONUP);
    EXPECT_TRUE(QTest::qWaitFor([&] { return appmenu.isVisible(); }));
    appmenu.hide();
    sendWindowMessage(handle, WM_TRAYNOTIFY, 1000, WM_LBUTTONUP);
    EXPECT_FALSE(isShownToPlayer(&window));
    sendWindowMessage(handle, WM_TRAYNOTIFY, 1000, WM_RBUTTONUP);
    EXPECT_TRUE(QTest::qWaitFor([&] { return appmenu.isVisible(); }));
    appmenu.hide();
    EXPECT_FALSE(isShownToPlayer(&window));
    EXPECT_EQ(window.messages.count(WM_TRAYNOTIFY), 5) << "every message goes on to the window";

    // A window destroyed while hooked releases the key with it.
    {
        MainWindow doomed;
        doomed.show();
        HookMainWindow(&doomed, &appmenu);
        ASSERT_TRUE(hotKeyHeld());
    }
    EXPECT_FALSE(hotKeyHeld());
    F10Holder other;
    EXPECT_EQ(other.answer(), QStringLiteral("held"));
}

} // namespace
