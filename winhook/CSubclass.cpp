#include "winhook/CSubclass.h"

#include "platform/eventlog.h"
#include "platform/messages.h"
#include "winhook/WindowMessage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <unordered_set>

namespace kest {

namespace {

// Why a hook is being released.
enum ReleaseReason : int {
    ReleaseNone = 0,
    ReleaseRequested = 1, // ssc_UnSubclass / ssc_Terminate
    ReleaseOwnerGone = 0x82, // the owner object was destroyed before the hook
    ReleaseWindowGone = 0x8000, // WM_NCDESTROY passed
};

// A released hook lives on for this long, so that nothing that was running
// when it was released can still be inside it when it goes.
constexpr int kFreeDelayMs = 100;

bool selects(const CSubclass::MessageTable& table, std::uint32_t message)
{
    const std::int32_t count = table[0];
    if (count == CSubclass::ALL_MESSAGES)
        return true;
    const auto wanted = static_cast<std::int32_t>(message);
    for (std::int32_t i = 1; i <= count; ++i)
        if (table[static_cast<std::size_t>(i)] == wanted)
            return true;
    return false;
}

const QEvent* g_currentEvent = nullptr;

// Restores the current event on every way out of a handler call.
class CurrentEventScope {
public:
    explicit CurrentEventScope(const QEvent* event)
        : m_saved(g_currentEvent)
    {
        g_currentEvent = event;
    }
    ~CurrentEventScope() { g_currentEvent = m_saved; }
    Q_DISABLE_COPY_MOVE(CurrentEventScope)

private:
    const QEvent* m_saved;
};

} // namespace

// One hooked window: the event filter that stands in for the dispatcher, its
// two tables and the window's user value. It belongs to no QObject parent:
// neither the window's destruction nor the CSubclass object's may take it away
// while a message is being dispatched through it. It frees itself once
// released and idle.
class SubclassHook final : public QObject {
public:
    SubclassHook(CSubclass* subclass, QObject* window, WindowHandle handle, LParam lParamUser,
        bool apiWindow);
    ~SubclassHook() override;
    Q_DISABLE_COPY_MOVE(SubclassHook)

    bool eventFilter(QObject* watched, QEvent* event) override;

    bool active() const { return m_release == ReleaseNone; }
    QObject* window() const { return m_window.data(); }
    void requestRelease(int reason);

    CSubclass::MessageTable before {};
    CSubclass::MessageTable after {};
    LParam lParamUser;
    bool leaveArmed = false;

    static std::unordered_set<SubclassHook*>& live();

private:
    bool ownerAlive();
    void callOwner(bool bBefore, bool& bHandled, LResult& lReturn, const MessageParams& params,
        const QEvent* event);
    void onWindowDestroyed();
    void finishRelease();

