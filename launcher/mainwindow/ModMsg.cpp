#include "launcher/mainwindow/ModMsg.h"

#include "platform/desktopnotice.h"
#include "platform/eventlog.h"
#include "platform/globalshortcuts.h"
#include "platform/messagebox.h"
#include "platform/messages.h"
#include "platform/windowhiding.h"
#include "winhook/WindowMessage.h"

#include <QAbstractNativeEventFilter>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

namespace kest {

namespace {

constexpr xcb_keysym_t kKeysymF10 = 0xFFC7;
constexpr std::uint8_t kBadAccess = 10;
// Caps Lock and NumLock (Mod2) become part of a key's state: without these
// variants F10 would stop working whenever either lock is on.
constexpr std::array<std::uint16_t, 4> kLockVariants {
    0,
    XCB_MOD_MASK_LOCK,
    XCB_MOD_MASK_2,
    XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2,
};
constexpr std::uint16_t kModifierBits = 0xFF;

struct FreeXcb {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeXcb>;

// The keycodes whose unshifted symbol is `keysym`.
std::vector<xcb_keycode_t> keycodesOf(xcb_connection_t* connection, xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    const XcbReply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    std::vector<xcb_keycode_t> codes;
    if (!mapping)
        return codes;
    const int perCode = mapping->keysyms_per_keycode;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    for (int i = 0; perCode > 0 && i < count && (i + 1) * perCode <= length; ++i)
        if (symbols[i * perCode] == keysym)
            codes.push_back(static_cast<xcb_keycode_t>(first + i));
    return codes;
}

// A passive grab of F10 (with its lock variants) on the root window, turned
// into WM_HOTKEY messages to one window.
class HotKeyGrab final : public QAbstractNativeEventFilter {
public:
    // Null when there is no X11 display or the key cannot be had; the reason
    // is in the event log.
    static std::unique_ptr<HotKeyGrab> grab(QWidget* target);
    ~HotKeyGrab() override;
    Q_DISABLE_COPY_MOVE(HotKeyGrab)

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    HotKeyGrab(xcb_connection_t* connection, xcb_window_t root, std::vector<xcb_keycode_t> keys,
        WindowHandle target);
    static void release(
        xcb_connection_t* connection, xcb_window_t root, const std::vector<xcb_keycode_t>& keys);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    std::vector<xcb_keycode_t> m_keys;
    WindowHandle m_target;
};

xcb_connection_t* x11Connection()
{
    auto* app = qGuiApp;
    if (!app)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

std::unique_ptr<HotKeyGrab> HotKeyGrab::grab(QWidget* target)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        logEvent(QStringLiteral("HookMainWindow: no hot key F10: the display is not X11"));
        return nullptr;
    }
    // The root of the screen the window is on.
    const XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection,
        xcb_query_tree(connection, static_cast<xcb_window_t>(target->winId())), nullptr));
    if (!tree) {
        logEvent(QStringLiteral("HookMainWindow: no hot key F10: the window's screen is unknown"));
        return nullptr;
    }
    const xcb_window_t root = tree->root;
    const std::vector<xcb_keycode_t> keys = keycodesOf(connection, kKeysymF10);
    if (keys.empty()) {
        logEvent(
            QStringLiteral("HookMainWindow: no hot key F10: no key of the keyboard gives F10"));
        return nullptr;
    }

    std::vector<xcb_void_cookie_t> requests;
    for (const xcb_keycode_t key : keys)
        for (const std::uint16_t modifiers : kLockVariants)
            requests.push_back(xcb_grab_key_checked(
                connection, 0, root, modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    int failure = 0;
    for (const xcb_void_cookie_t request : requests) {
        const XcbReply<xcb_generic_error_t> error(xcb_request_check(connection, request));
        if (error && failure == 0)
            failure = error->error_code;
    }
    if (failure != 0) {
        // All or nothing: F10 half held (with NumLock only, say) would act
        // differently by the state of a lock.
        release(connection, root, keys);
        logEvent(failure == kBadAccess
                ? QStringLiteral("HookMainWindow: no hot key F10: another program holds it "
                                 "(X error 10, BadAccess)")
                : QStringLiteral("HookMainWindow: no hot key F10: X error %1").arg(failure));
        return nullptr;
    }
    return std::unique_ptr<HotKeyGrab>(
        new HotKeyGrab(connection, root, keys, windowHandle(target)));
}

HotKeyGrab::HotKeyGrab(xcb_connection_t* connection, xcb_window_t root,
    std::vector<xcb_keycode_t> keys, WindowHandle target)
    : m_connection(connection)
    , m_root(root)
    , m_keys(std::move(keys))
    , m_target(target)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

HotKeyGrab::~HotKeyGrab()
{
    // The connection goes with the application; a grab then ends with it.
    if (x11Connection() == m_connection)
        release(m_connection, m_root, m_keys);
}

void HotKeyGrab::release(
    xcb_connection_t* connection, xcb_window_t root, const std::vector<xcb_keycode_t>& keys)
{
    // Ungrabbing a combination this client does not hold does nothing.
    for (const xcb_keycode_t key : keys)
        for (const std::uint16_t modifiers : kLockVariants)
            xcb_ungrab_key(connection, key, root, modifiers);
    // A round trip: once this returns, the key is free for other programs.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool HotKeyGrab::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // A key release has the same layout.
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->event != m_root
        || std::find(m_keys.begin(), m_keys.end(), key->detail) == m_keys.end())
        return false;
    constexpr std::uint16_t locks = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
    if ((key->state & kModifierBits & ~locks) != 0)
        return false;
    if (type == XCB_KEY_PRESS)
        sendWindowMessage(m_target, WM_HOTKEY, kHotKeyId, makeLParam(0, VK_F10));
    // Nothing of this object is used past the message: the window's handler
    // may have unhooked it.
    return true;
}

// The hook itself: lives on the window it watches (and goes with it), sees
// the window's hot key and tray messages first and lets them go on.
class MainWindowHook final : public QObject {
public:
    MainWindowHook(QWidget* window, QMenu* menu)
        : QObject(window)
        , m_window(window)
        , m_menu(menu)
    {
        window->installEventFilter(this);
        startHotKey();
    }
    ~MainWindowHook() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }
    Q_DISABLE_COPY_MOVE(MainWindowHook)

