#include "platform/hotkeygrab.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace kest {

namespace {

constexpr std::uint8_t kBadAccess = 10;
// Caps Lock and NumLock (Mod2) become part of a key's state: without these
// variants the key would stop working whenever either lock is on.
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

xcb_connection_t* x11Connection()
{
    auto* app = qGuiApp;
    if (!app)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

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

void release(
    xcb_connection_t* connection, xcb_window_t root, const std::vector<xcb_keycode_t>& keys)
{
    // Ungrabbing a combination this client does not hold does nothing.
    for (const xcb_keycode_t key : keys)
        for (const std::uint16_t modifiers : kLockVariants)
            xcb_ungrab_key(connection, key, root, modifiers);
    // A round trip: once this returns, the key is free for other programs.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

void say(QString* whyNot, const QString& reason)
{
    if (whyNot)
        *whyNot = reason;
}

} // namespace

std::unique_ptr<X11HotKeyGrab> X11HotKeyGrab::grab(
    QWidget* window, std::uint32_t keysym, QString* whyNot)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        say(whyNot, QStringLiteral("the display is not X11"));
        return nullptr;
    }
    // The root of the screen the window is on.
    const XcbReply<xcb_query_tree_reply_t> tree(window
            ? xcb_query_tree_reply(connection,
                xcb_query_tree(connection, static_cast<xcb_window_t>(window->winId())), nullptr)
            : nullptr);
    if (!tree) {
        say(whyNot, QStringLiteral("the window's screen is unknown"));
        return nullptr;
    }
    const xcb_window_t root = tree->root;
    std::vector<xcb_keycode_t> keys = keycodesOf(connection, keysym);
    if (keys.empty()) {
        say(whyNot, QStringLiteral("no key of the keyboard gives it"));
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
        // All or nothing: a key half held (with NumLock only, say) would act
        // differently by the state of a lock.
        release(connection, root, keys);
        say(whyNot,
            failure == kBadAccess
                ? QStringLiteral("another program holds it (X error 10, BadAccess)")
                : QStringLiteral("X error %1").arg(failure));
        return nullptr;
    }
    return std::unique_ptr<X11HotKeyGrab>(new X11HotKeyGrab(connection, root, std::move(keys)));
}

X11HotKeyGrab::X11HotKeyGrab(
    xcb_connection_t* connection, std::uint32_t root, std::vector<std::uint8_t> keys)
    : m_connection(connection)
    , m_root(root)
    , m_keys(std::move(keys))
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyGrab::~X11HotKeyGrab()
{
    // The connection goes with the application; a grab then ends with it.
    if (x11Connection() == m_connection)
        release(m_connection, m_root, m_keys);
}

bool X11HotKeyGrab::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
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
        emit activated();
    // Nothing of this object is used past the signal: a handler may have
    // deleted it.
    return true;
}

} // namespace kest
