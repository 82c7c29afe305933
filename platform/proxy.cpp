#include "platform/proxy.h"

#include "platform/cmdline.h"
#include "platform/eventlog.h"

#include <QHostAddress>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>
#include <QRegularExpression>

#include <optional>

namespace kest {

namespace {

// libcurl's default for a proxy address without a port; both stacks get the
// port spelled out, so they agree whatever their own default.
constexpr quint16 kDefaultProxyPort = 1080;

QByteArray variable(const ProxyInputs& inputs, const char* name)
{
    return inputs.environment ? inputs.environment(name).trimmed() : QByteArray();
}

void refuse(const ProxyInputs& inputs, const QString& why)
{
    if (inputs.refused)
        inputs.refused(QStringLiteral("proxy: %1; connecting directly").arg(why));
}

bool isWebAddress(const QUrl& address)
{
    const QString scheme = address.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !address.host().isEmpty();
}

QString hostOf(const QUrl& address)
{
    QString host = address.host().toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host;
}

// no_proxy's entries as libcurl reads them: no_proxy, else NO_PROXY; commas
// or blanks between entries; a leading "." or "*." means the same as none.
QStringList noProxyEntries(const ProxyInputs& inputs)
{
    QByteArray list = variable(inputs, "no_proxy");
    if (list.isEmpty())
        list = variable(inputs, "NO_PROXY");
    QStringList entries;
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    for (QString entry : QString::fromLocal8Bit(list).split(separators, Qt::SkipEmptyParts)) {
        entry = entry.toLower();
        if (entry.startsWith(QLatin1String("*.")))
            entry.remove(0, 2);
        else if (entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (entry.endsWith(QLatin1Char('.')))
            entry.chop(1);
        if (entry.startsWith(QLatin1Char('[')) && entry.endsWith(QLatin1Char(']')))
            entry = entry.mid(1, entry.size() - 2);
        if (!entry.isEmpty())
            entries << entry;
    }
    return entries;
}

bool entryMatches(const QString& entry, const QString& host)
{
    if (entry == QLatin1String("*"))
        return true;
    const QHostAddress hostAddress(host);
    if (entry.contains(QLatin1Char('/'))) {
        const auto subnet = QHostAddress::parseSubnet(entry);
        return !hostAddress.isNull() && subnet.second >= 0 && hostAddress.isInSubnet(subnet);
    }
    // An address is matched by addresses only: "0.0.1" is no domain of 10.0.0.1.
    if (!hostAddress.isNull())
        return hostAddress.isEqual(QHostAddress(entry));
    return host == entry || host.endsWith(QLatin1Char('.') + entry);
}

// The browser engine's switches as given to this process: the last
// --proxy-bypass-list wins, as in the engine.
bool loopbackGoesThroughProxy(const ProxyInputs& inputs)
{
    const QString flags = QString::fromLocal8Bit(variable(inputs, "QTWEBENGINE_CHROMIUM_FLAGS"));
    static const QRegularExpression bypassSwitch(
        QStringLiteral("(?:^|\\s)--proxy-bypass-list=\"?([^\\s\"]*)"));
    QString rules;
    for (auto match = bypassSwitch.globalMatch(flags); match.hasNext();)
        rules = match.next().captured(1);
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    return rules.split(separators).contains(QLatin1String("<-loopback>"));
}

// What the browser engine reaches directly without being told: loopback and
// link-local addresses.
bool isImplicitlyDirect(const QString& host)
{
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && (address.isLoopback() || address.isLinkLocal());
}

// A proxy address as the environment gives it; nullopt when refused.
std::optional<ProxyRoute> parseProxyAddress(
    const QString& text, const QString& origin, const ProxyInputs& inputs)
{
    const QString withScheme
        = text.contains(QLatin1String("://")) ? text : QStringLiteral("http://") + text;
    const QUrl url(withScheme, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    ProxyRoute route;
    if (scheme == QLatin1String("http")) {
        route.kind = ProxyRoute::Kind::Http;
    } else if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h")) {
        route.kind = ProxyRoute::Kind::Socks5;
    } else if (url.isValid() && !scheme.isEmpty()) {
        refuse(inputs,
            QStringLiteral("%1 names a %2 proxy, which kest does not use").arg(origin, scheme));
        return std::nullopt;
    }
    if (!url.isValid() || url.host().isEmpty() || url.port() == 0) {
        refuse(inputs,
            QStringLiteral("%1 is not a proxy address: %2").arg(origin, addressForLog(text)));
        return std::nullopt;
    }
    route.host = url.host();
    route.port = url.port() > 0 ? static_cast<quint16>(url.port()) : kDefaultProxyPort;
    route.user = url.userName();
    route.password = url.password();
    return route;
}

QString hostPort(const ProxyRoute& route)
{
    QUrl url;
    url.setHost(route.host);
    url.setPort(route.port);
    return url.authority();
}

} // namespace

QByteArray ProxyRoute::curlProxy() const
{
    if (isDirect())
        return QByteArray("");
    QUrl url;
    url.setScheme(kind == Kind::Http ? QStringLiteral("http") : QStringLiteral("socks5h"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user);
    url.setPassword(password);
    return url.toEncoded();
}

QString ProxyRoute::chromiumServer() const
{
    if (isDirect())
        return {};
    return (kind == Kind::Http ? QStringLiteral("http://") : QStringLiteral("socks5://"))
        + hostPort(*this);
}

ProxyInputs ProxyInputs::live()
{
    return {
        [](const char* name) { return qgetenv(name); },
        [](const QUrl& address) {
            return QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(address));
        },
        [](const QString& line) { logEvent(line); },
    };
}

bool bypassesProxy(const QUrl& address, const ProxyInputs& inputs)
{
    const QString host = hostOf(address);
    for (const QString& entry : noProxyEntries(inputs)) {
        if (entryMatches(entry, host))
            return true;
    }
    return isImplicitlyDirect(host) && !loopbackGoesThroughProxy(inputs);
}

ProxyRoute proxyServerFor(const QUrl& address, const ProxyInputs& inputs)
{
    if (!isWebAddress(address))
        return {};
    const QList<QNetworkProxy> system
        = inputs.system ? inputs.system(address) : QList<QNetworkProxy>();
    if (!system.isEmpty()) {
        const QNetworkProxy& proxy = system.first();
        const bool http = proxy.type() == QNetworkProxy::HttpProxy
            || proxy.type() == QNetworkProxy::HttpCachingProxy;
        if (http || proxy.type() == QNetworkProxy::Socks5Proxy) {
            if (proxy.hostName().isEmpty()) {
                refuse(inputs, QStringLiteral("the system's proxy names no host"));
                return {};
            }
            ProxyRoute route;
            route.kind = http ? ProxyRoute::Kind::Http : ProxyRoute::Kind::Socks5;
            route.host = proxy.hostName();
            route.port = proxy.port() > 0 ? proxy.port() : kDefaultProxyPort;
            route.user = proxy.user();
            route.password = proxy.password();
            return route;
        }
        if (proxy.type() != QNetworkProxy::NoProxy && proxy.type() != QNetworkProxy::DefaultProxy) {
            refuse(inputs, QStringLiteral("the system's proxy is of a kind kest does not use"));
            return {};
        }
    }
    const bool https = address.scheme().toLower() == QLatin1String("https");
    const QList<const char*> names = https
        ? QList<const char*> { "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY" }
        : QList<const char*> { "http_proxy", "all_proxy", "ALL_PROXY" };
    for (const char* name : names) {
        const QByteArray value = variable(inputs, name);
        if (value.isEmpty())
            continue;
        return parseProxyAddress(QString::fromLocal8Bit(value), QString::fromLatin1(name), inputs)
            .value_or(ProxyRoute());
    }
    return {};
}

ProxyRoute proxyFor(const QUrl& address, const ProxyInputs& inputs)
{
    if (!isWebAddress(address) || bypassesProxy(address, inputs))
        return {};
    return proxyServerFor(address, inputs);
}

QByteArray curlNoProxyList(const ProxyInputs& inputs)
{
    const QStringList entries = noProxyEntries(inputs);
    if (entries.contains(QLatin1String("*")))
        return QByteArray("*"); // libcurl takes "*" only as the whole list
    QStringList list = entries;
    if (!loopbackGoesThroughProxy(inputs))
        list << QStringLiteral("localhost") << QStringLiteral("127.0.0.0/8")
             << QStringLiteral("::1") << QStringLiteral("169.254.0.0/16")
             << QStringLiteral("fe80::/10");
    return list.join(QLatin1Char(',')).toLocal8Bit();
}

QStringList chromiumBypassRules(const ProxyInputs& inputs)
{
    QStringList rules;
    for (const QString& entry : noProxyEntries(inputs)) {
        if (entry == QLatin1String("*") || entry.contains(QLatin1Char('/'))) {
            rules << entry;
            continue;
        }
        const QHostAddress address(entry);
        if (!address.isNull()) {
            rules << (address.protocol() == QAbstractSocket::IPv6Protocol
                    ? QLatin1Char('[') + entry + QLatin1Char(']')
                    : entry);
            continue;
        }
        // The engine's "example.com" is that name alone.
        rules << entry << QStringLiteral("*.") + entry;
    }
    // The engine bypasses loopback on its own.
    if (loopbackGoesThroughProxy(inputs))
        rules << QStringLiteral("<-loopback>");
    return rules;
}

QStringList chromiumProxySwitches(const QUrl& platform, const ProxyInputs& inputs)
{
    // The engine takes one proxy per scheme: the platform's, asked for both.
    QUrl http = platform;
    http.setScheme(QStringLiteral("http"));
    QUrl https = platform;
    https.setScheme(QStringLiteral("https"));
    const ProxyRoute forHttp = proxyServerFor(http, inputs);
    const ProxyRoute forHttps = proxyServerFor(https, inputs);
    if (forHttp.isDirect() && forHttps.isDirect())
        return { QStringLiteral("--no-proxy-server") };
    const auto server = [](const ProxyRoute& route) {
        return route.isDirect() ? QStringLiteral("direct://") : route.chromiumServer();
    };
    QStringList switches { QStringLiteral("--proxy-server=")
        + (forHttp == forHttps
                ? server(forHttp)
                : QStringLiteral("http=%1;https=%2").arg(server(forHttp), server(forHttps))) };
    const QStringList rules = chromiumBypassRules(inputs);
    if (!rules.isEmpty())
        switches << QStringLiteral("--proxy-bypass-list=") + rules.join(QLatin1Char(';'));
    return switches;
}

QByteArray chromiumFlagsWithProxy(const QUrl& platform, const ProxyInputs& inputs)
{
    const QStringList switches = chromiumProxySwitches(platform, inputs);
    // The engine's own proxy switches among the player's would win over
    // these (--no-proxy-server and --proxy-pac-url go first there) and send
    // the pages another way than the downloads: they give way. A bypass list
    // of the player's has been read already ("<-loopback>").
    QStringList flags;
    QStringList dropped;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression proxySwitch(
        QStringLiteral("^--(no-proxy-server|proxy-server|proxy-pac-url|proxy-auto-detect|proxy-"
                       "bypass-list)(=|$)"));
    for (const QString& flag :
        QString::fromLocal8Bit(variable(inputs, "QTWEBENGINE_CHROMIUM_FLAGS"))
            .split(blanks, Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = proxySwitch.match(flag);
        if (!match.hasMatch())
            flags << flag;
        else if (match.captured(1) != QLatin1String("proxy-bypass-list"))
            dropped << QStringLiteral("--") + match.captured(1); // no credentials in the log
    }
    if (!dropped.isEmpty() && inputs.refused) {
        inputs.refused(QStringLiteral("proxy: %1 in QTWEBENGINE_CHROMIUM_FLAGS ignored: the "
                                      "pages go the way the downloads go")
                           .arg(dropped.join(QLatin1Char(' '))));
    }
    return (flags + switches).join(QLatin1Char(' ')).toLocal8Bit();
}

void routeBrowserThroughProxy(const QUrl& platform)
{
    const ProxyInputs inputs = ProxyInputs::live();
    // The engine takes proxy switches only on its system-settings path; on
    // the application-proxy path it ignores them and always sends loopback
    // direct. Its switches then stand above the desktop's settings, so the
    // pages follow this decision and nothing else.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    const QByteArray flags = chromiumFlagsWithProxy(platform, inputs);
    setForThisProcess("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    if (!flags.contains("--no-proxy-server"))
        logEvent(QStringLiteral("proxy: pages: %1")
                     .arg(QString::fromLocal8Bit(flags.mid(flags.indexOf("--proxy-server")))));
}

} // namespace kest
