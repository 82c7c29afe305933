// What "clear cache" owes the cookies, on the program's real browser profile
// against loopback http and https servers: every cookie comes back exactly
// as the engine held it. A program of its own: the engine is fresh, and no
// earlier clearing in the process decides what this one sees.
#include "launcher/browser/BrowserProfile.h"
#include "launcher/browser/CacheMain.h"
#include "tests/support/http_server.h"
#include "tests/support/pageload.h"
#include "tests/support/testenv.h"
#include "tests/support/tls.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QTest>
#include <QWebEngineCertificateError>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace kest;
using kest::test::modeOf;

namespace {

constexpr int kWaitMs = 30000; // the engine starts slowly under Xvfb and the sanitizers

// The same routes over http and https: /set-* answer with cookies, every
// request is logged with its host and Cookie header.
struct CookieServers {
    explicit CookieServers(const kest::test::TestCertificates& certificates)
        : https("127.0.0.1", certificates.certificateFile(), certificates.keyFile())
    {
        for (kest::test::HttpServer* server : { &http, &https }) {
            server->get("/set-plain", [](const httplib::Request&, httplib::Response& res) {
                res.set_header("Set-Cookie", "host_c=h; Path=/");
                res.set_header("Set-Cookie", "domain_c=d; Domain=a.localhost; Path=/");
                res.set_header("Set-Cookie", "path_c=p; Path=/sub; Max-Age=86400");
                res.set_content("<!doctype html><p>plain</p>", "text/html");
            });
            server->get("/set-secure", [](const httplib::Request&, httplib::Response& res) {
                res.set_header(
                    "Set-Cookie", "__Host-h=1; Path=/; Secure; HttpOnly; SameSite=Strict");
                res.set_header(
                    "Set-Cookie", "__Secure-s=2; Path=/; Secure; Max-Age=86400; SameSite=None");
                res.set_content("<!doctype html><p>secure</p>", "text/html");
            });
            server->get("/probe", [](const httplib::Request&, httplib::Response& res) {
                res.set_header("Cache-Control", "no-store");
                res.set_content("<!doctype html><p>probe</p>", "text/html");
            });
        }
    }
    bool start() { return http.start() && https.start(); }
    kest::test::HttpServer& of(const char* scheme)
    {
        return std::string(scheme) == "https" ? https : http;
    }
    QUrl url(const char* scheme, const char* host, const char* path)
    {
        return QUrl(of(scheme).url(QLatin1String(host), QLatin1String(path)));
    }
    // The Cookie header of the last request for scheme, host and path.
    std::string cookiesOf(const char* scheme, const char* host, const char* path)
    {
        const std::string prefix = std::string(path) + " Host: " + host + " Cookie: ";
        const std::vector<std::string> lines = of(scheme).log();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (it->rfind(prefix, 0) == 0)
                return it->substr(prefix.size());
        }
        return "<no request>";
    }

    kest::test::HttpServer http;
    kest::test::HttpServer https;
};

// Every attribute the engine reports. (Qt WebEngine 6.4 reports no SameSite: it is
// Default on both sides there, and a cookie put back gets the engine's default.)
bool sameCookie(const QNetworkCookie& a, const QNetworkCookie& b)
{
    return a.name() == b.name() && a.value() == b.value() && a.domain() == b.domain()
        && a.path() == b.path() && a.isSecure() == b.isSecure() && a.isHttpOnly() == b.isHttpOnly()
        && a.isSessionCookie() == b.isSessionCookie()
        && a.expirationDate().toSecsSinceEpoch() == b.expirationDate().toSecsSinceEpoch()
        && a.sameSitePolicy() == b.sameSitePolicy();
}

// The profile's folders hold the session cookies: the player's alone, also when an
// earlier version left them open. (Runs first, before any test made the profile.)
TEST(BrowserProfileFolders, ArePrivate)
{
    const QString folders[] = {
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/kest/browser"),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
            + QStringLiteral("/kest/browser"),
    };
    for (const QString& folder : folders) {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    }
    ASSERT_NE(browserProfile(), nullptr);
    for (const QString& folder : folders)
        EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();
}

class CookieKeepingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(browserProfile(), nullptr);
        m_page = std::make_unique<QWebEnginePage>(browserProfile());
        trackBrowserPage(m_page.get());
    }
    void TearDown() override { m_page.reset(); } // pages go before the profile

    bool load(const QUrl& url) { return kest::test::loadPage(*m_page, url, kWaitMs); }

    std::unique_ptr<QWebEnginePage> m_page;
};

// Host-only cookies stay host-only (a.localhost has a domain of its own, so
// b.a.localhost would get a domain cookie of it), __Host- and __Secure-
// cookies survive, and every attribute the engine reports is as it was.
TEST_F(CookieKeepingTest, EveryCookieComesBackExactlyAsItWas)
{
    const kest::test::TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << "the openssl tool is needed (scripts/setup)";
    CookieServers servers(certificates);
    ASSERT_TRUE(servers.start());
    // The engine has its own trust store; the test's authority is accepted
    // for this page alone, and nothing else is.
    QFile caFile(certificates.authorityFile());
    ASSERT_TRUE(caFile.open(QIODevice::ReadOnly));
    const QSslCertificate authority(caFile.readAll());
    QObject::connect(m_page.get(), &QWebEnginePage::certificateError, m_page.get(),
        [&authority](QWebEngineCertificateError error) {
            const QList<QSslCertificate> chain = error.certificateChain();
            if (!chain.isEmpty()
                && chain.first().issuerInfo(QSslCertificate::CommonName)
                    == authority.subjectInfo(QSslCertificate::CommonName))
                error.acceptCertificate();
            else
                error.rejectCertificate();
        });

    QWebEngineCookieStore* store = browserProfile()->cookieStore();
    std::vector<QNetworkCookie> added;
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, m_page.get(),
        [&added](const QNetworkCookie& cookie) {
            if (cookie.name() != cache::kProbeName)
                added.push_back(cookie);
        });
    ASSERT_TRUE(load(servers.url("http", "a.localhost", "/set-plain")));
    ASSERT_TRUE(load(servers.url("https", "a.localhost", "/set-secure")));
    const auto names = [&added] {
        std::string list;
        for (const QNetworkCookie& cookie : added)
            list += cookie.toRawForm().toStdString() + "\n";
        return list;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return added.size() >= 5; }, kWaitMs)) << names();
    const std::vector<QNetworkCookie> before = added;
    added.clear();

    bool done = false;
    ClearBrowserCache(browserProfile(), m_page.get(), [&] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, kWaitMs));
    // A cookie the engine refused never comes: the checks below name it.
    (void)QTest::qWaitFor([&] { return added.size() >= before.size(); }, kWaitMs);
    for (const QNetworkCookie& cookie : before) {
        EXPECT_TRUE(std::any_of(added.begin(), added.end(),
            [&cookie](const QNetworkCookie& again) { return sameCookie(cookie, again); }))
            << "not put back as it was: " << cookie.toRawForm().toStdString();
    }

    ASSERT_TRUE(load(servers.url("http", "a.localhost", "/probe")));
    ASSERT_TRUE(load(servers.url("http", "b.a.localhost", "/probe")));
    ASSERT_TRUE(load(servers.url("https", "a.localhost", "/probe")));
    // (The engine counts http://*.localhost as a secure context, so Secure
    // cookies go there too: only https shows what a real host would get.)
    EXPECT_EQ(servers.cookiesOf("http", "b.a.localhost", "/probe"), "domain_c=d");
    for (const char* scheme : { "http", "https" }) {
        const std::string sent = servers.cookiesOf(scheme, "a.localhost", "/probe");
        for (const char* expected : { "__Host-h=1", "__Secure-s=2", "host_c=h", "domain_c=d" })
            EXPECT_NE(sent.find(expected), std::string::npos) << expected << " in " << sent;
        EXPECT_EQ(sent.find("path_c"), std::string::npos) << sent;
    }
    // HttpOnly still keeps the page's scripts away from it.
    QString scriptSees;
    bool ran = false;
    m_page->runJavaScript(QStringLiteral("document.cookie"), [&](const QVariant& value) {
        scriptSees = value.toString();
        ran = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, kWaitMs));
    EXPECT_TRUE(scriptSees.contains(QLatin1String("__Secure-s=2"))) << qPrintable(scriptSees);
    EXPECT_FALSE(scriptSees.contains(QLatin1String("__Host-h"))) << qPrintable(scriptSees);
}

} // namespace
