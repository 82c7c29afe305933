// The tray icon in a real tray host (trayer, under with-x11 --tray): the icon
// docks, real clicks (xdotool) reach the owner window as the tray message
// with WM_LBUTTONUP / WM_RBUTTONUP, deleting or destroying the object takes
// the icon away, and a balloon is shown and withdrawn both through a real
// notification service (notification-daemon, started here) and through
// Qt's own balloon when there is none.
#include "launcher/mainwindow/CKvNotifyIcon.h"
#include "platform/messages.h"
#include "platform/resources.h"
#include "tests/support/x11tools.h"
#include "winhook/WindowMessage.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace kest;
using namespace kest::test;

namespace {

struct TrayMessage {
    std::uint32_t message;
    WParam wParam;
    LParam lParam;
};

// The main window's stand-in: notes every message it gets. Never shown, as
// a hidden main window must still hear its tray icon.
class Owner : public QWidget {
public:
    QList<TrayMessage> received;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == WindowMessageEvent::eventType()) {
            const auto* m = static_cast<WindowMessageEvent*>(event);
            received.append({ m->message(), m->wParam(), m->lParam() });
            return true;
        }
        return QWidget::event(event);
    }
};

QIcon appIcon()
{
    return QIcon(resourcePath(101, QStringLiteral("ICON")));
}

unsigned long trayerWindow()
{
    return findWindowNamed(QStringLiteral("panel"));
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        KEST_REQUIRE_X11(QStringLiteral("xdotool"), QStringLiteral("xwininfo"));
        if (!QTest::qWaitFor([] { return CKvNotifyIcon::isAvailable(); }, 5000))
            GTEST_SKIP() << "no tray host: run under tests/support/with-x11 --tray";
    }

    // Waits until the icon has a place on the screen, then clicks its middle.
    ::testing::AssertionResult click(const CKvNotifyIcon& icon, const QString& button)
    {
        if (!QTest::qWaitFor([&] { return icon.geometry().isValid(); }, 5000))
            return ::testing::AssertionFailure() << "the icon never docked";
        const QPoint middle = icon.geometry().center();
        if (!xdotool({ QStringLiteral("mousemove"), QString::number(middle.x()),
                QString::number(middle.y()) }))
            return ::testing::AssertionFailure() << "xdotool mousemove failed";
        QTest::qWait(100);
        if (!xdotool({ QStringLiteral("click"), button }))
            return ::testing::AssertionFailure() << "xdotool click failed";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(Tray, ClicksReachTheOwnerAsTheTrayMessage)
{
    Owner owner;
    const unsigned long host = trayerWindow();
    const int before = host ? descendantCount(host) : 0;
    CKvNotifyIcon icon;
    icon.AddNotifyIcon(&owner, appIcon(), QStringLiteral("ZantivoTervolk客户端"));
    ASSERT_TRUE(icon.isShown());
    ASSERT_TRUE(QTest::qWaitFor([&] { return icon.geometry().isValid(); }, 5000));
    if (host) {
        EXPECT_GT(descendantCount(host), before) << "the icon's window is embedded in trayer";
    }
    QTest::qWait(300); // the host paints the icon
    const QRect place = icon.geometry();
    grabScreen(place.adjusted(-60, -8, 20, 8), QStringLiteral("mainparts"),
        QStringLiteral("tray-icon.png"));

    ASSERT_TRUE(click(icon, QStringLiteral("1")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.received.size() == 1; }, 5000));
    EXPECT_EQ(owner.received[0].message, WM_TRAYNOTIFY);
    EXPECT_EQ(owner.received[0].wParam, CKvNotifyIcon::kIconId);
    EXPECT_EQ(owner.received[0].lParam, WM_LBUTTONUP);

    QTest::qWait(600); // two clicks close together would be a double click
    ASSERT_TRUE(click(icon, QStringLiteral("3")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.received.size() == 2; }, 5000));
    EXPECT_EQ(owner.received[1].message, WM_TRAYNOTIFY);
    EXPECT_EQ(owner.received[1].lParam, WM_RBUTTONUP);

    // A modify keeps the callback message.
    icon.ModifyNotifyIcon(&owner, appIcon(), QStringLiteral("another tip"));
    EXPECT_EQ(icon.record().uCallbackMessage, WM_TRAYNOTIFY);
    QTest::qWait(600);
    ASSERT_TRUE(click(icon, QStringLiteral("1")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.received.size() == 3; }, 5000));
    EXPECT_EQ(owner.received[2].message, WM_TRAYNOTIFY);
    EXPECT_EQ(owner.received[2].lParam, WM_LBUTTONUP);

    icon.DeleteNotifyIcon();
    EXPECT_FALSE(icon.isShown());
    if (host) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return descendantCount(host) == before; }, 5000))
            << "the icon's window left trayer";
    }
}

