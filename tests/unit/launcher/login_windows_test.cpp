// The two login windows around a real page from a loopback server, on Xvfb
// with openbox: the colour-key mask follows what the page paints, the windows
// load and unload again and again without leaving anything behind, and a
// further account's failed login leaves the main window as it was. (What the
// links do to the windows is in the end-to-end tests.)
#include "launcher/engine/Engine.h"
#include "launcher/login/LoginBgFrm.h"
#include "launcher/login/LoginFrm.h"
#include "launcher/login/LoginPage.h"
#include "launcher/mainwindow/WebMainFrm.h"
#include "launcher/shared/PublicData.h"
#include "tests/support/http_server.h"
#include "tests/support/messageboxes.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMultiHash>
#include <QPointer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <unistd.h>

namespace {

// Page coordinates of the panel; the window shows the page from (7, 52) on.
const QRect kPanel(100, 100, 200, 120);
const QPoint kPageOffset(-7, -52);

class LoginServer {
public:
    LoginServer()
    {
        m_server.get("/pcLogin/", [this](const httplib::Request&, httplib::Response& res) {
            if (m_tooShort) {
                res.set_content("<html><body>maintenance</body></html>", "text/html");
                return;
            }
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
        m_server.get("/game/one", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                "<html><body>game one" + std::string(1600, ' ') + "</body></html>", "text/html");
        });
        m_server.start();
    }
    int port() const { return m_server.port(); }
    // From now on /pcLogin/ answers a page too short to be the login page.
    void failLogins(bool fail) { m_tooShort = fail; }

private:
    kest::test::HttpServer m_server;
    std::atomic<bool> m_tooShort = false;
};

// What is alive in this process and the browser engine's processes it started.
struct Census {
    int windows = 0; // top-level widgets, hidden ones included
    int views = 0;
    int pages = 0;
    int renderers = 0; // the engine's renderer processes
    qint64 pssKb = 0; // this process and every process it started
    // The part of it that is no file's pages: the pages of shared libraries
    // count less whenever another program on the machine maps them too.
    qint64 ownPssKb = 0;
};

QMultiHash<qint64, qint64> childrenByParent()
{
    QMultiHash<qint64, qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toLongLong() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // The fields after the command name, which may hold spaces itself.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields[1].toLongLong(), entry.toLongLong());
    }
    return children;
}

QByteArray readProcFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Census takeCensus()
{
    Census census;
    QList<QObject*> roots { qApp };
    for (QWidget* window : QApplication::topLevelWidgets()) {
        ++census.windows;
        roots << window;
        census.views += int(window->findChildren<QWebEngineView*>().size())
            + (qobject_cast<QWebEngineView*>(window) ? 1 : 0);
    }
    for (QObject* root : roots)
        census.pages += int(root->findChildren<QWebEnginePage*>().size());

    const QMultiHash<qint64, qint64> children = childrenByParent();
    QList<qint64> tree { ::getpid() };
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.values(tree[i]);
    for (const qint64 pid : tree) {
        if (readProcFile(pid, "cmdline").contains("--type=renderer"))
            ++census.renderers;
        QHash<QByteArray, qint64> rollup; // kB by field name
        for (const QByteArray& line : readProcFile(pid, "smaps_rollup").split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() == 3 && words[2] == "kB")
                rollup.insert(words[0], words[1].toLongLong());
        }
        census.pssKb += rollup.value("Pss:");
        census.ownPssKb += rollup.contains("Pss_Anon:")
            ? rollup.value("Pss_Anon:") + rollup.value("Pss_Shmem:")
            : rollup.value("Pss:");
    }
    return census;
}

class LoginWindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_server = new LoginServer;
        s_launcher = new kest::Engine;
    }
    static void TearDownTestSuite()
    {
        delete s_launcher;
        delete s_server;
    }
    void SetUp() override
    {
        qputenv("KEST_LOGIN_HOST", QByteArray("127.0.0.1:") + QByteArray::number(s_server->port()));
    }
    void TearDown() override
    {
        s_launcher->unloadLoginWindows();
        QTest::qWait(100); // the windows go on the next turn of the event loop
    }

    // Loads the windows and waits until the page has arrived and shows.
    kest::LoginFrm* loadAndShow()
    {
        kest::LoginFrm* login = s_launcher->loadLoginWindows();
        EXPECT_TRUE(QTest::qWaitFor([&] { return login->isVisible(); }, 30000));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(login->background()));
        return login;
    }

    static LoginServer* s_server;
    static kest::Engine* s_launcher;
};

