// The two login windows around a real page from a loopback server, on Xvfb
// with openbox: the colour-key mask follows what the page paints. (What the
// links do to the windows is in the end-to-end tests.)
#include "launcher/LoginBgFrm.h"
#include "launcher/LoginFrm.h"
#include "launcher/LoginPage.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

namespace {

// Page coordinates of the panel; the window shows the page from (7, 52) on.
const QRect kPanel(100, 100, 200, 120);
const QPoint kPageOffset(-7, -52);

class LoginServer {
public:
    LoginServer()
    {
        m_server.Get("/pcLogin/", [](const httplib::Request&, httplib::Response& res) {
            // A key-coloured page with one panel, and a spinner that never
            // stops, so that frames keep coming.
            res.set_content(R"(<!DOCTYPE html><html><head><style>
html, body { margin: 0; width: 920px; height: 625px; background: #fefefe; overflow: hidden; }
#panel { position: absolute; left: 100px; top: 100px; width: 200px; height: 120px; background: #1f6fe5; }
#spin { position: absolute; left: 600px; top: 300px; width: 20px; height: 20px; background: #333;
        animation: spin 0.3s linear infinite; }
@keyframes spin { to { transform: rotate(360deg); } }
</style></head><body><div id="panel"></div><div id="spin"></div><!--)"
                    + std::string(1600, 'x') + "--></body></html>",
                "text/html");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~LoginServer()
    {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

class LoginWindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_server = new LoginServer; }
    static void TearDownTestSuite() { delete s_server; }
    void SetUp() override
    {
        qputenv("KEST_LOGIN_HOST", QByteArray("127.0.0.1:") + QByteArray::number(s_server->port()));
    }
    void TearDown() override
    {
        kest::LoginFrm::unload();
        QTest::qWait(100); // the windows go on the next turn of the event loop
    }

    // Loads the windows and waits until the page has arrived and shows.
    kest::LoginFrm* loadAndShow()
    {
        kest::LoginFrm* login = kest::LoginFrm::load();
        EXPECT_TRUE(QTest::qWaitFor([&] { return login->isVisible(); }, 30000));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(login->background()));
        return login;
    }

    static LoginServer* s_server;
};

LoginServer* LoginWindowsTest::s_server = nullptr;

TEST_F(LoginWindowsTest, MaskFollowsThePageWhileItAnimates)
{
    kest::LoginFrm* login = loadAndShow();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->pos(), login->background()->pos());
    const QRect shown = kPanel.translated(kPageOffset);
    ASSERT_TRUE(QTest::qWaitFor([&] { return login->mask().contains(shown); }, 10000));
    // The page's own background and the strips it does not reach are holes.
    EXPECT_FALSE(login->mask().contains(QPoint(50, 50)));
    EXPECT_FALSE(login->mask().contains(QPoint(885, 200)));
    EXPECT_FALSE(login->mask().contains(QPoint(444, 500)));

    // Frames never pause while the spinner turns: the mask still follows.
    login->page()->runJavaScript(QStringLiteral("var p = document.getElementById('panel'); "
                                                "p.style.left = '400px'; p.style.top = '250px';"));
    const QRect moved = QRect(400, 250, 200, 120).translated(kPageOffset);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return login->mask().contains(moved) && !login->mask().contains(shown.center()); },
        10000));
}

} // namespace

int main(int argc, char* argv[])
{
    kest::LoginPage::registerAppScheme();
    QTemporaryDir logDir;
    qputenv("KEST_EVENT_LOG", QFile::encodeName(logDir.filePath(QStringLiteral("events.log"))));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
