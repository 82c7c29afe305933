#include "launcher/mainwindow/ModMsg.h"

#include "platform/eventlog.h"
#include "platform/hotkeygrab.h"
#include "platform/messages.h"
#include "platform/windowhiding.h"
#include "winhook/WindowMessage.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace kest {

namespace {

constexpr std::uint32_t kKeysymF10 = 0xFFC7;

// F10 held for one window: each press becomes a WM_HOTKEY message to it.
std::unique_ptr<GlobalHotKey> grabF10(QWidget* window)
{
    QString whyNot;
    std::unique_ptr<GlobalHotKey> hotKey = X11HotKeyGrab::grab(window, kKeysymF10, &whyNot);
    if (!hotKey) {
        logEvent(QStringLiteral("HookMainWindow: no hot key F10: ") + whyNot);
        return nullptr;
    }
    const WindowHandle target = windowHandle(window);
    QObject::connect(hotKey.get(), &GlobalHotKey::activated, window,
        [target] { sendWindowMessage(target, WM_HOTKEY, kHotKeyId, makeLParam(0, VK_F10)); });
    return hotKey;
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
        m_hotKey = grabF10(window);
    }
    ~MainWindowHook() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }
    Q_DISABLE_COPY_MOVE(MainWindowHook)

    QWidget* window() const { return m_window; }
    QMenu* menu() const { return m_menu; }
    bool holdsHotKey() const { return m_hotKey != nullptr; }

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
    QPointer<QWidget> m_window;
    QPointer<QMenu> m_menu;
    std::unique_ptr<GlobalHotKey> m_hotKey;
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