LoginServer* LoginWindowsTest::s_server = nullptr;
kest::Engine* LoginWindowsTest::s_launcher = nullptr;

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

TEST_F(LoginWindowsTest, LoadingAndClosingAgainAndAgainLeavesNothingBehind)
{
    constexpr int kCycles = 20;
    // Allocations of the engine's caches and the heap's own fragmentation
    // grow a little at first; a login window left alive costs far more (a
    // page and its renderer process: tens of megabytes).
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer keeps freed memory in a quarantine of up to 256 MB.
    constexpr qint64 kGrowthLimitKb = 320 * 1024;
#else
    constexpr qint64 kGrowthLimitKb = 40 * 1024;
#endif
    // The engine lets go of a page's parts (its render widget, its renderer
    // process) on its own time after the page is deleted.
    const auto settledCensus = [](const Census& target) {
        Census now;
        QTest::qWait(1000);
        [[maybe_unused]] const bool settled = QTest::qWaitFor(
            [&] {
                now = takeCensus();
                return now.windows <= target.windows && now.renderers <= target.renderers;
            },
            10000);
        return now;
    };
    Census afterFirst;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        kest::LoginFrm* login = loadAndShow();
        ASSERT_TRUE(login) << "cycle " << cycle;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return login->mask().contains(kPanel.translated(kPageOffset)); }, 10000))
            << "cycle " << cycle;
        const QPointer<QWidget> background = login->background();
        s_launcher->unloadLoginWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return background.isNull(); }, 10000))
            << "cycle " << cycle;
        if (cycle == 1)
            afterFirst = settledCensus(Census {});
    }
    const Census afterLast = settledCensus(afterFirst);
    EXPECT_EQ(afterLast.windows, afterFirst.windows);
    EXPECT_EQ(afterLast.views, afterFirst.views);
    EXPECT_EQ(afterLast.pages, afterFirst.pages);
    EXPECT_EQ(afterLast.renderers, afterFirst.renderers);
    EXPECT_LT(afterLast.ownPssKb - afterFirst.ownPssKb, kGrowthLimitKb)
        << "PSS without file pages: " << afterFirst.ownPssKb << " kB after the first cycle, "
        << afterLast.ownPssKb << " kB after the last";
    std::printf("login windows: PSS of the process tree %lld kB (%lld kB without file pages) "
                "after cycle 1, %lld kB (%lld kB) after cycle %d\n",
        afterFirst.pssKb, afterFirst.ownPssKb, afterLast.pssKb, afterLast.ownPssKb, kCycles);
}

// Runs last: the main window it loads stays loaded until the program ends.
TEST_F(LoginWindowsTest, FurtherAccountsFailedLoginClosesOnlyTheLoginWindows)
{
    const QString game = QStringLiteral("http://127.0.0.1:%1/game/one").arg(s_server->port());
    s_launcher->openGame(game);
    kest::WebMainFrm& main = s_launcher->mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QList<QWebEngineView*> games = main.findChildren<QWebEngineView*>();
    ASSERT_EQ(games.size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return games.first()->url() == QUrl(game); }, 10000));

    // The message is answered as soon as it shows.
    kest::test::MessageBoxAnswerer boxes;

    s_server->failLogins(true);
    emit main.otherUserRequested(); // the other-account button
    ASSERT_TRUE(s_launcher->loginWindows());
    const bool closed = QTest::qWaitFor([] { return !s_launcher->loginWindows(); }, 30000);
    s_server->failLogins(false);
    ASSERT_TRUE(closed);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, kest::kNoticeTitle.toString());
    EXPECT_EQ(boxes.shown[0].text, kest::kNoConnectionText.toString());
    // The program goes on (this test is still running), and so do its games.
    EXPECT_TRUE(main.isLoaded());
    EXPECT_TRUE(main.isVisible());
    games = main.findChildren<QWebEngineView*>();
    ASSERT_EQ(games.size(), 1);
    EXPECT_EQ(games.first()->url(), QUrl(game));
}

} // namespace

int main(int argc, char* argv[])
{
    kest::LoginPage::registerAppScheme();
    const kest::test::EventLog events;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