TEST_F(Tray, DestroyingTheObjectTakesTheIconAway)
{
    const unsigned long host = trayerWindow();
    if (!host)
        GTEST_SKIP() << "trayer's panel window not found";
    const int before = descendantCount(host);
    Owner owner;
    auto icon = std::make_unique<CKvNotifyIcon>();
    icon->AddNotifyIcon(&owner, appIcon(), QStringLiteral("tip"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return descendantCount(host) > before; }, 5000));
    icon.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return descendantCount(host) == before; }, 5000));
}

// Hears the notification service's NotificationClosed(id, reason).
class ClosedListener : public QObject {
    Q_OBJECT

public:
    QList<QPair<uint, uint>> closed;

public slots:
    void notificationClosed(uint id, uint reason) { closed.append({ id, reason }); }
};

TEST_F(Tray, ABalloonOfTheNotificationServiceIsWithdrawnThere)
{
    const QString daemon = QStringLiteral("/usr/lib/notification-daemon/notification-daemon");
    if (!QFileInfo(daemon).isExecutable())
        GTEST_SKIP() << "notification-daemon is not installed";
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    ASSERT_FALSE(bus.interface()->isServiceRegistered(service).value());

    QProcess server;
    server.start(daemon, QStringList());
    ASSERT_TRUE(server.waitForStarted());
    const auto stopServer = qScopeGuard([&] {
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished();
        }
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return bus.interface()->isServiceRegistered(service).value(); }, 10000));
    ClosedListener listener;
    ASSERT_TRUE(bus.connect(service, QStringLiteral("/org/freedesktop/Notifications"), service,
        QStringLiteral("NotificationClosed"), &listener, SLOT(notificationClosed(uint, uint))));

    Owner owner;
    CKvNotifyIcon icon;
    icon.AddNotifyIcon(&owner, appIcon(), QStringLiteral("ZantivoTervolk客户端"));
    icon.ShowBubble(QStringLiteral("提示"), QStringLiteral("有新的版本"), CKvNotifyIcon::NIIF_INFO);
    EXPECT_EQ(icon.bubbleRoute(), CKvNotifyIcon::BubbleRoute::NotificationService);
    ASSERT_TRUE(QTest::qWaitFor([&] { return icon.notificationId() != 0; }, 10000));
    const std::uint32_t first = icon.notificationId();
    EXPECT_EQ(icon.record().szTip, QStringLiteral("ZantivoTervolk客户端")) << "the tip stays";
    EXPECT_EQ(icon.record().uCallbackMessage, WM_TRAYNOTIFY);
    QTest::qWait(500); // the service draws its window
    grabScreen(QGuiApplication::primaryScreen()->geometry(), QStringLiteral("mainparts"),
        QStringLiteral("tray-bubble-service.png"));

    // A second balloon replaces the first in place.
    icon.ShowBubble(QStringLiteral("提示"), QStringLiteral("第二条"), CKvNotifyIcon::NIIF_WARNING);
    QTest::qWait(300);
    EXPECT_EQ(icon.notificationId(), first);

    icon.HideBubble();
    EXPECT_EQ(icon.bubbleRoute(), CKvNotifyIcon::BubbleRoute::None);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.closed.isEmpty(); }, 5000));
    EXPECT_EQ(listener.closed.first(), qMakePair(uint(first), 3u))
        << "3: closed by CloseNotification";

    // A balloon withdrawn before the service answered is closed when it does.
    listener.closed.clear();
    icon.ShowBubble(QStringLiteral("提示"), QStringLiteral("马上收回"), CKvNotifyIcon::NIIF_NONE);
    icon.HideBubble();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.closed.isEmpty(); }, 5000));
    EXPECT_EQ(listener.closed.first().second, 3u);
    EXPECT_EQ(icon.notificationId(), 0u);
}

