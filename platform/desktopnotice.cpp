#include "platform/desktopnotice.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QPointer>
#include <QVariantMap>

#include <memory>

namespace kest {

namespace {

QDBusMessage notifyCall(const QString& title, const QString& body)
{
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    if (const QString entry = QGuiApplication::desktopFileName(); !entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    // Stays until the player closes it: the reason must not slip by unread.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2));
    call << QStringLiteral("kest") << 0u << QStringLiteral("dialog-warning") << title << body
         << QStringList() << hints << qint32(0);
    return call;
}

} // namespace

void notifyDesktop(const QString& title, const QString& body, QObject* context,
    std::function<void(const QString& reason)> notShown)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (notShown)
            notShown(QStringLiteral("no session bus: ") + bus.lastError().message());
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notifyCall(title, body)), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
        [notShown = std::move(notShown)](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<std::uint32_t> reply = *finished;
            if (reply.isError() && notShown)
                notShown(reply.error().message());
        });
}

bool notifyDesktopAndWait(const QString& title, const QString& body, QString* reason)
{
    // QtDBus needs an application object for its connections.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "kest";
        static char* argv[] = { name, nullptr };
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (reason)
            *reason = QStringLiteral("no session bus: ") + bus.lastError().message();
        return false;
    }
    const QDBusMessage reply = bus.call(notifyCall(title, body), QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (reason)
            *reason = reply.errorMessage();
        return false;
    }
    return true;
}

} // namespace kest