    CSubclass* m_subclass; // valid while active(): the CSubclass releases its hooks first
    QPointer<QObject> m_window;
    const WindowHandle m_handle;
    const bool m_apiWindow;
    int m_nesting = 0;
    int m_release = ReleaseNone;
    bool m_finished = false;
};

namespace {

bool g_cleanupRegistered = false;

// Hooks released just before the program ends would wait for a timer that
// never fires again; they go with the application object.
void freeReleasedHooksAtExit()
{
    g_cleanupRegistered = false;
    const auto hooks = SubclassHook::live();
    for (SubclassHook* hook : hooks)
        if (!hook->active())
            delete hook;
}

} // namespace

std::unordered_set<SubclassHook*>& SubclassHook::live()
{
    static std::unordered_set<SubclassHook*> hooks;
    return hooks;
}

SubclassHook::SubclassHook(
    CSubclass* subclass, QObject* window, WindowHandle handle, LParam lParamUser, bool apiWindow)
    : lParamUser(lParamUser)
    , m_subclass(subclass)
    , m_window(window)
    , m_handle(handle)
    , m_apiWindow(apiWindow)
{
    live().insert(this);
    if (!g_cleanupRegistered && QCoreApplication::instance()) {
        qAddPostRoutine(freeReleasedHooksAtExit);
        g_cleanupRegistered = true;
    }
    connect(window, &QObject::destroyed, this, [this] { onWindowDestroyed(); });
    window->installEventFilter(this);
}

SubclassHook::~SubclassHook()
{
    live().erase(this);
}

bool SubclassHook::ownerAlive()
{
    if (!active())
        return false;
    if (m_subclass->m_ownerIsObject && m_subclass->m_ownerObject.isNull()) {
        requestRelease(ReleaseOwnerGone);
        return false;
    }
    return true;
}

void SubclassHook::callOwner(bool bBefore, bool& bHandled, LResult& lReturn,
    const MessageParams& params, const QEvent* event)
{
    CurrentEventScope scope(event);
    m_subclass->m_owner->WindowProc(bBefore, bHandled, lReturn, m_handle, params.message,
        params.wParam, params.lParam, lParamUser);
}

bool SubclassHook::eventFilter(QObject* watched, QEvent* event)
{
    // A released hook passes everything straight to the window; so do events
    // that stand for no message. The window's own destruction is reported by
    // onWindowDestroyed, once, however the window goes.
    if (watched != m_window || !active() || event->type() == QEvent::DeferredDelete)
        return false;

    MessageParams params = messageParamsFor(*event);
    if (params.message == WM_NULL)
        return false;
    const bool isMessage = event->type() == WindowMessageEvent::eventType();
    if (params.message == WM_MOUSELEAVE && !isMessage) {
        // Qt reports every leave; the message comes only when it was asked for.
        if (!leaveArmed)
            return false;
        leaveArmed = false;
    }
    if (!selects(before, params.message) && !selects(after, params.message))
        return false;
    if (!ownerAlive())
        return false;

    if (params.message == WM_SIZE && watched->isWidgetType()) {
        const auto* widget = static_cast<const QWidget*>(watched);
        if (widget->isMinimized())
            params.wParam = SIZE_MINIMIZED;
        else if (widget->isMaximized())
            params.wParam = SIZE_MAXIMIZED;
    }

    ++m_nesting;
    bool handled = false;
    LResult lReturn = 0;
    bool consumed = true;

    if (selects(before, params.message))
        callOwner(true, handled, lReturn, params, event);

    if (handled) {
        // Swallowed: the window never sees it, nor does a parent widget.
        event->accept();
    } else if (m_window.isNull()) {
        // The handler destroyed the window; there is nobody left to deliver to.
        event->accept();
    } else if (!active() || !selects(after, params.message)) {
        // No after call wanted: let Qt deliver it the usual way, so that event
        // filters installed on the window before this hook still see it.
        consumed = false;
    } else {
        // The after call needs the window's result, so the window handles the
        // message here, inside the filter.
        const bool recognised = watched->event(event);
        lReturn = isMessage ? static_cast<WindowMessageEvent*>(event)->result() : recognised;
        // The window, or the owner from a nested message, may have released the
        // hook or changed the table meanwhile.
        if (selects(after, params.message) && ownerAlive()) {
            bool afterHandled = false;
            callOwner(false, afterHandled, lReturn, params, event);
        }
    }
    if (isMessage && consumed)
        static_cast<WindowMessageEvent*>(event)->setResult(lReturn);

    --m_nesting;
    if (m_nesting == 0 && !active())
        finishRelease();
    return consumed;
}

void SubclassHook::onWindowDestroyed()
{
    if (active() && ownerAlive()) {
        const MessageParams params { WM_NCDESTROY, 0, 0 };
        ++m_nesting;
        bool handled = false;
        LResult lReturn = 0;
        if (selects(before, WM_NCDESTROY))
            callOwner(true, handled, lReturn, params, nullptr);
        if (!handled && active() && selects(after, WM_NCDESTROY))
            callOwner(false, handled, lReturn, params, nullptr);
        --m_nesting;
    }
    requestRelease(ReleaseWindowGone);
}

void SubclassHook::requestRelease(int reason)
{
    if (m_release == ReleaseNone || reason == ReleaseWindowGone)
        m_release = reason;
    before[0] = 0;
    after[0] = 0;
    leaveArmed = false;
    if (m_nesting == 0)
        finishRelease();
}

void SubclassHook::finishRelease()
{
    if (m_finished)
        return;
    m_finished = true;
    m_subclass = nullptr;
    if (QObject* window = m_window.data()) {
        disconnect(window, nullptr, this, nullptr);
        window->removeEventFilter(this);
        if (m_release == ReleaseOwnerGone && m_apiWindow)
            window->deleteLater();
    }
    m_window = nullptr;
    if (!QCoreApplication::instance() || QCoreApplication::closingDown()) {
        delete this; // no event loop will run again; nothing is inside this hook
        return;
    }
    QTimer::singleShot(kFreeDelayMs, this, [this] { delete this; });
}

// ---------------------------------------------------------------------------

CSubclass::CSubclass(ISubclassOwner* owner)
    : m_owner(owner)
{
    if (auto* object = dynamic_cast<QObject*>(owner)) {
        m_ownerObject = object;
        m_ownerIsObject = true;
    }
}

CSubclass::~CSubclass()
{
    zFreeAllHooks();
}

QString CSubclass::key(WindowHandle lng_hWnd)
{
    return QLatin1Char('h') + QString::number(lng_hWnd);
}

void CSubclass::zLogFailure(const char* routine, const QString& message) const
{
    logEvent(
        QStringLiteral("CSubclass.") + QLatin1String(routine) + QStringLiteral(": ") + message);
}

void CSubclass::TrackMouseTracking(WindowHandle lng_hWnd)
{
    if (!m_registry)
        return;
    const QString wanted = key(lng_hWnd);
    for (const Entry& entry : *m_registry) {
        SubclassHook* hook = entry.hook.data();
        if (entry.key != wanted || !hook || !hook->active())
            continue;
        hook->leaveArmed = true;
        // The pointer may have left already; the notice then comes at once.
        QObject* window = hook->window();
        if (window && window->isWidgetType() && !static_cast<QWidget*>(window)->underMouse())
            QCoreApplication::postEvent(window, new QEvent(QEvent::Leave));
        return;
    }
}

bool CSubclass::ssc_Subclass(WindowHandle lng_hWnd, LParam lParamUser, bool bIsAPIwindow)
{
    QObject* window = windowFromHandle(lng_hWnd);
    if (!window) {
        zLogFailure("ssc_Subclass", QStringLiteral("Invalid window handle"));
        return false;
    }
    // Event filters work only within one thread, as window procedures do
    // within one process.
    if (window->thread() != QThread::currentThread()) {
        zLogFailure("ssc_Subclass", QStringLiteral("Window handle belongs to another process"));
        return false;
    }
    if (!m_owner || (m_ownerIsObject && m_ownerObject.isNull())) {
        zLogFailure("ssc_Subclass", QStringLiteral("Callback method not found"));
        return false;
    }
    if (!m_registry)
        m_registry.emplace();
    const QString wanted = key(lng_hWnd);
    const bool known = std::any_of(m_registry->cbegin(), m_registry->cend(),
        [&wanted](const Entry& entry) { return entry.key == wanted; });
    if (known) {
        zLogFailure("ssc_Subclass", QStringLiteral("Window handle is already subclassed"));
        return false;
    }
    auto* hook = new SubclassHook(this, window, lng_hWnd, lParamUser, bIsAPIwindow);
    m_registry->push_back(Entry { wanted, hook });
    return true;
}

void CSubclass::ssc_Terminate()
{
    zFreeAllHooks();
}

void CSubclass::ssc_UnSubclass(WindowHandle lng_hWnd)
{
    zFreeHook(lng_hWnd);
}

LResult CSubclass::ssc_CallOrigWndProc(
    WindowHandle lng_hWnd, std::uint32_t uMsg, WParam wParam, LParam lParam)
{
    SubclassHook* hook = zMap_VFunction(lng_hWnd);
    if (!hook || !hook->window())
        return 0;
    // Straight to the window's own handling, past every filter.
    WindowMessageEvent event(uMsg, wParam, lParam);
    hook->window()->event(&event);
    return event.result();
}

void CSubclass::ssc_AddMsg(WindowHandle lng_hWnd, std::int32_t uMsg, int When)
{
    SubclassHook* hook = zMap_VFunction(lng_hWnd);
    if (!hook)
        return;
    if (When & MSG_BEFORE)
        zAddMsg(uMsg, hook->before);
    if (When & MSG_AFTER)
        zAddMsg(uMsg, hook->after);
}

void CSubclass::dropMessage(WindowHandle lng_hWnd, int When, std::int32_t uMsg)
{
    SubclassHook* hook = zMap_VFunction(lng_hWnd);
    if (!hook)
        return;
    if (When & MSG_BEFORE)
        zDropMsg(uMsg, hook->before);
    if (When & MSG_AFTER)
        zDropMsg(uMsg, hook->after);
}

void CSubclass::dropValue(WindowHandle lng_hWnd, int When, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        dropMessage(lng_hWnd, When, static_cast<std::int32_t>(value.toLongLong()));
        break;
    default:
        break;
    }
}