TEST_F(Tray, WithoutANotificationServiceQtsBalloonIsShownAndWithdrawn)
{
    if (QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.Notifications")))
        GTEST_SKIP() << "a notification service runs on this bus";
    // Qt's balloon is a top-level widget of its own class; the test looks for
    // it by that name, the program never does.
    const auto balloonShown = [] {
        for (const QWidget* widget : QApplication::topLevelWidgets())
            if (QLatin1String(widget->metaObject()->className()) == QLatin1String("QBalloonTip")
                && widget->isVisible())
                return true;
        return false;
    };
    Owner owner;
    CKvNotifyIcon icon;
    icon.AddNotifyIcon(&owner, appIcon(), QStringLiteral("ZantivoTervolk客户端"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return icon.geometry().isValid(); }, 5000));
    icon.ShowBubble(QStringLiteral("提示"), QStringLiteral("有新的版本"), CKvNotifyIcon::NIIF_INFO);
    EXPECT_EQ(icon.bubbleRoute(), CKvNotifyIcon::BubbleRoute::TrayBalloon);
    ASSERT_TRUE(QTest::qWaitFor(balloonShown, 5000));
    QTest::qWait(300);
    grabScreen(QGuiApplication::primaryScreen()->geometry(), QStringLiteral("mainparts"),
        QStringLiteral("tray-bubble-qt.png"));
    icon.HideBubble();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !balloonShown(); }, 5000));
    EXPECT_EQ(icon.record().szTip, QStringLiteral("ZantivoTervolk客户端"));
}

TEST(TrayRecord, TextsAreCutToTheirLimitsAndTheRecordKeepsItsFields)
{
    Owner owner;
    CKvNotifyIcon icon;
    // Nothing is shown before the add: a balloon only fills the record.
    icon.ShowBubble(QStringLiteral("t"), QStringLiteral("x"), 7);
    EXPECT_EQ(icon.bubbleRoute(), CKvNotifyIcon::BubbleRoute::None);
    EXPECT_EQ(icon.record().dwInfoFlags, CKvNotifyIcon::NIIF_NONE) << "an unknown icon code";

    const QString longTip = QString(200, QChar(u'客'));
    icon.ModifyNotifyIcon(&owner, QIcon(), longTip);
    EXPECT_FALSE(icon.isShown()) << "a modify adds nothing";
    EXPECT_EQ(icon.record().szTip, longTip.left(CKvNotifyIcon::kTipLimit));
    EXPECT_EQ(icon.record().hWnd, windowHandle(&owner));
    EXPECT_EQ(icon.record().uID, CKvNotifyIcon::kIconId);

    // A character outside the basic plane is never cut in half.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xAE"); // two UTF-16 units
    const QString tip = QString(CKvNotifyIcon::kTipLimit - 1, QLatin1Char('a')) + emoji;
    EXPECT_EQ(CKvNotifyIcon::fitText(tip, CKvNotifyIcon::kTipLimit),
        QString(CKvNotifyIcon::kTipLimit - 1, QLatin1Char('a')));
    EXPECT_EQ(CKvNotifyIcon::fitText(QStringLiteral("short"), CKvNotifyIcon::kTipLimit),
        QStringLiteral("short"));
    EXPECT_EQ(CKvNotifyIcon::fitText(QStringLiteral("x"), 0), QString());

    icon.ShowBubble(QString(300, QLatin1Char('i')), QString(300, QLatin1Char('i')), 2);
    EXPECT_EQ(icon.record().szInfoTitle.size(), CKvNotifyIcon::kInfoTitleLimit);
    EXPECT_EQ(icon.record().szInfo.size(), CKvNotifyIcon::kInfoLimit);
    EXPECT_EQ(icon.record().dwInfoFlags, CKvNotifyIcon::NIIF_WARNING);
    icon.HideBubble();
    EXPECT_TRUE(icon.record().szInfo.isEmpty());
    EXPECT_TRUE(icon.record().szInfoTitle.isEmpty());
    EXPECT_EQ(icon.record().szTip, longTip.left(CKvNotifyIcon::kTipLimit));
}

} // namespace

#include "tray_test.moc"
