#include "launcher/shared/SessionInstance.h"

#include "launcher/shared/LinkTopic.h"
#include "platform/eventlog.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

namespace kest {

namespace {

// The first one may be busy for a moment (a page loading, a question open
// in a nested loop); a name holder that never answers is not kest.
constexpr int kHandOverTimeoutMs = 10000;

} // namespace

SessionInstance::SessionInstance(Actions actions, QObject* parent)
    : QObject(parent)
    , m_actions(std::move(actions))
{ }

SessionInstance::~SessionInstance()
{
    m_link.reset(); // gives up the name before the object goes
    if (m_objectRegistered)
        QDBusConnection::sessionBus().unregisterObject(QString::fromLatin1(kObjectPath));
}

SessionInstance::Claim SessionInstance::claim(const QString& commandText)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        logEvent(QStringLiteral("single instance: no session bus (%1); a second start is not "
                                "noticed")
                     .arg(bus.lastError().message()));
        return Claim::Alone;
    }
    m_objectRegistered = bus.registerObject(
        QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportScriptableSlots);
    m_link = std::make_unique<LinkTopic>(m_actions.openAddress);
    if (m_link->isOffered())
        return Claim::First;
    m_link.reset();
    if (m_objectRegistered)
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
    m_objectRegistered = false;
    return handOver(commandText);
}

SessionInstance::Claim SessionInstance::handOver(const QString& commandText)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(LinkTopic::kServiceName),
        QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterfaceName),
        QStringLiteral("HandOver"));
    call << commandText;
    const QDBusMessage reply
        = QDBusConnection::sessionBus().call(call, QDBus::Block, kHandOverTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        logInfo(QStringLiteral("single instance: handed over to the running kest"));
        return Claim::HandedOver;
    }
    if (reply.errorName() == QLatin1String(kFailedError)) {
        logEvent(QStringLiteral("single instance: the running kest could not act on it: %1")
                     .arg(reply.errorMessage()));
        return Claim::NotHandedOver;
    }
    logEvent(QStringLiteral("single instance: the service name %1 is held by a program that is "
                            "not kest (%2: %3); going on alone")
                 .arg(QString::fromLatin1(LinkTopic::kServiceName), reply.errorName(),
                     reply.errorMessage()));
    return Claim::Alone;
}

void SessionInstance::HandOver(const QString& commandText)
{
    const auto fail = [this](const QString& why) {
        logEvent(QStringLiteral("single instance: a later start: %1").arg(why));
        if (calledFromDBus())
            sendErrorReply(QString::fromLatin1(kFailedError), why);
    };
    if (commandText == QLatin1String("/web")) {
        logInfo(QStringLiteral("single instance: a later start asks for the home page"));
        // Answered at once: when no browser opens it, the player is told by
        // a notice of this process, which the later start must not wait for.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_actions.openHomePage)
                    m_actions.openHomePage();
            },
            Qt::QueuedConnection);
        return;
    }
    if (LinkTopic::refusal(commandText).isEmpty()) {
        logInfo(QStringLiteral("single instance: a later start asks for %1")
                    .arg(addressForLog(commandText)));
        if (!m_actions.openAddress || !m_actions.openAddress(commandText))
            fail(QStringLiteral("the page could not be opened"));
        return;
    }
    // As on a first start, any other text means nothing; the player who
    // started kest again wants to see it.
    logInfo(QStringLiteral("single instance: a later start; showing the window"));
    if (m_actions.showWindow)
        m_actions.showWindow();
}

} // namespace kest