void CSubclass::zSet_lParamUser(WindowHandle hWnd_Hook_ID, LParam NewValue)
{
    if (SubclassHook* hook = zMap_VFunction(hWnd_Hook_ID))
        hook->lParamUser = NewValue;
}

LParam CSubclass::zGet_lParamUser(WindowHandle hWnd_Hook_ID)
{
    SubclassHook* hook = zMap_VFunction(hWnd_Hook_ID);
    return hook ? hook->lParamUser : 0;
}

const QEvent* CSubclass::currentEvent()
{
    return g_currentEvent;
}

int CSubclass::liveHookCount()
{
    return static_cast<int>(SubclassHook::live().size());
}

bool CSubclass::zAddMsg(std::int32_t uMsg, MessageTable& table)
{
    if (uMsg == ALL_MESSAGES) {
        table[0] = ALL_MESSAGES;
        return true;
    }
    // A specific message narrows an every-message table to that message.
    if (table[0] == ALL_MESSAGES)
        table[0] = 0;
    const std::int32_t count = table[0];
    for (std::int32_t i = 1; i <= count; ++i) {
        std::int32_t& slot = table[static_cast<std::size_t>(i)];
        if (slot == 0) {
            slot = uMsg;
            return true;
        }
        if (slot == uMsg)
            return true;
    }
    const std::int32_t next = count + 1;
    if (next > MSG_ENTRIES) {
        zLogFailure("zAddMsg",
            QStringLiteral("Message table overflow. Either increase the value of Const "
                           "MSG_ENTRIES or use ALL_MESSAGES instead of specific message "
                           "values"));
        return false;
    }
    table[static_cast<std::size_t>(next)] = uMsg;
    table[0] = next;
    return true;
}

