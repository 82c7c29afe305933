// The one proxy decision both network stacks get.
#include "platform/proxy.h"
#include "tests/support/testenv.h"

#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using Env = std::map<std::string, QByteArray>;

struct Inputs {
    Env env;
    QList<QNetworkProxy> system; // Qt's answer; empty: as if Qt read nothing
    QStringList refusals;

    kest::ProxyInputs get()
    {
        return {
            [this](const char* name) {
                const auto found = env.find(name);
                return found == env.end() ? QByteArray() : found->second;
            },
            [this](const QUrl&) { return system; },
            [this](const QString& line) { refusals << line; },
        };
    }
};

const QByteArray kTowardLoopback = "--disable-gpu --proxy-bypass-list=<-loopback>";

TEST(Proxy, OneDecisionPerAddress)
{
    const QNetworkProxy systemHttp(QNetworkProxy::HttpProxy, QStringLiteral("sys"), 3128);
    struct Case {
        const char* what;
        Env env;
        QList<QNetworkProxy> system;
        QByteArray curl; // CURLOPT_PROXY
        bool refused = false;
        const char* address = "http://game.example/";
    };
    const Case cases[] = {
        { "nothing set", {}, {}, "" },
        { "Qt's answer first", { { "http_proxy", "http://env:1" } }, { systemHttp },
            "http://sys:3128" },
        { "Qt's NoProxy leaves the environment", { { "http_proxy", "http://env:1" } },
            { QNetworkProxy(QNetworkProxy::NoProxy) }, "http://env:1" },
        { "HTTP_PROXY only through Qt", { { "HTTP_PROXY", "http://upper:1" } }, {}, "" },
        { "HTTPS_PROXY for https", { { "HTTPS_PROXY", "http://p4:3128" } }, {}, "http://p4:3128",
            false, "https://game.example/" },
        { "https_proxy not for http", { { "https_proxy", "http://p3:3128" } }, {}, "" },
        { "all_proxy last", { { "all_proxy", "http://all:8080" } }, {}, "http://all:8080" },
        { "no scheme is http", { { "http_proxy", "p7:3128" } }, {}, "http://p7:3128" },
        { "no port is 1080", { { "http_proxy", "http://p" } }, {}, "http://p:1080" },
        { "credentials kept", { { "http_proxy", "http://u:p%40w@p:3128" } }, {},
            "http://u:p%40w@p:3128" },
        { "socks5 resolves at the proxy", { { "http_proxy", "socks5://s" } }, {},
            "socks5h://s:1080" },
        { "socks from Qt", {}, { QNetworkProxy(QNetworkProxy::Socks5Proxy, "qs", 1081) },
            "socks5h://qs:1081" },
        { "socks4 refused", { { "http_proxy", "socks4://s:1080" } }, {}, "", true },
        { "malformed refused", { { "http_proxy", "http://bad host:x" } }, {}, "", true },
        { "port 0 refused", { { "http_proxy", "http://p:0" } }, {}, "", true },
        { "Qt's hostless proxy refused", {}, { QNetworkProxy(QNetworkProxy::HttpProxy) }, "",
            true },
        { "Qt's unusable kind refused, not passed over", { { "http_proxy", "http://env:1" } },
            { QNetworkProxy(QNetworkProxy::FtpCachingProxy, "ftp", 21) }, "", true },
        { "not a web address", { { "http_proxy", "http://p:1" } }, {}, "", false,
            "ftp://game.example/" },
        { "no_proxy domain covers names under it", { { "no_proxy", "example.com" } },
            { systemHttp }, "", false, "http://www.example.com/" },
        { "no_proxy domain not a longer name", { { "no_proxy", "example.com" } }, { systemHttp },
            "http://sys:3128", false, "http://badexample.com/" },
        { "NO_PROXY with a dot covers the domain", { { "NO_PROXY", ".Example.com" } },
            { systemHttp }, "", false, "http://example.com/" },
        { "no_proxy before NO_PROXY",
            { { "no_proxy", "other.org" }, { "NO_PROXY", "example.com" } }, { systemHttp },
            "http://sys:3128", false, "http://example.com/" },
        { "no_proxy block", { { "no_proxy", "a.org, 10.0.0.0/8" } }, { systemHttp }, "", false,
            "http://10.1.2.3:81/" },
        { "no_proxy name not an address's tail", { { "no_proxy", "0.0.1" } }, { systemHttp },
            "http://sys:3128", false, "http://10.0.0.1/" },
        { "no_proxy IPv6", { { "no_proxy", "[2001:db8::1]" } }, { systemHttp }, "", false,
            "http://[2001:db8::1]/" },
        { "no_proxy star", { { "no_proxy", "*" } }, { systemHttp }, "", false,
            "https://game.example/" },
        { "loopback direct", {}, { systemHttp }, "", false, "http://127.0.0.2:8080/" },
        { "localhost direct", {}, { systemHttp }, "", false, "http://a.localhost/" },
        { "::1 direct", {}, { systemHttp }, "", false, "http://[::1]:8080/" },
        { "link-local direct", {}, { systemHttp }, "", false, "http://169.254.1.1/" },
        { "<-loopback> sends loopback through the proxy",
            { { "QTWEBENGINE_CHROMIUM_FLAGS", kTowardLoopback } }, { systemHttp },
            "http://sys:3128", false, "http://127.0.0.1:8080/" },
        { "only the last bypass list counts",
            { { "QTWEBENGINE_CHROMIUM_FLAGS", kTowardLoopback + " --proxy-bypass-list=x.org" } },
            { systemHttp }, "", false, "http://127.0.0.1:8080/" },
    };
    for (const Case& c : cases) {
        Inputs inputs { c.env, c.system, {} };
        const kest::ProxyRoute route
            = kest::proxyFor(QUrl(QString::fromLatin1(c.address)), inputs.get());
        EXPECT_EQ(route.curlProxy(), c.curl) << c.what;
        EXPECT_EQ(!inputs.refusals.isEmpty(), c.refused)
            << c.what << ": " << qPrintable(inputs.refusals.join(u'|'));
        for (const QString& line : inputs.refusals)
            EXPECT_FALSE(line.contains(QLatin1String("p%40w"))) << c.what;
    }
}

