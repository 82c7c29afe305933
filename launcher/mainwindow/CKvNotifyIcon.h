#pragma once

#include "platform/messages.h"
#include "winhook/WindowHandle.h"

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

#include <cstdint>
#include <memory>

class QMenu;
class QWidget;

namespace kest {

// The main window's icon in the notification area (the system tray). Clicks
// are not handled here: they go to the owner window as the callback message
// (WM_TRAYNOTIFY, wParam the icon id, lParam the mouse message): left click
// WM_LBUTTONUP, right click WM_RBUTTONUP, middle click WM_MBUTTONUP; the
// second click of a double click arrives as WM_LBUTTONDBLCLK instead of a
// second WM_LBUTTONUP, so a double click toggles a window once, not twice.
//
// A balloon goes through the desktop's notification service
// (org.freedesktop.Notifications on the session bus) when there is one, so
// that HideBubble can withdraw it there; otherwise through Qt's own balloon
// beside the icon, which HideBubble withdraws too.
//
// Without a notification area (isAvailable() false) the icon shows nowhere
// and no click can come: a window must not be hidden then with the tray as
// the only way back.
class CKvNotifyIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CKvNotifyIcon)

public:
    static constexpr std::uint32_t kIconId = 1000;
    // Longest texts kept, in characters (a pair of surrogates is never split).
    static constexpr int kTipLimit = 127;
    static constexpr int kInfoLimit = 255;
    static constexpr int kInfoTitleLimit = 63;

    // Balloon icon codes.
    enum eInfoFlags : int { NIIF_NONE = 0, NIIF_INFO = 1, NIIF_WARNING = 2, NIIF_ERROR = 3 };

    // What the object keeps between calls. The icon is the caller's; a null
    // icon shows as an empty (transparent) one, so the place stays clickable.
    struct Record {
        WindowHandle hWnd = 0;
        std::uint32_t uID = kIconId;
        std::uint32_t uCallbackMessage = WM_TRAYNOTIFY;
        QIcon hIcon;
        QString szTip;
        QString szInfo;
        QString szInfoTitle;
        int dwInfoFlags = NIIF_NONE;
    };

    enum class BubbleRoute { None, NotificationService, TrayBalloon };

    explicit CKvNotifyIcon(QObject* parent = nullptr);
    ~CKvNotifyIcon() override; // DeleteNotifyIcon

    // Puts the icon into the notification area; clicks go to `hWnd`.
    void AddNotifyIcon(QWidget* hWnd, const QIcon& hIcon, const QString& strTip);
    // Changes owner, icon and tooltip of an icon that is there; the callback
    // message stays WM_TRAYNOTIFY. Before an add, only the record changes.
    void ModifyNotifyIcon(QWidget* hWnd, const QIcon& hIcon, const QString& strTip);
    // Shows a balloon (title, text, one of eInfoFlags; another number counts as
    // NIIF_NONE) on an icon that is there; replaces a balloon already shown.
    // Empty title and text withdraw the balloon, as HideBubble does.
    void ShowBubble(const QString& strTitle, const QString& strInfo, int eInfoFlags);
    void HideBubble();
    // The menu of a right click, shown by the notification area itself (a
    // status-notifier host shows it as its own menu); the window then gets
    // no right-click message, or the menu would come twice. Null: the window
    // gets the message and shows what it likes.
    void setContextMenu(QMenu* menu);
    // Takes the icon (and its balloon) away.
    void DeleteNotifyIcon();

    // Whether the desktop has a notification area to show the icon in.
    static bool isAvailable();

    const Record& record() const { return m_record; }
    bool isShown() const { return m_added; }
    // The icon's place on the screen; empty when unknown or not shown.
    QRect geometry() const;
    BubbleRoute bubbleRoute() const { return m_route; }
    // The notification service's id of the balloon last shown; 0 for none.
    std::uint32_t notificationId() const { return m_notificationId; }

    // Cuts `text` to at most `limit` characters.
    static QString fitText(const QString& text, int limit);

private:
    void fill(QWidget* hWnd, const QIcon& hIcon, const QString& strTip);
    void apply();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void notify();
    void closeNotification(std::uint32_t id);
    void withdrawBubble();

    std::unique_ptr<QSystemTrayIcon> m_tray;
    Record m_record;
    bool m_added = false;
    BubbleRoute m_route = BubbleRoute::None;
    // Notification service replies come later; each request has a number so
    // that a reply to a request already superseded closes what it showed.
    std::uint32_t m_notificationId = 0;
    std::uint64_t m_requests = 0;
    bool m_wantBubble = false;
};

} // namespace kest
