#pragma once

#include "winhook/WindowHandle.h"

#include <QPointer>
#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

class QEvent;
class QObject;

namespace kest {

class SubclassHook;

// The holder of a CSubclass receives the hooked messages here.
//
// For a message the before table selects, WindowProc runs with bBefore true,
// bHandled false and lReturn 0. Setting bHandled swallows the message: the
// window never sees it, no after call follows and lReturn is the result the
// sender gets. Otherwise the window handles the message and, when the after
// table selects it, WindowProc runs again with bBefore false and the window's
// result in lReturn, which the handler may change. lParamUser is the window's
// own user value: a change made here is kept for later messages.
class ISubclassOwner {
public:
    virtual ~ISubclassOwner() = default;
    virtual void WindowProc(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd,
        std::uint32_t uMsg, WParam wParam, LParam lParam, LParam& lParamUser)
        = 0;
};

// Sees the messages of windows of this thread before and/or after the window
// handles them, and may swallow a message or change its result. One object
// hooks any number of windows; each window has two tables of up to
// MSG_ENTRIES message numbers (or ALL_MESSAGES) saying which messages reach
// the owner, before and after the window's own handling.
//
// Messages are the Windows numbers of platform/messages.h: Qt events are
// mapped onto them (messageParamsFor), and WindowMessageEvent carries any
// other number. Events that stand for no message pass untouched.
// WM_MOUSELEAVE reaches the owner once per TrackMouseTracking call, as it
// would on the platform the numbers come from; WM_NCDESTROY arrives when the
// window object is destroyed, however that happens.
//
// "The window handles the message" is the rest of Qt's delivery. When an after
// call is wanted the hook hands the event to the window's event() itself, so
// event filters installed on the window before this hook do not see that
// message; without an after call Qt delivers it as usual. lReturn is what a
// WindowMessageEvent's sender gets back; for a Qt event it is 1 when the
// window's event() recognised the event, else 0.
//
// Failures are never thrown: one line "CSubclass.<routine>: <text>" goes to
// the event log and the member returns false or 0, or does nothing.
//
// Release is safe against re-entry: releasing a window's hook from inside its
// own handler (even the window or this object being destroyed there) keeps the
// hook until the outermost message being dispatched to it has returned; the
// hook is then taken off the window and freed about 100 ms later, and nothing
// touches it after release.
class CSubclass final {
public:
    static constexpr std::int32_t ALL_MESSAGES = -1;
    static constexpr int MSG_ENTRIES = 32;

    // When a message reaches the owner: bit 1 before, bit 2 after the window.
    enum eMsgWhen : int { MSG_BEFORE = 1, MSG_AFTER = 2, MSG_BEFORE_AND_AFTER = 3 };

    // Slot 0 holds the count (0 none, ALL_MESSAGES every message, n slots
    // 1..n in use); slots 1..MSG_ENTRIES hold messages, 0 being a freed slot.
    using MessageTable = std::array<std::int32_t, MSG_ENTRIES + 1>;

    // owner receives the messages; without one nothing can be hooked. An owner
    // that is publicly a QObject may go first: its hooks are then released
    // (and bIsAPIwindow windows destroyed) at their next message.
    explicit CSubclass(ISubclassOwner* owner);
    ~CSubclass(); // releases every hook (ssc_Terminate)
    Q_DISABLE_COPY_MOVE(CSubclass)

    // Asks for one WM_MOUSELEAVE when the pointer next leaves the hooked
    // window (at once when it is outside already).
    void TrackMouseTracking(WindowHandle lng_hWnd);

    // Hooks a window of this thread with both tables empty. bIsAPIwindow: the
    // window is destroyed when its hook is released because the owner is gone.
    bool ssc_Subclass(WindowHandle lng_hWnd, LParam lParamUser = 0, bool bIsAPIwindow = false);
    void ssc_Terminate();
    void ssc_UnSubclass(WindowHandle lng_hWnd);
    // Lets the window handle a message without the hook; 0 if not hooked.
    LResult ssc_CallOrigWndProc(
        WindowHandle lng_hWnd, std::uint32_t uMsg, WParam wParam, LParam lParam);
    void ssc_AddMsg(WindowHandle lng_hWnd, std::int32_t uMsg, int When = MSG_AFTER);
    // Drops each message given; values that are not integers of up to 32 bits
    // (a string, a floating value, a QVariant holding either) are skipped.
    // ALL_MESSAGES empties the table.
    template <typename... Messages>
    void ssc_DelMsg(WindowHandle lng_hWnd, int When, const Messages&... messages);
    void zSet_lParamUser(WindowHandle hWnd_Hook_ID, LParam NewValue);
    LParam zGet_lParamUser(WindowHandle hWnd_Hook_ID);

    // The event behind the message being handled, for what the numbers do not
    // carry (a key, a wheel's horizontal delta); nullptr outside WindowProc and
    // for WM_NCDESTROY, which comes from the window's destruction.
    static const QEvent* currentEvent();

    // Hooks not yet freed, of all objects: lets tests see that release ends.
    static int liveHookCount();

private:
    friend class SubclassHook;

    struct Entry {
        QString key;
        QPointer<SubclassHook> hook;
    };

    bool zAddMsg(std::int32_t uMsg, MessageTable& table);
    void zDropMsg(std::int32_t uMsg, MessageTable& table);
    void zFreeHook(WindowHandle lng_hWnd);
    void zFreeAllHooks();
    SubclassHook* zMap_VFunction(WindowHandle lng_hWnd, bool bIgnoreMissing = false);
    void zLogFailure(const char* routine, const QString& message) const;

    void dropMessage(WindowHandle lng_hWnd, int When, std::int32_t uMsg);
    void dropValue(WindowHandle lng_hWnd, int When, const QVariant& value);
    template <typename T> void dropValue(WindowHandle lng_hWnd, int When, const T& value);

    static QString key(WindowHandle lng_hWnd);

    ISubclassOwner* m_owner;
    QPointer<QObject> m_ownerObject; // set when the owner is a QObject
    bool m_ownerIsObject = false;
    std::optional<std::vector<Entry>> m_registry; // absent until the first hook
};

template <typename... Messages>
void CSubclass::ssc_DelMsg(WindowHandle lng_hWnd, int When, const Messages&... messages)
{
    (dropValue(lng_hWnd, When, messages), ...);
}

template <typename T> void CSubclass::dropValue(WindowHandle lng_hWnd, int When, const T& value)
{
    if constexpr ((std::is_integral_v<T> || std::is_enum_v<T>)&&!std::is_same_v<T,
                      bool> && sizeof(T) <= 4)
        dropMessage(lng_hWnd, When, static_cast<std::int32_t>(value));
}

} // namespace kest
