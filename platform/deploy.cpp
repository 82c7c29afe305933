#include "platform/deploy.h"

#include <QByteArray>
#include <QtGlobal>

namespace kest {

namespace {

QString hostSetting(const char* variable, const char* builtIn)
{
    const QByteArray fromEnvironment = qgetenv(variable).trimmed();
    if (!fromEnvironment.isEmpty())
        return QString::fromUtf8(fromEnvironment);
    return QString::fromUtf8(builtIn);
}

} // namespace

QString loginHost()
{
    return hostSetting("KEST_LOGIN_HOST", KEST_LOGIN_HOST_DEFAULT);
}
QString homeHost()
{
    return hostSetting("KEST_HOME_HOST", KEST_HOME_HOST_DEFAULT);
}
QString staticHost()
{
    return hostSetting("KEST_STATIC_HOST", KEST_STATIC_HOST_DEFAULT);
}
QString hostOrigin(const QString& host)
{
    QString origin = host;
    if (!origin.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)
        && !origin.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        origin.prepend(QLatin1String("http://"));
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}

QString updatePublicKey()
{
    return hostSetting("KEST_UPDATE_PUBKEY", KEST_UPDATE_PUBKEY_DEFAULT);
}
QString programVersion()
{
    return QStringLiteral(KEST_VERSION_STRING);
}

} // namespace kest
