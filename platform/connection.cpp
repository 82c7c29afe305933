#include "platform/connection.h"

#include <QByteArray>
#include <QNetworkInformation>
#include <QNetworkInterface>

namespace kest {

bool anyNonLoopbackInterfaceUp()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack)
            || !flags.testFlag(QNetworkInterface::IsUp)
            || !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        if (!iface.addressEntries().isEmpty())
            return true;
    }
    return false;
}

bool InternetGetConnectedState()
{
    if (qgetenv("KEST_CONNECTION_RULE") != "interfaces"
        && QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        switch (QNetworkInformation::instance()->reachability()) {
        case QNetworkInformation::Reachability::Disconnected:
            return false;
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
        case QNetworkInformation::Reachability::Online:
            return true;
        case QNetworkInformation::Reachability::Unknown:
            break; // the service does not know: fall back to the interfaces
        }
    }
    return anyNonLoopbackInterfaceUp();
}

} // namespace kest
