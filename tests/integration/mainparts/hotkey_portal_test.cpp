// F10 in a Wayland session, where the main window's hook asks the desktop's
// global-shortcuts portal for the key. The portal here is a test double: a
// stand-in for xdg-desktop-portal (which needs a real desktop backend),
// registered as org.freedesktop.portal.Desktop on the private session bus
// that with-x11 starts. It answers the version property, CreateSession and
// BindShortcuts (by Response signals on the request objects), sends
// Activated, takes Session.Close, and can refuse or be absent. The window is
// a real X11 window on Xvfb: XWayland in a Wayland session.
#include "launcher/mainwindow/ModMsg.h"
#include "platform/windowhiding.h"
#include "tests/support/messageboxes.h"
#include "tests/support/testenv.h"
#include "tests/support/x11tools.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

using namespace kest;
using namespace kest::test;

namespace {

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
using Shortcut = QPair<QString, QVariantMap>; // (id, properties)

class StandInPortal final : public QDBusVirtualObject {
public:
    bool hasInterface = true;
    uint createCode = 0, bindCode = 0; // the Response codes
    QList<Shortcut> asked; // what BindShortcuts was given
    QString session;
    bool closed = false;

    StandInPortal()
    {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        m_bus.registerVirtualObject(kPortalPath, this, QDBusConnection::SubPath);
        m_bus.registerService(kService);
    }
    ~StandInPortal() override
    {
        m_bus.unregisterService(kService);
        m_bus.unregisterObject(kPortalPath, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    }
    Q_DISABLE_COPY_MOVE(StandInPortal)

    void activate(const QString& id, const QString& inSession)
    {
        QDBusMessage signal
            = QDBusMessage::createSignal(kPortalPath, kShortcuts, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(inSession)) << id << qulonglong(1)
               << QVariantMap();
        m_bus.send(signal);
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override
    {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (member == QLatin1String("Get")) {
            m_bus.send(hasInterface && args.value(0).toString() == kShortcuts
                    ? message.createReply(QVariant::fromValue(QDBusVariant(2u)))
                    : message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("none")));
            return true;
        }
        if (member == QLatin1String("Close")) {
            closed = message.path() == session;
            m_bus.send(message.createReply());
            return true;
        }
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QVariantMap options = qdbus_cast<QVariantMap>(args.last().value<QDBusArgument>());
        const auto handle = [&](const char* kind, const char* token) -> QString {
            return kPortalPath + QLatin1Char('/') + QLatin1String(kind) + QLatin1Char('/') + sender
                + QLatin1Char('/') + options.value(QLatin1String(token)).toString();
        };
        QVariantMap results;
        uint code = 0;
        if (member == QLatin1String("CreateSession")) {
            code = createCode;
            session = handle("session", "session_handle_token");
            results.insert(QStringLiteral("session_handle"), session);
        } else if (member == QLatin1String("BindShortcuts")) {
            code = bindCode;
            asked = qdbus_cast<QList<Shortcut>>(args.value(1).value<QDBusArgument>());
            QList<Shortcut> granted;
            for (const Shortcut& s : std::as_const(asked))
                granted.append({ s.first,
                    { { QStringLiteral("trigger_description"),
                        s.second.value(QStringLiteral("preferred_trigger")) } } });
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(granted));
        } else {
            return false;
        }
        const QString request = handle("request", "handle_token");
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        m_bus.send(response << code << results);
        return true;
    }

private:
    QDBusConnection m_bus
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
};

class HotKeyPortal : public ::testing::Test {
protected:
    void SetUp() override
    {
        KEST_REQUIRE_X11(QStringLiteral("xdotool"));
        qputenv("XDG_SESSION_TYPE", "wayland");
        window.setGeometry(200, 150, 320, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 15000));
    }
    void TearDown() override
    {
        UnhookMainWindow(&window);
        qunsetenv("XDG_SESSION_TYPE");
    }
    QString eventLog() const { return m_events.text(); }
    bool logSays(const char* phrase) const
    {
        return QTest::qWaitFor(
            [&] { return eventLog().contains(QString::fromUtf8(phrase)); }, 10000);
    }

    EventLog m_events;
    QWidget window;
};

TEST_F(HotKeyPortal, BindsF10AndEachActivationTogglesTheWindow)
{
    StandInPortal portal;
    HookMainWindow(&window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return hotKeyHeld(); }, 10000)) << eventLog().toStdString();
    ASSERT_EQ(portal.asked.size(), 1);
    const QString id = portal.asked.first().first;
    EXPECT_FALSE(id.isEmpty());
    EXPECT_EQ(portal.asked.first().second.value(QStringLiteral("preferred_trigger")).toString(),
        QStringLiteral("F10"));
    EXPECT_TRUE(logSays("portal, bound to F10"));

    // Another session's or another shortcut's activation is not ours.
    portal.activate(id, kPortalPath + QStringLiteral("/session/other/x"));
    portal.activate(QStringLiteral("something-else"), portal.session);
    QTest::qWait(300);
    EXPECT_TRUE(isShownToPlayer(&window));

    for (const bool shown : { false, true }) {
        portal.activate(id, portal.session);
        EXPECT_TRUE(QTest::qWaitFor([&] { return isShownToPlayer(&window) == shown; }, 5000));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return mapState(window.winId()) == (shown ? "IsViewable" : "IsUnMapped"); }));
    }

    // The unhook lets go of the key at the desktop too.
    UnhookMainWindow(&window);
    EXPECT_FALSE(hotKeyHeld());
    EXPECT_TRUE(QTest::qWaitFor([&] { return portal.closed; }, 5000));
}

TEST_F(HotKeyPortal, APortalThatRefusesOrIsAbsentIsLoggedAndTheFallbackOrANoticeFollows)
{
    struct Row {
        const char* name;
        bool present, hasInterface;
        uint createCode, bindCode;
        bool f10HeldElsewhere; // another X client holds F10: the X11 fallback fails too
        const char* logged;
    };
    const Row rows[] = {
        { "no portal on the bus", false, true, 0, 0, false, "no global-shortcuts portal" },
        { "portal without the interface", true, false, 0, 0, true, "no global-shortcuts portal" },
        { "session declined", true, true, 1, 0, false, "declined (response 1)" },
        { "binding ended", true, true, 0, 2, true, "ended the request (response 2)" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<StandInPortal> portal;
        if (row.present) {
            portal.emplace();
            portal->hasInterface = row.hasInterface;
            portal->createCode = row.createCode;
            portal->bindCode = row.bindCode;
        }
        std::optional<F10Holder> holder;
        if (row.f10HeldElsewhere) {
            holder.emplace();
            ASSERT_EQ(holder->answer(), QStringLiteral("held"));
        }
        QFile::remove(m_events.path());

        HookMainWindow(&window, nullptr);
        EXPECT_TRUE(logSays(row.logged)) << eventLog().toStdString();
        // Without the key: no notification service on the private bus, so
        // the notice is the program's own box.
        EXPECT_TRUE(logSays(row.f10HeldElsewhere ? "the notice on F10 went to a message box"
                                                 : "F10 through XWayland instead"));
        EXPECT_EQ(hotKeyHeld(), !row.f10HeldElsewhere);
        if (row.f10HeldElsewhere) {
            QMessageBox* box = visibleMessageBox(5000);
            ASSERT_TRUE(box);
            EXPECT_EQ(box, QApplication::activeModalWidget());
            EXPECT_TRUE(box->text().contains(QStringLiteral("F10")));
            box->close();
        }
        UnhookMainWindow(&window);
        holder.reset(); // lets go of F10
    }
}

} // namespace
