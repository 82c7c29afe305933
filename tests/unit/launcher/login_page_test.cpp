// The login page in the real browser engine, served by a loopback HTTP server:
// which navigations are app command links, with which exact text, and when
// the page counts as arrived or as a failed connection.
#include "launcher/login/LoginPage.h"
#include "tests/support/http_server.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>

namespace {

// Long enough to be a login page on its own.
std::string padding()
{
    return "<!--" + std::string(1600, 'x') + "-->";
}

std::string page(const std::string& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title></head><body>" + body
        + padding() + "</body></html>";
}

kest::test::HttpServer* newPageServer()
{
    auto* server = new kest::test::HttpServer;
    server->get("/long", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            page("<a id=\"load\" href=\"app://loadgame|http://127.0.0.1:1/game/"
                 "张三|third\" style=\"display:block;width:200px;height:100px\">"
                 "enter</a>"
                 "<a id=\"both\" href=\"app://loadgame|http://h/g|app://exitgame\">b</a>"
                 "<a id=\"bare\" href=\"app://loadgame\">n</a>"
                 "<a id=\"own\" href=\"app://exitgame\">o</a>"
                 "<script>document.getElementById('own').addEventListener('click',"
                 " function (e) { e.preventDefault(); });</script>"),
            "text/html; charset=utf-8");
    });
    server->get("/next", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(page("next"), "text/html");
    });
    server->get("/short", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body>maintenance</body></html>", "text/html");
    });
    server->get("/error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("<html><body>error</body></html>", "text/html");
    });
    // An error status with a body long enough to pass for the login page.
    server->get("/long-error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content(page("not found"), "text/html; charset=utf-8");
    });
    // A page that tries to hide from the launcher's checks.
    server->get("/hostile", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(page("<script>"
                             "console.debug = function () {};"
                             "Object.defineProperty(Element.prototype, 'innerHTML',"
                             " { get: function () { return ''; } });"
                             "</script>"),
            "text/html");
    });
    server->get("/frame", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(page("<script>setTimeout(function () {"
                             " var f = document.createElement('iframe');"
                             " f.src = 'app://exitgame'; document.body.appendChild(f); }, 0);"
                             "</script>"),
            "text/html");
    });
    server->start();
    return server;
}

class LoginPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_server = newPageServer();
        s_profile = new QWebEngineProfile; // off the record: nothing kept between runs
    }
    static void TearDownTestSuite()
    {
        delete s_profile;
        delete s_server;
    }

    void SetUp() override
    {
        m_page = std::make_unique<kest::LoginPage>(s_profile);
        m_view = std::make_unique<QWebEngineView>();
        m_view->setPage(m_page.get());
        m_view->resize(920, 625);
        m_view->show();
        m_exit = std::make_unique<QSignalSpy>(m_page.get(), &kest::LoginPage::exitGameRequested);
        m_minimize
            = std::make_unique<QSignalSpy>(m_page.get(), &kest::LoginPage::minimizeRequested);
        m_load = std::make_unique<QSignalSpy>(m_page.get(), &kest::LoginPage::loadGameRequested);
        m_arrived = std::make_unique<QSignalSpy>(m_page.get(), &kest::LoginPage::loginPageArrived);
        m_failed = std::make_unique<QSignalSpy>(m_page.get(), &kest::LoginPage::connectionFailed);
    }
    void TearDown() override
    {
        m_exit.reset();
        m_minimize.reset();
        m_load.reset();
        m_arrived.reset();
        m_failed.reset();
        m_view.reset();
        m_page.reset();
    }

    // Loads `path` and waits for the page's verdict.
    void open(const char* path)
    {
        m_page->load(url(path));
        QTRY_VERIFY_WITH_TIMEOUT(m_arrived->count() + m_failed->count() > 0, 20000);
    }

    static QUrl url(const char* path) { return QUrl(s_server->url(QLatin1String(path))); }
    void run(const QString& script) { m_page->runJavaScript(script); }

    static kest::test::HttpServer* s_server;
    static QWebEngineProfile* s_profile;
    std::unique_ptr<kest::LoginPage> m_page;
    std::unique_ptr<QWebEngineView> m_view;
    std::unique_ptr<QSignalSpy> m_exit, m_minimize, m_load, m_arrived, m_failed;
};

kest::test::HttpServer* LoginPageTest::s_server = nullptr;
QWebEngineProfile* LoginPageTest::s_profile = nullptr;

TEST_F(LoginPageTest, ScriptAssignmentKeepsTheExactAddress)
{
    open("/long");
    ASSERT_EQ(m_arrived->count(), 1);
    run(QStringLiteral("location.href = 'app://loadgame|http://127.0.0.1:1/Game/%7C?a=1&b=2|x'"));
    QTRY_COMPARE_WITH_TIMEOUT(m_load->count(), 1, 10000);
    EXPECT_EQ(
        m_load->at(0).at(0).toString(), QStringLiteral("http://127.0.0.1:1/Game/%7C?a=1&b=2"));
    EXPECT_EQ(m_page->url(), url("/long")); // the navigation was cancelled
}