void CSubclass::zDropMsg(std::int32_t uMsg, MessageTable& table)
{
    if (uMsg == ALL_MESSAGES) {
        table[0] = 0;
        return;
    }
    const std::int32_t count = table[0];
    for (std::int32_t i = 1; i <= count; ++i) {
        std::int32_t& slot = table[static_cast<std::size_t>(i)];
        if (slot == uMsg) {
            slot = 0; // the count stays; the next addition reuses the slot
            return;
        }
    }
}

void CSubclass::zFreeHook(WindowHandle lng_hWnd)
{
    if (SubclassHook* hook = zMap_VFunction(lng_hWnd, true))
        hook->requestRelease(ReleaseRequested);
    if (!m_registry)
        return;
    const QString wanted = key(lng_hWnd);
    std::erase_if(*m_registry, [&wanted](const Entry& entry) { return entry.key == wanted; });
}

void CSubclass::zFreeAllHooks()
{
    if (!m_registry)
        return;
    // Take the registry first: an owner called during a release (WM_NCDESTROY
    // of a window destroyed meanwhile) must find nothing to work on.
    std::vector<Entry> entries = std::move(*m_registry);
    m_registry.reset();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        if (SubclassHook* hook = entry->hook.data(); hook && hook->active())
            hook->requestRelease(ReleaseRequested);
}

SubclassHook* CSubclass::zMap_VFunction(WindowHandle lng_hWnd, bool bIgnoreMissing)
{
    if (!m_registry) {
        zLogFailure("zMap_VFunction", QStringLiteral("Thunk hasn't been initialized"));
        return nullptr;
    }
    if (m_registry->empty())
        return nullptr;
    const QString wanted = key(lng_hWnd);
    for (const Entry& entry : *m_registry) {
        if (entry.key != wanted)
            continue;
        // A hook released because its window went away stays listed until it
        // is unsubclassed, but is never used again.
        SubclassHook* hook = entry.hook.data();
        return hook && hook->active() ? hook : nullptr;
    }
    if (!bIgnoreMissing)
        zLogFailure("zMap_VFunction",
            QStringLiteral("Thunk type for ") + QStringLiteral(" does not exist"));
    return nullptr;
}

} // namespace kest