    QWidget* window() const { return m_window; }
    QMenu* menu() const { return m_menu; }
    bool holdsHotKey() const
    {
        return m_hotKey || (m_portal && m_portal->state() == GlobalShortcuts::State::Bound);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window || event->type() != WindowMessageEvent::eventType())
            return false;
        const auto* message = static_cast<const WindowMessageEvent*>(event);
        if (message->message() == WM_HOTKEY || message->message() == WM_TRAYNOTIFY)
            MainWndProc(m_window, message->message(), message->wParam(), message->lParam());
        return false;
    }

private:
    // The one place that decides where F10 comes from. In a Wayland session
    // no client may grab keys: the desktop's global-shortcuts portal binds
    // it, and an X11 grab through XWayland would see F10 only while one of
    // the program's own windows has focus, so it is only the fallback there.
    // Elsewhere the X11 grab, as ever.
    void startHotKey()
    {
        if (!GlobalShortcuts::isWaylandSession()) {
            m_hotKey = HotKeyGrab::grab(m_window);
            return;
        }
        m_portal = std::make_unique<GlobalShortcuts>(QDBusConnection::sessionBus());
        connect(m_portal.get(), &GlobalShortcuts::bound, this, [](const QString& trigger) {
            logInfo(QStringLiteral("HookMainWindow: hot key from the desktop's global-shortcuts "
                                   "portal, bound to %1")
                        .arg(trigger.isEmpty() ? QStringLiteral("F10") : trigger));
        });
        connect(m_portal.get(), &GlobalShortcuts::activated, this, [this] {
            if (m_window)
                sendWindowMessage(
                    windowHandle(m_window), WM_HOTKEY, kHotKeyId, makeLParam(0, VK_F10));
        });
        connect(m_portal.get(), &GlobalShortcuts::failed, this, [this](const QString& reason) {
            logEvent(QStringLiteral("HookMainWindow: no hot key F10 from the desktop's "
                                    "global-shortcuts portal: ")
                + reason);
            if (m_window)
                m_hotKey = HotKeyGrab::grab(m_window);
            if (m_hotKey)
                logEvent(QStringLiteral("HookMainWindow: F10 through XWayland instead: it works "
                                        "only while a kest window has focus"));
            else
                tellPlayerNoHotKey();
        });
        m_portal->bind(QStringLiteral("toggle-main-window"), QStringLiteral("显示/隐藏游戏窗口"),
            QStringLiteral("F10"));
    }

    // A player who relies on F10 would otherwise press it in vain: a
    // desktop notification, or the program's message box without one.
    void tellPlayerNoHotKey()
    {
        const QString title = QStringLiteral("F10 热键不可用");
        const QString text = QStringLiteral("桌面没有提供全局快捷键，F10 不能隐藏或显示游戏窗口。"
                                            "请单击托盘图标来隐藏或显示游戏窗口。");
        notifyDesktop(title, text, this, [this, title, text](const QString& reason) {
            logEvent(QStringLiteral("HookMainWindow: the notice on F10 went to a message box: ")
                + reason);
            QMessageBox* box
                = NewMsgBox(m_window, text, title, MsgIcon::Exclamation, MsgButtons::OK);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    }

    QPointer<QWidget> m_window;
    QPointer<QMenu> m_menu;
    std::unique_ptr<HotKeyGrab> m_hotKey;
    std::unique_ptr<GlobalShortcuts> m_portal;
};

QPointer<MainWindowHook>& hookSlot()
{
    static QPointer<MainWindowHook> hook;
    return hook;
}

} // namespace

void HookMainWindow(QWidget* hWnd, QMenu* appmenu)
{
    if (!hWnd)
        return;
    if (QPointer<MainWindowHook>& slot = hookSlot(); slot)
        UnhookMainWindow(slot->window());
    hookSlot() = new MainWindowHook(hWnd, appmenu);
}

void UnhookMainWindow(QWidget* hWnd)
{
    QPointer<MainWindowHook>& slot = hookSlot();
    if (!slot || !hWnd || slot->window() != hWnd)
        return;
    delete slot.data();
}

void MainWndProc(QWidget* hWnd, std::uint32_t uMsg, WParam, LParam lParam)
{
    if (uMsg == WM_HOTKEY) {
        if (hiWord(static_cast<std::uintptr_t>(lParam)) == VK_F10)
            ToggleWindow(hWnd);
        return;
    }
    if (uMsg != WM_TRAYNOTIFY)
        return;
    if (lParam == WM_LBUTTONUP) {
        ToggleWindow(hWnd);
    } else if (lParam == WM_RBUTTONUP) {
        const QPointer<MainWindowHook>& slot = hookSlot();
        if (slot && slot->window() == hWnd && slot->menu())
            slot->menu()->popup(QCursor::pos());
    }
}

void ToggleWindow(QWidget* hWnd)
{
    if (!hWnd)
        return;
    // Off the screen, not hidden: the games in the window keep running.
    if (isShownToPlayer(hWnd))
        hideFromPlayer(hWnd);
    else
        showToPlayer(hWnd);
}

bool hotKeyHeld()
{
    const QPointer<MainWindowHook>& slot = hookSlot();
    return slot && slot->holdsHotKey();
}

} // namespace kest
