// The cache cleaning on the program's real browser profile: a page from a
// loopback server sets a session cookie and a persistent one and loads a
// script the browser may keep for an hour. After ClearBrowserCache the script
// is fetched again, and that request still carries both cookies.
#include "launcher/browser/BrowserProfile.h"
#include "launcher/browser/CacheMain.h"
#include "tests/support/http_server.h"
#include "tests/support/pageload.h"
#include "tests/support/testenv.h"

#include <QTest>
#include <QWebEngineHistory>
#include <QWebEnginePage>

#include <httplib.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

using namespace kest;

namespace {

constexpr int kWaitMs = 30000; // the engine starts slowly under Xvfb and the sanitizers

// A page that sets a session and a persistent cookie and loads a script the
// browser may keep for an hour; the Cookie header of every script request.
struct CacheServer {
    CacheServer()
    {
        server.get("/page", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "no-store");
            res.set_header("Set-Cookie", "session_c=s1; Path=/");
            res.set_header("Set-Cookie", "persistent_c=p1; Path=/; Max-Age=86400");
            res.set_content("<!doctype html><html><head><script src=\"/cached.js\"></script>"
                            "</head><body>page</body></html>",
                "text/html");
        });
        server.get("/cached.js", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "public, max-age=3600");
            res.set_content("document.title = 'loaded';", "text/javascript");
        });
        server.start();
    }
    QUrl url(const char* path) const { return QUrl(server.url(QLatin1String(path))); }
    std::vector<std::string> scriptCookies() const
    {
        std::vector<std::string> cookies;
        for (const std::string& line : server.log()) {
            if (line.rfind("/cached.js ", 0) == 0)
                cookies.push_back(line.substr(line.find(" Cookie: ") + 9));
        }
        return cookies;
    }

    kest::test::HttpServer server;
};

class CacheClearingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The give-up path of the clearing writes here; the probe must make
        // it unnecessary.
        s_events.emplace();
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_server.server.listening());
        ASSERT_NE(browserProfile(), nullptr);
        m_page = std::make_unique<QWebEnginePage>(browserProfile());
        trackBrowserPage(m_page.get());
    }
    void TearDown() override
    {
        // Pages go before the profile.
        m_page.reset();
    }

    bool load(const QUrl& url) { return kest::test::loadPage(*m_page, url, kWaitMs); }

    static QString eventLog() { return s_events->text(); }

    static std::optional<kest::test::EventLog> s_events;
    CacheServer m_server;
    std::unique_ptr<QWebEnginePage> m_page;
};

std::optional<kest::test::EventLog> CacheClearingTest::s_events;

TEST_F(CacheClearingTest, CachedFilesComeAgainWithEveryCookieAndTheHistoryStays)
{
    ASSERT_TRUE(load(m_server.url("/page?first")));
    ASSERT_EQ(m_server.scriptCookies().size(), 1u);
    // Another page takes the script from the cache: it is cached.
    ASSERT_TRUE(load(m_server.url("/page?second")));
    ASSERT_EQ(m_server.scriptCookies().size(), 1u);
    const int history = m_page->history()->count();

    bool done = false;
    ClearBrowserCache(browserProfile(), m_page.get(), [&] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, kWaitMs));

    ASSERT_TRUE(load(m_server.url("/page?third")));
    const std::vector<std::string> cookies = m_server.scriptCookies();
    ASSERT_EQ(cookies.size(), 2u) << "the cached script was not fetched again";
    EXPECT_NE(cookies.back().find("session_c=s1"), std::string::npos) << cookies.back();
    EXPECT_NE(cookies.back().find("persistent_c=p1"), std::string::npos) << cookies.back();
    EXPECT_EQ(cookies.back().find(cache::kProbeName), std::string::npos) << cookies.back();
    EXPECT_GT(m_page->history()->count(), history);
    // The end was seen, not waited out.
    EXPECT_FALSE(eventLog().contains(QLatin1String("ClearBrowserCache"))) << qPrintable(eventLog());
}

TEST_F(CacheClearingTest, RequestsDuringAClearingJoinItAndAGoneRequesterIsNotCalled)
{
    ASSERT_TRUE(load(m_server.url("/page")));
    int calls = 0;
    auto gone = std::make_unique<QObject>();
    bool goneCalled = false;
    ClearBrowserCache(browserProfile(), m_page.get(), [&] { ++calls; });
    ClearBrowserCache(browserProfile(), gone.get(), [&] { goneCalled = true; });
    ClearBrowserCache(browserProfile(), m_page.get(), [&] { ++calls; });
    gone.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, kWaitMs));
    // Once over, a new request starts a new clearing, which ends as well.
    bool again = false;
    ClearBrowserCache(browserProfile(), m_page.get(), [&] { again = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return again; }, kWaitMs));
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(goneCalled);
    EXPECT_FALSE(eventLog().contains(QLatin1String("ClearBrowserCache"))) << qPrintable(eventLog());
}

} // namespace
