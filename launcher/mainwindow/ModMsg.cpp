#include "launcher/mainwindow/ModMsg.h"

#include "platform/desktopnotice.h"
#include "platform/eventlog.h"
#include "platform/globalshortcuts.h"
#include "platform/hotkeygrab.h"
#include "platform/messagebox.h"
#include "platform/messages.h"
#include "platform/windowhiding.h"
#include "winhook/WindowMessage.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
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
            m_hotKey = grabF10(m_window);
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
                m_hotKey = grabF10(m_window);
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
    std::unique_ptr<GlobalHotKey> m_hotKey;
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