TEST_F(LoginPageTest, ClickedAnchorGivesItsSecondFieldAsWritten)
{
    open("/long");
    // A real click of the pointer on the anchor, at its place in the view.
    QWidget* renderer = m_view->focusProxy();
    ASSERT_NE(renderer, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(renderer->isVisible(), 10000);
    QTest::qWait(300); // the first frame has to be laid out before input lands on it
    QTest::mouseClick(renderer, Qt::LeftButton, {}, QPoint(40, 40));
    QTRY_COMPARE_WITH_TIMEOUT(m_load->count(), 1, 10000);
    EXPECT_EQ(m_load->at(0).at(0).toString(), QStringLiteral("http://127.0.0.1:1/game/张三"));
    EXPECT_EQ(m_exit->count() + m_minimize->count(), 0);
}

TEST_F(LoginPageTest, ExitWinsOverLoadAndMinimizeKeepsThePage)
{
    open("/long");
    run(QStringLiteral("document.getElementById('both').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(m_exit->count(), 1, 10000);
    // In capitals the scheme and host name the same address.
    run(QStringLiteral("location.assign('APP://Minimize')"));
    QTRY_COMPARE_WITH_TIMEOUT(m_minimize->count(), 1, 10000);
    EXPECT_EQ(m_load->count(), 0);
    EXPECT_EQ(m_page->url(), url("/long"));
}

TEST_F(LoginPageTest, LinksThePageDoesNotFollowAreNotCarriedOut)
{
    open("/long");
    // The page cancels this anchor's click itself; then a loadgame without an
    // address, and one whose address is no web address.
    run(QStringLiteral("document.getElementById('own').click();"
                       "document.getElementById('bare').click();"
                       "location.href = 'app://loadgame|file:///etc/passwd';"));
    // An ordinary navigation afterwards proceeds, and shows that the events above were handled.
    run(QStringLiteral("setTimeout(function () { location.href = '/next'; }, 200)"));
    QTRY_COMPARE_WITH_TIMEOUT(m_page->url(), url("/next"), 10000);
    EXPECT_EQ(m_exit->count(), 0);
    EXPECT_EQ(m_minimize->count(), 0);
    EXPECT_EQ(m_load->count(), 0);

    const QString events = kest::test::readText(qEnvironmentVariable("KEST_EVENT_LOG"));
    EXPECT_TRUE(events.contains(
        QLatin1String("loadgame link without a game address, ignored: app://loadgame")));
    EXPECT_TRUE(events.contains(
        QLatin1String("not a web address, ignored: app://loadgame|file:///etc/passwd")));
}

TEST_F(LoginPageTest, HostilePageCannotHideLinksOrItsLength)
{
    open("/hostile");
    EXPECT_EQ(m_arrived->count(), 1);
    EXPECT_EQ(m_failed->count(), 0);
    run(QStringLiteral("location.href = 'app://exitgame'"));
    QTRY_COMPARE_WITH_TIMEOUT(m_exit->count(), 1, 10000);
}

TEST_F(LoginPageTest, FrameOpeningAnAppLinkIsCaughtToo)
{
    open("/frame");
    QTRY_COMPARE_WITH_TIMEOUT(m_exit->count(), 1, 10000);
}

TEST_F(LoginPageTest, PagesThatAreNoLoginPageFail)
{
    const std::pair<const char*, const char*> cases[] = {
        { "/short", "too short" },
        { "/error", "HTTP status 500" },
        { "/long-error", "HTTP status 404" },
    };
    for (const auto& [path, reason] : cases) {
        m_arrived->clear();
        m_failed->clear();
        open(path);
        EXPECT_EQ(m_arrived->count(), 0) << path;
        ASSERT_EQ(m_failed->count(), 1) << path;
        EXPECT_TRUE(m_failed->at(0).at(0).toString().contains(QLatin1String(reason)))
            << path << ": " << m_failed->at(0).at(0).toString().toStdString();
    }

    // Nothing listens there: no document arrives at all.
    m_failed->clear();
    m_page->load(QUrl(QStringLiteral("http://127.0.0.1:%1/pcLogin/").arg(kest::test::freePort())));
    QTRY_COMPARE_WITH_TIMEOUT(m_failed->count(), 1, 20000);
    EXPECT_EQ(m_arrived->count(), 0);
}

} // namespace

int main(int argc, char* argv[])
{
    // The scheme has to be known before the application object exists.
    kest::LoginPage::registerAppScheme();
    const kest::test::EventLog events;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
