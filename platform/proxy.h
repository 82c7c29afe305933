#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkProxy>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace kest {

// One proxy decision per address, for both network stacks: the update
// downloads (libcurl) and the pages (the browser engine) are given the same
// answer instead of each reading the environment its own way.
//
// The order, for an http or https address:
// 1. Bypassed: a host that no_proxy (or NO_PROXY) names, with libcurl's
//    rules: "*" is every host, "example.com" and ".example.com" are that
//    domain and every name under it, an address or a block (10.0.0.0/8,
//    fe80::/10) is every address in it. And loopback (localhost, *.localhost,
//    127.0.0.0/8, ::1) and link-local addresses (169.254.0.0/16, fe80::/10),
//    as the browser engine bypasses them on its own: unless the engine's
//    bypass list (QTWEBENGINE_CHROMIUM_FLAGS
//    --proxy-bypass-list) holds "<-loopback>", which then counts for the
//    downloads too.
// 2. The system's proxy for the address as Qt resolves it
//    (QNetworkProxyFactory::systemProxyForQuery; Debian's Qt asks libproxy,
//    which reads the desktop's settings where a plug-in for them is
//    installed, else http_proxy or HTTP_PROXY, https_proxy or HTTPS_PROXY).
// 3. Else the variables libcurl reads that Qt did not: https_proxy,
//    HTTPS_PROXY for https; http_proxy for http (never upper-case HTTP_PROXY:
//    only where Qt itself honours it, in step 2); then all_proxy, ALL_PROXY.
//    "host:port" without a scheme is an http proxy, as libcurl reads it.
// 4. Else direct.
//
// http proxies and socks5 proxies (socks5://, socks5h://; the proxy resolves
// the name, as the browser engine's socks5 does) are used; any other kind, or
// an address that names no usable host and port, is refused with a line in
// the event log and the address is reached directly.
struct ProxyRoute {
    enum class Kind { Direct, Http, Socks5 };
    Kind kind = Kind::Direct;
    QString host;
    quint16 port = 0;
    QString user; // credentials, for libcurl only
    QString password;

    bool isDirect() const { return kind == Kind::Direct; }
    // For CURLOPT_PROXY: "" (direct: no proxy at all, whatever the
    // environment says), "http://host:port" or "socks5h://host:port", with
    // the credentials when there are any.
    QByteArray curlProxy() const;
    // For the browser engine's --proxy-server: "http://host:port",
    // "socks5://host:port"; empty when direct.
    QString chromiumServer() const;
    bool operator==(const ProxyRoute& other) const = default;
};

// What the decision reads, so that a test can give its own.
struct ProxyInputs {
    std::function<QByteArray(const char*)> environment;
    std::function<QList<QNetworkProxy>(const QUrl&)> system;
    // Why a proxy setting was refused (one line); may be empty.
    std::function<void(const QString&)> refused;

    // The process's environment, Qt's system proxy, kest::logEvent.
    static ProxyInputs live();
};

// The whole decision for one address.
ProxyRoute proxyFor(const QUrl& address, const ProxyInputs& inputs = ProxyInputs::live());

// Steps 2 to 4 alone: the proxy the address would use were it not bypassed.
ProxyRoute proxyServerFor(const QUrl& address, const ProxyInputs& inputs);
// Step 1 alone.
bool bypassesProxy(const QUrl& address, const ProxyInputs& inputs);

// The bypass rules of step 1 in the forms the two stacks take: libcurl's
// CURLOPT_NOPROXY list (comma separated) and the browser engine's
// --proxy-bypass-list rules.
QByteArray curlNoProxyList(const ProxyInputs& inputs);
QStringList chromiumBypassRules(const ProxyInputs& inputs);

// The browser engine's command-line switches for the proxy of the platform's
// pages (`platform`: the login page's address): its proxy server and the
// bypass rules, or --no-proxy-server.
QStringList chromiumProxySwitches(const QUrl& platform, const ProxyInputs& inputs);

// The browser engine's switches (QTWEBENGINE_CHROMIUM_FLAGS) with those of
// the platform's proxy last; the engine's own proxy switches among them are
// dropped, with a line to `refused`.
QByteArray chromiumFlagsWithProxy(const QUrl& platform, const ProxyInputs& inputs);

// Gives the browser engine that decision. Must run before the first browser
// profile is created: the engine reads its switches once, at its start. The
// engine then applies the rules itself for every page address.
void routeBrowserThroughProxy(const QUrl& platform);

} // namespace kest
