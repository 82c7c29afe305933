#include "platform/globalshortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QRandomGenerator>

#include <chrono>

namespace kest {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// A desktop that asks the player before binding waits for an answer; one
// that never answers must not leave the program without F10 unannounced.
constexpr std::chrono::minutes kAnswerTime { 2 };

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

} // namespace kest

Q_DECLARE_METATYPE(kest::PortalShortcut)

namespace kest {

namespace {

QString token()
{
    return QStringLiteral("kest%1").arg(QRandomGenerator::global()->generate());
}

// The session handle comes as a string from the portal and as an object path
// from some stand-ins; either will do.
QString pathOf(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

QVariantMap mapOf(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QString refusal(uint code)
{
    switch (code) {
    case 1:
        return QStringLiteral("the player or the desktop declined (response 1)");
    case 2:
        return QStringLiteral("the desktop ended the request (response 2)");
    default:
        return QStringLiteral("the portal answered %1").arg(code);
    }
}

} // namespace

GlobalShortcuts::GlobalShortcuts(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kAnswerTime);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("the portal did not answer within %1 minutes")
                 .arg(std::chrono::minutes(kAnswerTime).count()));
    });
}

GlobalShortcuts::~GlobalShortcuts()
{
    if (m_session.isEmpty() || !m_bus.isConnected())
        return;
    m_bus.send(QDBusMessage::createMethodCall(
        kService, m_session, kSessionInterface, QStringLiteral("Close")));
}

bool GlobalShortcuts::isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

void GlobalShortcuts::bind(const QString& id, const QString& description, const QString& trigger)
{
    if (m_state != State::Idle)
        return;
    m_id = id;
    m_description = description;
    m_trigger = trigger;
    m_state = State::Binding;
    if (!m_bus.isConnected()) {
        fail(QStringLiteral("no session bus"));
        return;
    }
    m_deadline.start();
    checkVersion();
}

void GlobalShortcuts::checkVersion()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *finished;
            if (reply.isError()) {
                fail(QStringLiteral("the desktop has no global-shortcuts portal (%1)")
                         .arg(reply.error().message()));
                return;
            }
            createSession();
        });
}

void GlobalShortcuts::createSession()
{
    // Activated comes on the portal object for every session of this
    // connection; onActivated keeps this session's.
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
        SLOT(onActivated(QDBusMessage)));
    const QString requestToken = token();
    QVariantMap options { { QStringLiteral("handle_token"), requestToken },
        { QStringLiteral("session_handle_token"), token() } };
    request(Step::CreateSession, QStringLiteral("CreateSession"), { options }, requestToken);
}

void GlobalShortcuts::bindShortcuts()
{
    const QString requestToken = token();
    QVariantMap properties { { QStringLiteral("description"), m_description } };
    if (!m_trigger.isEmpty())
        properties.insert(QStringLiteral("preferred_trigger"), m_trigger);
    const QList<PortalShortcut> shortcuts { { m_id, properties } };
    // No parent window: a Wayland toplevel would need an exported handle, and
    // the desktop's dialog, if any, stands on its own.
    request(Step::BindShortcuts, QStringLiteral("BindShortcuts"),
        { QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
            QString(), QVariantMap { { QStringLiteral("handle_token"), requestToken } } },
        requestToken);
}

void GlobalShortcuts::request(
    Step step, const QString& method, const QVariantList& arguments, const QString& token)
{
    m_step = step;
    // The request object's path is known before the call, so the answer
    // cannot come before we listen for it.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    listenForResponse(QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, step, method](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            if (m_step != step)
                return;
            const QDBusPendingReply<QDBusObjectPath> reply = *finished;
            if (reply.isError()) {
                fail(QStringLiteral("%1: %2").arg(method, reply.error().message()));
                return;
            }
            // An older portal names the request object its own way.
            if (const QString path = reply.value().path(); path != m_requestPath)
                listenForResponse(path);
        });
}

void GlobalShortcuts::listenForResponse(const QString& path)
{
    if (!m_requestPath.isEmpty())
        m_bus.disconnect(kService, m_requestPath, kRequestInterface, QStringLiteral("Response"),
            this, SLOT(onResponse(QDBusMessage)));
    m_requestPath = path;
    m_bus.connect(kService, m_requestPath, kRequestInterface, QStringLiteral("Response"), this,
        SLOT(onResponse(QDBusMessage)));
}

void GlobalShortcuts::onResponse(const QDBusMessage& message)
{
    if (m_state != State::Binding || message.path() != m_requestPath)
        return;
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2) {
        fail(QStringLiteral("a malformed answer of the portal (signature %1)")
                 .arg(message.signature()));
        return;
    }
    const uint code = arguments.at(0).toUInt();
    const QVariantMap results = mapOf(arguments.at(1));
    if (code != 0) {
        fail(refusal(code));
        return;
    }
    if (m_step == Step::CreateSession) {
        m_session = pathOf(results.value(QStringLiteral("session_handle")));
        if (m_session.isEmpty()) {
            fail(QStringLiteral("the portal opened no session"));
            return;
        }
        bindShortcuts();
        return;
    }
    // The desktop says which of the shortcuts it bound, and to what.
    const QVariant listed = results.value(QStringLiteral("shortcuts"));
    const QList<PortalShortcut> shortcuts = listed.canConvert<QDBusArgument>()
        ? qdbus_cast<QList<PortalShortcut>>(listed.value<QDBusArgument>())
        : QList<PortalShortcut>();
    for (const PortalShortcut& shortcut : shortcuts) {
        if (shortcut.id != m_id)
            continue;
        m_step = Step::None;
        m_state = State::Bound;
        m_deadline.stop();
        emit bound(shortcut.properties.value(QStringLiteral("trigger_description")).toString());
        return;
    }
    fail(QStringLiteral("the desktop did not bind the shortcut"));
}

void GlobalShortcuts::onActivated(const QDBusMessage& message)
{
    const QVariantList arguments = message.arguments();
    if (m_state != State::Bound || arguments.size() < 2)
        return;
    if (pathOf(arguments.at(0)) == m_session && arguments.at(1).toString() == m_id)
        emit activated();
}

void GlobalShortcuts::fail(const QString& reason)
{
    if (m_state == State::Failed)
        return;
    m_state = State::Failed;
    m_step = Step::None;
    m_deadline.stop();
    emit failed(reason);
}

} // namespace kest
