#include "launcher/mainwindow/CKvNotifyIcon.h"

#include "platform/eventlog.h"
#include "winhook/WindowMessage.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QVariantMap>
#include <QWidget>

namespace kest {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

bool notificationServiceAvailable()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon)
        return false;
    if (const QDBusReply<bool> running = daemon->isServiceRegistered(kService);
        running.isValid() && running.value())
        return true;
    const QDBusReply<QStringList> startable = daemon->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kService);
}

QIcon emptyIcon()
{
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

QSystemTrayIcon::MessageIcon balloonIcon(int flags)
{
    switch (flags) {
    case CKvNotifyIcon::NIIF_INFO:
        return QSystemTrayIcon::Information;
    case CKvNotifyIcon::NIIF_WARNING:
        return QSystemTrayIcon::Warning;
    case CKvNotifyIcon::NIIF_ERROR:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

// Icon names that every freedesktop icon theme carries.
QString notificationIcon(int flags)
{
    switch (flags) {
    case CKvNotifyIcon::NIIF_INFO:
        return QStringLiteral("dialog-information");
    case CKvNotifyIcon::NIIF_WARNING:
        return QStringLiteral("dialog-warning");
    case CKvNotifyIcon::NIIF_ERROR:
        return QStringLiteral("dialog-error");
    default:
        return {};
    }
}

} // namespace

CKvNotifyIcon::CKvNotifyIcon(QObject* parent)
    : QObject(parent)
    , m_tray(std::make_unique<QSystemTrayIcon>())
{
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, &CKvNotifyIcon::onActivated);
}

CKvNotifyIcon::~CKvNotifyIcon()
{
    DeleteNotifyIcon();
}

QString CKvNotifyIcon::fitText(const QString& text, int limit)
{
    if (limit <= 0)
        return {};
    if (text.size() <= limit)
        return text;
    qsizetype end = limit;
    if (text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

bool CKvNotifyIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QRect CKvNotifyIcon::geometry() const
{
    return m_added ? m_tray->geometry() : QRect();
}

void CKvNotifyIcon::fill(QWidget* hWnd, const QIcon& hIcon, const QString& strTip)
{
    m_record.hWnd = windowHandle(hWnd);
    m_record.uID = kIconId;
    m_record.uCallbackMessage = WM_TRAYNOTIFY;
    m_record.hIcon = hIcon;
    m_record.szTip = fitText(strTip, kTipLimit);
}

void CKvNotifyIcon::apply()
{
    m_tray->setIcon(m_record.hIcon.isNull() ? emptyIcon() : m_record.hIcon);
    m_tray->setToolTip(m_record.szTip);
}

void CKvNotifyIcon::AddNotifyIcon(QWidget* hWnd, const QIcon& hIcon, const QString& strTip)
{
    fill(hWnd, hIcon, strTip);
    if (hIcon.isNull())
        logEvent(QStringLiteral("CKvNotifyIcon.AddNotifyIcon: no icon given; an empty one shows"));
    apply();
    m_tray->show();
    m_added = true;
}

void CKvNotifyIcon::ModifyNotifyIcon(QWidget* hWnd, const QIcon& hIcon, const QString& strTip)
{
    fill(hWnd, hIcon, strTip);
    if (m_added)
        apply();
}

void CKvNotifyIcon::ShowBubble(const QString& strTitle, const QString& strInfo, int eInfoFlags)
{
    m_record.szInfoTitle = fitText(strTitle, kInfoTitleLimit);
    m_record.szInfo = fitText(strInfo, kInfoLimit);
    m_record.dwInfoFlags
        = balloonIcon(eInfoFlags) == QSystemTrayIcon::NoIcon ? NIIF_NONE : eInfoFlags;
    if (!m_added)
        return;
    if (m_record.szInfoTitle.isEmpty() && m_record.szInfo.isEmpty()) {
        withdrawBubble();
        return;
    }
    if (notificationServiceAvailable()) {
        if (m_route == BubbleRoute::TrayBalloon)
            withdrawBubble();
        m_route = BubbleRoute::NotificationService;
        m_wantBubble = true;
        notify();
    } else {
        if (m_route == BubbleRoute::NotificationService)
            withdrawBubble();
        m_route = BubbleRoute::TrayBalloon;
        m_tray->showMessage(
            m_record.szInfoTitle, m_record.szInfo, balloonIcon(m_record.dwInfoFlags));
    }
}

void CKvNotifyIcon::HideBubble()
{
    m_record.szInfoTitle.clear();
    m_record.szInfo.clear();
    withdrawBubble();
}

void CKvNotifyIcon::setContextMenu(QMenu* menu)
{
    m_tray->setContextMenu(menu);
}

void CKvNotifyIcon::DeleteNotifyIcon()
{
    withdrawBubble();
    if (m_added)
        m_tray->hide();
    m_added = false;
}

void CKvNotifyIcon::withdrawBubble()
{
    switch (m_route) {
    case BubbleRoute::NotificationService:
        m_wantBubble = false;
        if (m_notificationId != 0)
            closeNotification(m_notificationId);
        m_notificationId = 0;
        break;
    case BubbleRoute::TrayBalloon:
        // Qt's balloon has no call of its own to go away; a message with no
        // title and no text withdraws the one shown and shows nothing.
        m_tray->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon);
        break;
    case BubbleRoute::None:
        break;
    }
    m_route = BubbleRoute::None;
}

void CKvNotifyIcon::notify()
{
    QString appName = QCoreApplication::applicationName();
    if (appName.isEmpty())
        appName = QStringLiteral("kest");
    QDBusMessage call
        = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The id replaces the balloon shown before, as a new balloon does on the icon.
    // The desktop entry lets the notification service group the balloons
    // under the program and show its name and icon.
    QVariantMap hints;
    if (const QString entry = QGuiApplication::desktopFileName(); !entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    call << appName << m_notificationId << notificationIcon(m_record.dwInfoFlags)
         << m_record.szInfoTitle << m_record.szInfo << QStringList() << hints << qint32(-1);
    const std::uint64_t request = ++m_requests;
    auto* watcher
        = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, request](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<std::uint32_t> reply = *finished;
            if (reply.isError()) {
                logEvent(QStringLiteral("CKvNotifyIcon.ShowBubble: ") + reply.error().message());
                return;
            }
            const std::uint32_t id = reply.value();
            if (request != m_requests) {
                // A later balloon was asked for before this id was known, so
                // it did not replace this one: only the latest may stay.
                if (id != m_notificationId)
                    closeNotification(id);
                return;
            }
            if (m_wantBubble && m_route == BubbleRoute::NotificationService)
                m_notificationId = id;
            else
                closeNotification(id);
        });
}

void CKvNotifyIcon::closeNotification(std::uint32_t id)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    call << id;
    // Nobody waits for the answer: a balloon closed already is no error worth telling.
    QDBusConnection::sessionBus().send(call);
}

void CKvNotifyIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    std::uint32_t mouse = WM_NULL;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        mouse = WM_LBUTTONUP;
        break;
    case QSystemTrayIcon::Context:
        // The menu given to the icon shows by itself.
        if (m_tray->contextMenu())
            return;
        mouse = WM_RBUTTONUP;
        break;
    case QSystemTrayIcon::DoubleClick:
        mouse = WM_LBUTTONDBLCLK;
        break;
    case QSystemTrayIcon::MiddleClick:
        mouse = WM_MBUTTONUP;
        break;
    default:
        return;
    }
    sendWindowMessage(m_record.hWnd, m_record.uCallbackMessage, m_record.uID, mouse);
}

} // namespace kest
