#include "launcher/shared/LinkTopic.h"

#include "launcher/shared/AppLinks.h"
#include "platform/eventlog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace kest {

LinkTopic::LinkTopic(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        logEvent(QStringLiteral("PlenwickDDE: no session bus (%1); the link topic is not offered")
                     .arg(bus.lastError().message()));
        return;
    }
    // The object first: a call that started this program through bus
    // activation is delivered as soon as the name is taken.
    m_objectRegistered = bus.registerObject(
        QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportScriptableSlots);
    if (!m_objectRegistered) {
        logEvent(QStringLiteral("PlenwickDDE: %1 could not be registered (%2)")
                     .arg(QString::fromLatin1(kObjectPath), bus.lastError().message()));
        return;
    }
    const QString service = QString::fromLatin1(kServiceName);
    // No queueing and no taking over: the first program keeps the name.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = bus.interface()->registerService(service, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        logInfo(QStringLiteral("PlenwickDDE: the service name %1 is taken (%2); "
                               "the link topic is not offered")
                    .arg(service,
                        reply.isValid() ? QStringLiteral("held by another program")
                                        : reply.error().message()));
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        m_objectRegistered = false;
        return;
    }
    m_offered = true;
}

LinkTopic::~LinkTopic()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_offered)
        bus.unregisterService(QString::fromLatin1(kServiceName));
    if (m_objectRegistered)
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
}

QString LinkTopic::refusal(const QString& command)
{
    const std::u16string_view text(
        reinterpret_cast<const char16_t*>(command.utf16()), std::size_t(command.size()));
    switch (webAddressProblem(text)) {
    case WebAddressProblem::None:
        return {};
    case WebAddressProblem::NotWeb:
        return QStringLiteral("not an http:// or https:// address");
    case WebAddressProblem::TooLong:
        return QStringLiteral("longer than %1 characters").arg(kMaxWebAddressLength);
    }
    return {};
}

void LinkTopic::Execute(const QString& command)
{
    const QString why = refusal(command);
    if (!why.isEmpty()) {
        logEvent(QStringLiteral("PlenwickDDE: Execute refused, %1: %2")
                     .arg(why, addressForLog(command)));
        if (calledFromDBus())
            sendErrorReply(QString::fromLatin1(kRefusedError), why);
        return;
    }
    if (m_handler && m_handler(command))
        return;
    logEvent(QStringLiteral("PlenwickDDE: Execute could not open %1").arg(addressForLog(command)));
    if (calledFromDBus())
        sendErrorReply(
            QString::fromLatin1(kNotOpenedError), QStringLiteral("the page could not be opened"));
}

} // namespace kest