TEST(Proxy, BothStacksGetTheSameBypassRules)
{
    Inputs inputs { { { "no_proxy", ".example.com,10.0.0.0/8,::1" },
                        { "http_proxy", "http://p:3128" }, { "https_proxy", "http://p:3128" } },
        {}, {} };
    const QUrl platform(QStringLiteral("http://game.example/"));
    EXPECT_EQ(kest::chromiumProxySwitches(platform, inputs.get()),
        QStringList({ QStringLiteral("--proxy-server=http://p:3128"),
            QStringLiteral("--proxy-bypass-list=example.com;*.example.com;10.0.0.0/8;[::1]") }));
    EXPECT_EQ(kest::curlNoProxyList(inputs.get()),
        QByteArray(
            "example.com,10.0.0.0/8,::1,localhost,127.0.0.0/8,::1,169.254.0.0/16,fe80::/10"));

    inputs.env["QTWEBENGINE_CHROMIUM_FLAGS"] = kTowardLoopback;
    EXPECT_EQ(kest::chromiumBypassRules(inputs.get()).last(), QStringLiteral("<-loopback>"));
    EXPECT_EQ(kest::curlNoProxyList(inputs.get()), QByteArray("example.com,10.0.0.0/8,::1"));

    // Bypassed by no_proxy, the platform's pages still learn the proxy: the
    // engine applies the same rules to every address itself.
    inputs.env["no_proxy"] = "game.example";
    EXPECT_EQ(kest::chromiumProxySwitches(platform, inputs.get()).first(),
        QStringLiteral("--proxy-server=http://p:3128"));
    inputs.env["https_proxy"] = "socks5://s:1081";
    EXPECT_EQ(kest::chromiumProxySwitches(platform, inputs.get()).first(),
        QStringLiteral("--proxy-server=http=http://p:3128;https=socks5://s:1081"));
    inputs.env.erase("http_proxy");
    EXPECT_EQ(kest::chromiumProxySwitches(platform, inputs.get()).first(),
        QStringLiteral("--proxy-server=http=direct://;https=socks5://s:1081"));
    inputs.env.erase("https_proxy");
    EXPECT_EQ(kest::chromiumProxySwitches(platform, inputs.get()),
        QStringList { QStringLiteral("--no-proxy-server") });
}

TEST(Proxy, ThePlayersEngineProxySwitchesGiveWay)
{
    Inputs inputs { { { "http_proxy", "http://p:3128" }, { "https_proxy", "http://p:3128" },
                        { "QTWEBENGINE_CHROMIUM_FLAGS",
                            "--disable-gpu  --proxy-pac-url=http://u:pw@pac/ --no-proxy-server "
                            "--proxy-bypass-list=<-loopback>" } },
        {}, {} };
    EXPECT_EQ(
        kest::chromiumFlagsWithProxy(QUrl(QStringLiteral("http://game.example/")), inputs.get()),
        QByteArray("--disable-gpu --proxy-server=http://p:3128 --proxy-bypass-list=<-loopback>"));
    ASSERT_EQ(inputs.refusals.size(), 1);
    EXPECT_TRUE(
        inputs.refusals.first().contains(QLatin1String("--proxy-pac-url --no-proxy-server")))
        << qPrintable(inputs.refusals.first());
    EXPECT_FALSE(inputs.refusals.first().contains(QLatin1String("pw")));
}

// With the real Qt: whatever this Qt makes of upper-case HTTP_PROXY (libproxy
// reads it, Qt's own reader does not), the decision says the same.
TEST(Proxy, UpperCaseHttpProxyFollowsQt)
{
    const kest::test::ScopedEnvironment env(
        { { "http_proxy", {} }, { "all_proxy", {} }, { "ALL_PROXY", {} }, { "no_proxy", {} },
            { "NO_PROXY", {} }, { "HTTP_PROXY", "http://upper.test:3128" } });
    const QUrl address(QStringLiteral("http://game.example/"));
    const QList<QNetworkProxy> qt
        = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(address));
    const bool qtHonoursIt = !qt.isEmpty() && qt.first().type() == QNetworkProxy::HttpProxy;
    EXPECT_EQ(kest::proxyFor(address).curlProxy(),
        qtHonoursIt ? QByteArray("http://upper.test:3128") : QByteArray(""));
}

} // namespace
