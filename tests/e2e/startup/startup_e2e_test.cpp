// The launcher from process start to the hand-over of a game address: the real
// program against the real demo platform, on Xvfb with openbox, driven through
// X like a player. Screenshots land in the test's artefact folder.
#include "platform/deploy.h"
#include "tests/support/demo_server.h"
#include "tests/support/launcher_process.h"
#include "tests/support/launcherfiles.h"
#include "tests/support/proxy_servers.h"
#include "tests/support/testenv.h"
#include "tests/support/x11tools.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

using namespace kest::test;

constexpr int kStartMs = 60000; // engine start under the sanitizers included
const QSize kSplashSize(356, 122);
const QSize kLoginSize(888, 518);
const QString kCaption = QStringLiteral("ZantivoTervolk客户端");
const QString kNoticeTitle = QStringLiteral("提示");

// Places on the login windows, in window coordinates, from the demo login
// page's layout (its #stage starts at the window's top-left corner).
const QPoint kMinimizeButton(821, 24);
const QPoint kCloseButton(854, 24);
const QPoint kKeyColouredPage(100, 100); // the page's own background there
const QPoint kCardBody(280, 250); // inside the login card, left of the fields
constexpr QRgb kCardColour = 0xFAFCFF; // the card's surface
const QPoint kBelowThePage(444, 500); // the strip no page covers
const QPoint kRightOfThePage(884, 200);
// Key colour on the page and a transparent corner of the artwork: a hole
// through both windows.
const QPoint kThroughBoth(1, 1);
const QPoint kAliceButton(332, 360); // a demo account: signs in, then shows the enter link
const QPoint kEnterLink(440, 321); // "app://loadgame|<game>", shown after signing in
constexpr QRgb kEnterLinkColour = 0x1F6FE5;

QString artifact(const QString& name)
{
    return kest::test::artifactDir(QStringLiteral("startup_e2e")) + QLatin1Char('/') + name;
}

QImage picture(int id)
{
    return QImage(kest::test::sourceDir() + QStringLiteral("/resources/kest/PNG/%1.png").arg(id))
        .convertToFormat(QImage::Format_ARGB32);
}

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

QPoint centredAt(QSize size)
{
    const QRect screen = screenRect();
    return { (screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2 };
}

QList<XWindow> windowsSized(const Launcher& launcher, QSize size)
{
    return kest::test::windowsSized(launcher.pid(), size);
}

QRgb rgbAt(const QImage& image, QPoint at)
{
    return image.pixel(at) & 0xFFFFFF;
}

// A window of the test's own, to lie under the launcher's windows: it keeps
// the presses that reach it. It stays below, or the window manager would
// raise it over the login windows when it is clicked.
class PressRecorder final : public QWidget {
public:
    static constexpr QRgb kColour = 0x306040;
    explicit PressRecorder(const QRect& geometry)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint)
    {
        setGeometry(geometry);
        QPalette colour = palette();
        colour.setColor(QPalette::Window, QColor::fromRgb(kColour));
        setPalette(colour);
        setAutoFillBackground(true);
    }
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        presses << event->globalPosition().toPoint();
    }
};

class StartupTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_launcher) {
            // A launcher still running ends cleanly on SIGTERM, whatever it shows.
            if (!m_launcher->waitForExit(0)) {
                m_launcher->stop();
                EXPECT_EQ(m_launcher->exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(m_launcher->exitCode(), 0);
            }
            expectNoSanitizerReport();
        }
        if (HasFailure() && m_launcher) {
            std::printf("--- launcher output\n%s--- event log\n%s",
                qPrintable(m_launcher->output()), qPrintable(m_launcher->eventLog()));
        }
        m_launcher.reset();
        m_demo.reset();
    }

    // A sanitizer report ends the launcher with a status of its own, which an
    // expected status of 1 would hide.
    void expectNoSanitizerReport()
    {
        const QString errors = launcher().errorOutput();
        EXPECT_FALSE(errors.contains(QLatin1String("Sanitizer"))) << qPrintable(errors);
        EXPECT_FALSE(errors.contains(QLatin1String("runtime error:"))) << qPrintable(errors);
    }

    void startDemo(const QStringList& arguments = {})
    {
        m_demo = std::make_unique<DemoServer>(arguments);
        ASSERT_TRUE(m_demo->isRunning());
    }

    Launcher& launcher()
    {
        if (!m_launcher)
            m_launcher = std::make_unique<Launcher>();
        return *m_launcher;
    }

    void startLauncher(const QStringList& arguments = {}, const QStringList& wrapper = {})
    {
        if (m_demo)
            launcher().useHost(m_demo->host());
        ASSERT_TRUE(launcher().start(arguments, wrapper));
    }

    // Both login windows shown, on top of each other, the splash gone; the
    // background window first.
    QList<XWindow> waitForLoginWindows()
    {
        QList<XWindow> login;
        const bool shown = QTest::qWaitFor(
            [&] {
                login = windowsSized(launcher(), kLoginSize);
                return login.size() == 2 && windowsSized(launcher(), kSplashSize).isEmpty();
            },
            kStartMs);
        EXPECT_TRUE(shown);
        return login;
    }

    // Waits until the login card shows at its place in the window at `origin`.
    QImage waitForPage(QPoint origin)
    {
        QImage screen;
        const bool painted = QTest::qWaitFor(
            [&] {
                screen = screenshot();
                return rgbAt(screen, origin + kCardBody) == kCardColour;
            },
            kStartMs);
        EXPECT_TRUE(painted) << "the login page never showed through its window";
        return screen;
    }

    // The screen shows the background artwork at these places of the window,
    // where the page paints the key colour or does not reach.
    void expectArtworkShowsThrough(const QImage& screen, QPoint origin)
    {
        const QImage artwork = picture(101);
        for (const QPoint at : { kKeyColouredPage, kBelowThePage, kRightOfThePage }) {
            ASSERT_EQ(qAlpha(artwork.pixel(at)), 255) << "pick an opaque point of the artwork";
            EXPECT_EQ(rgbAt(screen, origin + at), rgbAt(artwork, at))
                << "at " << at.x() << "," << at.y();
        }
        EXPECT_EQ(rgbAt(screen, origin + kCardBody), kCardColour);
    }

    // The login windows close and the main window gets the game address: it
    // asks the demo platform for the game page with the cookies of the login.
    // A demo account signs in on the login page of the windows at `origin`;
    // its enter link hands the game address over. False when the link never
    // showed.
    bool enterAsAlice(QPoint origin)
    {
        clickAt(origin + kAliceButton);
        if (!QTest::qWaitFor(
                [&] { return rgbAt(screenshot(), origin + kEnterLink) == kEnterLinkColour; },
                20000))
            return false;
        clickAt(origin + kEnterLink);
        return true;
    }

    void expectHandOver(const QString& account)
    {
        const QString line
            = QStringLiteral("loadgame: http://%1/game/%2").arg(m_demo->host(), account);
        EXPECT_TRUE(QTest::qWaitFor([&] { return launcher().eventLog().contains(line); }, 20000))
            << qPrintable(launcher().eventLog());
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return windowsSized(launcher(), kLoginSize).isEmpty(); }, 10000));
        const QRegularExpression gamePage(
            QStringLiteral("GET /game/%1 Cookie: .*kest_session=").arg(account));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return gamePage.match(m_demo->logText()).hasMatch(); }, kStartMs))
            << qPrintable(m_demo->logText());
        QTest::qWait(1000);
        screenshot(artifact(QStringLiteral("main-window-%1.png").arg(account)));
    }

    // The no-connection message is up (and nothing else of the launcher's
    // but what `alsoVisible` allows); answering it ends the launcher with 1.
    // Waits for the plain notice, screenshots it, answers it with Return and
    // expects the launcher to end with `exitCode`; nothing but the notice and
    // a window of `alsoVisible` size may show, the login windows never.
    void answerNotice(const QString& screenshotName, QSize alsoVisible, int exitCode)
    {
        QList<XWindow> notice;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !(notice = visibleWindowsNamed(kNoticeTitle)).isEmpty(); }, kStartMs));
        screenshot(artifact(screenshotName));
        for (const XWindow& window : visibleWindowsOf(launcher().pid())) {
            if (window.name != kNoticeTitle) {
                EXPECT_EQ(window.geometry.size(), alsoVisible) << qPrintable(window.name);
            }
        }
        EXPECT_TRUE(windowsSized(launcher(), kLoginSize).isEmpty());
        activateWindow(notice.first().id);
        pressKey(QStringLiteral("Return"));
        ASSERT_TRUE(launcher().waitForExit(20000));
        EXPECT_EQ(launcher().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(launcher().exitCode(), exitCode);
    }

    void answerNoConnectionMessage(const QString& screenshotName, QSize alsoVisible = {})
    {
        answerNotice(screenshotName, alsoVisible, 1);
    }

    std::unique_ptr<DemoServer> m_demo;
    std::unique_ptr<Launcher> m_launcher;
};

TEST_F(StartupTest, SplashStaysCentredAndShapedWhileTheLoginPageLoads)
{
    startDemo({ QStringLiteral("--login-mode"), QStringLiteral("slow") });
    startLauncher();
    QList<XWindow> splash;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !(splash = windowsSized(launcher(), kSplashSize)).isEmpty(); }, kStartMs));
    EXPECT_EQ(splash.first().geometry.topLeft(), centredAt(kSplashSize));
    EXPECT_EQ(splash.first().name, kCaption);

    // The page never completes: the splash stays, the login windows stay hidden.
    QTest::qWait(3000);
    ASSERT_EQ(windowsSized(launcher(), kSplashSize).size(), 1);
    EXPECT_TRUE(windowsSized(launcher(), kLoginSize).isEmpty());

    const QImage screen = screenshot(artifact(QStringLiteral("splash.png")));
    const QImage art = picture(102);
    const QPoint origin = splash.first().geometry.topLeft();
    int holes = 0;
    int opaque = 0;
    for (int y = 0; y < art.height(); y += 3) {
        for (int x = 0; x < art.width(); x += 3) {
            const int alpha = qAlpha(art.pixel(x, y));
            if (alpha == 0) {
                ++holes;
                // The root window is black under Xvfb: a hole shows it.
                EXPECT_EQ(rgbAt(screen, origin + QPoint(x, y)), 0u) << x << "," << y;
            } else if (alpha == 255) {
                ++opaque;
                EXPECT_EQ(rgbAt(screen, origin + QPoint(x, y)), rgbAt(art, QPoint(x, y)))
                    << x << "," << y;
            }
        }
    }
    EXPECT_GT(holes, 0);
    EXPECT_GT(opaque, 0);
}

TEST_F(StartupTest, LoginWindowsShowThePageOverTheArtworkAndTheFormHandsTheAddressOver)
{
    startDemo();
    startLauncher();
    const QList<XWindow> login = waitForLoginWindows();
    ASSERT_EQ(login.size(), 2);
    EXPECT_EQ(login[0].geometry, login[1].geometry);
    EXPECT_EQ(login[0].geometry.topLeft(), centredAt(kLoginSize));
    const QPoint origin = login[0].geometry.topLeft();

    const QImage screen = waitForPage(origin);
    screenshot(artifact(QStringLiteral("login.png")));
    expectArtworkShowsThrough(screen, origin);

    // The account field has the keyboard.
    typeText(QStringLiteral("tester"));
    pressKey(QStringLiteral("Return"));
    expectHandOver(QStringLiteral("tester"));
    EXPECT_TRUE(m_demo->logText().contains(QLatin1String("POST /pcLogin/login")));
    // The engine library is loaded after the application object: the
    // program asked for the contexts the engine shares before making it.
    EXPECT_FALSE(launcher().eventLog().contains(QLatin1String("initialized from a plugin")))
        << qPrintable(launcher().eventLog());
}

// The login page, the game page and the update check all through a real
// proxy that the player's environment names. The demo platform is on
// loopback, which both network stacks reach directly on their own (as the
// browser engine always does); the test alone adds the engine's
// "<-loopback>" bypass rule, which the launcher honours for its downloads
// too, so that loopback counts as any other host.
TEST_F(StartupTest, PagesAndTheUpdateCheckGoThroughTheProxy)
{
    kest::test::TinyProxy proxy;
    ASSERT_TRUE(proxy.start()) << qPrintable(proxy.error());
    startDemo();
    QProcessEnvironment& env = launcher().environment();
    for (const char* name : { "no_proxy", "NO_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
             "ALL_PROXY", "HTTP_PROXY" })
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("http_proxy"), proxy.url());
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
        env.value(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"))
            + QStringLiteral(" --proxy-bypass-list=<-loopback>"));
    startLauncher();
    const QList<XWindow> login = waitForLoginWindows();
    ASSERT_EQ(login.size(), 2);
    waitForPage(login[0].geometry.topLeft());
    typeText(QStringLiteral("tester"));
    pressKey(QStringLiteral("Return"));
    expectHandOver(QStringLiteral("tester"));

    proxy.keepLog(artifact(QStringLiteral("tinyproxy.log")));
    const QString platform = QStringLiteral("http://") + m_demo->host();
    for (const QString& path : { QStringLiteral("/gamehome/kest/update.txt"),
             QStringLiteral("/pcLogin/"), QStringLiteral("/game/tester") }) {
        EXPECT_TRUE(proxy.forwarded(platform + path))
            << qPrintable(path) << " not through the proxy:\n"
            << proxy.requests().join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_TRUE(launcher().eventLog().contains(
        QStringLiteral("proxy: pages: --proxy-server=%1 --proxy-bypass-list=<-loopback>")
            .arg(proxy.url())))
        << qPrintable(launcher().eventLog());
}

TEST_F(StartupTest, MinimizeLinkHidesBothWindowsAndExitLinkEnds)
{
    startDemo();
    startLauncher();
    const QList<XWindow> login = waitForLoginWindows();
    ASSERT_EQ(login.size(), 2);
    const QPoint origin = login[0].geometry.topLeft();
    waitForPage(origin);

    clickAt(origin + kMinimizeButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return visibleWindowsOf(launcher().pid()).isEmpty(); }, 10000));
    int iconic = 0;
    for (const XWindow& window : login)
        iconic += isIconic(window.id) ? 1 : 0;
    EXPECT_GE(iconic, 1);

    // Back through the window manager, as from a taskbar: both come back, aligned.
    for (const XWindow& window : login)
        xdotool({ QStringLiteral("windowactivate"), window.id });
    QList<XWindow> back;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (back = windowsSized(launcher(), kLoginSize)).size() == 2; }, 10000));
    EXPECT_EQ(back[0].geometry, login[0].geometry);
    EXPECT_EQ(back[1].geometry, login[0].geometry);
    expectArtworkShowsThrough(waitForPage(origin), origin);

    clickAt(origin + kCloseButton);
    ASSERT_TRUE(launcher().waitForExit(20000));
    EXPECT_EQ(launcher().exitCode(), 0);
    EXPECT_FALSE(launcher().eventLog().contains(QLatin1String("loadgame")));
}

TEST_F(StartupTest, DraggingTheArtworkMovesBothWindowsAndThePageHasNoMenu)
{
    startDemo();
    startLauncher();
    const QList<XWindow> login = waitForLoginWindows();
    ASSERT_EQ(login.size(), 2);
    const QPoint origin = login[0].geometry.topLeft();
    waitForPage(origin);

    // Right button on the page: no menu window appears.
    clickAt(origin + kCardBody, 3);
    QTest::qWait(800);
    EXPECT_EQ(visibleWindowsOf(launcher().pid()).size(), 2);

    // The strip below the page belongs to the background window.
    const QPoint moveBy(-150, 90);
    dragFrom(origin + kBelowThePage, origin + kBelowThePage + moveBy);
    QList<XWindow> moved;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            moved = windowsSized(launcher(), kLoginSize);
            return moved.size() == 2 && moved[0].geometry.topLeft() == origin + moveBy
                && moved[1].geometry.topLeft() == origin + moveBy;
        },
        10000))
        << "windows at " << (moved.isEmpty() ? 0 : moved[0].geometry.x()) << ","
        << (moved.isEmpty() ? 0 : moved[0].geometry.y());
    const QImage screen = screenshot(artifact(QStringLiteral("login-dragged.png")));
    expectArtworkShowsThrough(screen, origin + moveBy);

    // A press where the page paints the key colour reaches the artwork below
    // it, which drags both windows back.
    dragFrom(origin + moveBy + kKeyColouredPage, origin + kKeyColouredPage);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            moved = windowsSized(launcher(), kLoginSize);
            return moved.size() == 2 && moved[0].geometry.topLeft() == origin
                && moved[1].geometry.topLeft() == origin;
        },
        10000));

    // Closing from the window manager (Alt+F4 on the focused window) closes both.
    activateWindow(moved[0].id);
    pressKey(QStringLiteral("alt+F4"));
    ASSERT_TRUE(launcher().waitForExit(20000));
    EXPECT_EQ(launcher().exitCode(), 0);
}

TEST_F(StartupTest, KeyColourLetsClicksThroughAndTheFormTakesItsOwn)
{
    // The login windows will be centred over this window.
    PressRecorder below(QRect(centredAt(kLoginSize) - QPoint(40, 40), kLoginSize + QSize(80, 80)));
    below.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&below));
    startDemo();
    startLauncher();
    const QList<XWindow> login = waitForLoginWindows();
    ASSERT_EQ(login.size(), 2);
    const QPoint origin = login[0].geometry.topLeft();
    const QImage screen = waitForPage(origin);
    ASSERT_EQ(rgbAt(screen, origin + kThroughBoth), PressRecorder::kColour)
        << "the test's window should show through both login windows there";

    clickAt(origin + kThroughBoth);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !below.presses.isEmpty(); }, 10000));
    EXPECT_EQ(below.presses, QList<QPoint> { origin + kThroughBoth });

    // The page's own pixels take the pointer: a demo account signs in, and the
    // enter link it shows hands its exact address over when clicked.
    clickAt(origin + kAliceButton);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return m_demo->logText().contains(QLatin1String("POST /pcLogin/login")); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rgbAt(screenshot(), origin + kEnterLink) == kEnterLinkColour; }, 20000));
    screenshot(artifact(QStringLiteral("login-signed-in.png")));
    clickAt(origin + kEnterLink);
    expectHandOver(QStringLiteral("alice"));
    EXPECT_EQ(below.presses.size(), 1);
}

// Login pages as platforms serve them, each shown and clicked through like a
// player would: the page's colours at its opaque elements, a click through a
// key-coloured pixel to the window below, a click on the page's close link.
// Under a compositing manager (KEST_TEST_COMPOSITED, see with-x11) the same
// checks run with real window transparency.
struct CorpusPage {
    const char* name;
    const char* file; // under pages/; nullptr: the demo platform's animated page
    int delayMs; // the login server answers this late
    QPoint opaque; // window coordinates of a pixel only the page paints...
    QRgb colour; // ...in this colour
    QPoint hover; // (0, 0): none; else the pointer there turns it...
    QRgb hoverColour; // ...this colour
    QPoint exitLink; // "app://exitgame"
};

TEST_F(StartupTest, LoginCorpusShowsEveryPageAndTakesItsClicks)
{
    const QPoint loginButton(320, 260);
    const QPoint exitButton(849, 23);
    const CorpusPage pages[] = {
        { "static", "static.html", 0, loginButton, 0xE05020, {}, 0, exitButton },
        { "hover", "hover.html", 0, loginButton, 0xE05020, loginButton, 0x30C060, exitButton },
        // Its close link and the panel's new place show two seconds after load.
        { "layout-later", "layout-later.html", 0, exitButton, 0xC03030, {}, 0, exitButton },
        { "late-server", "static.html", 3000, loginButton, 0xE05020, {}, 0, exitButton },
        { "demo-animated", nullptr, 0, kCardBody, kCardColour, {}, 0, kCloseButton },
    };
    const bool composited = qEnvironmentVariableIsSet("KEST_TEST_COMPOSITED");
    for (const CorpusPage& page : pages) {
        SCOPED_TRACE(page.name);
        PressRecorder below(
            QRect(centredAt(kLoginSize) - QPoint(40, 40), kLoginSize + QSize(80, 80)));
        below.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&below));
        QStringList demoArguments;
        if (page.file) {
            demoArguments << QStringLiteral("--login-page")
                          << kest::test::sourceDir() + QStringLiteral("/tests/e2e/startup/pages/")
                    + QLatin1String(page.file);
        }
        demoArguments << QStringLiteral("--login-delay") << QString::number(page.delayMs);
        startDemo(demoArguments);
        startLauncher();
        const QList<XWindow> login = waitForLoginWindows();
        ASSERT_EQ(login.size(), 2);
        const QPoint origin = login[0].geometry.topLeft();

        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return rgbAt(screenshot(), origin + page.opaque) == page.colour; }, 20000))
            << "the page never showed through its window";
        QTest::qWait(500); // what the player sees once the page has settled
        screenshot(artifact(QStringLiteral("corpus-%1%2.png")
                                .arg(QLatin1String(page.name),
                                    composited ? QStringLiteral("-composited") : QString())));
        if (!page.hover.isNull()) {
            xdotool({ QStringLiteral("mousemove"), QString::number(origin.x() + page.hover.x()),
                QString::number(origin.y() + page.hover.y()) });
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return rgbAt(screenshot(), origin + page.hover) == page.hoverColour; },
                10000))
                << "the page's change under the pointer never showed";
        }

        EXPECT_EQ(rgbAt(screenshot(), origin + kThroughBoth), PressRecorder::kColour)
            << "the test's window should show through both login windows there";
        clickAt(origin + kThroughBoth);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !below.presses.isEmpty(); }, 10000));

        clickAt(origin + page.exitLink);
        EXPECT_TRUE(launcher().waitForExit(20000)) << "the page's close link did nothing";
        EXPECT_EQ(launcher().exitCode(), 0);
        expectNoSanitizerReport();
        m_launcher.reset();
        m_demo.reset();
    }
}

TEST_F(StartupTest, WhileTheSplashWaitsTermAndWindowManagerCloseEndCleanly)
{
    startDemo({ QStringLiteral("--login-mode"), QStringLiteral("slow") });
    for (const bool bySignal : { true, false }) {
        SCOPED_TRACE(bySignal ? "SIGTERM" : "window manager close");
        const qsizetype requestsBefore = m_demo->logText().count(QLatin1String("GET /pcLogin/"));
        startLauncher();
        QList<XWindow> splash;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !(splash = windowsSized(launcher(), kSplashSize)).isEmpty(); }, kStartMs));
        // The browser engine runs and the login page is on its (endless) way.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return m_demo->logText().count(QLatin1String("GET /pcLogin/")) > requestsBefore;
            },
            kStartMs));
        const QList<qint64> helpers = descendantsOf(launcher().pid());
        EXPECT_FALSE(helpers.isEmpty()) << "the browser engine's processes";

        if (bySignal)
            ASSERT_EQ(::kill(static_cast<pid_t>(launcher().pid()), SIGTERM), 0);
        else
            ASSERT_TRUE(sendWindowManagerClose(splash.first().id));
        ASSERT_TRUE(launcher().waitForExit(20000));
        EXPECT_EQ(launcher().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(launcher().exitCode(), 0);
        EXPECT_EQ(launcher().eventLog().contains(QLatin1String("termination signal")), bySignal);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return std::none_of(helpers.begin(), helpers.end(), &processExists); }, 10000))
            << "the engine's processes outlived the launcher";
        expectNoSanitizerReport();
        m_launcher.reset();
    }
}

TEST_F(StartupTest, WithoutConnectionOnlyTheMessageShows)
{
    if (QProcess::execute(
            QStringLiteral("unshare"), { QStringLiteral("-n"), QStringLiteral("true") })
        != 0)
        GTEST_SKIP() << "cannot make a network namespace here (unshare -n needs privileges)";
    // In a network namespace of its own the launcher sees no interface but a
    // loopback that is down; X and the session bus are reached by their sockets.
    launcher().environment().insert(
        QStringLiteral("KEST_CONNECTION_RULE"), QStringLiteral("interfaces"));
    startLauncher({}, { QStringLiteral("unshare"), QStringLiteral("-n") });
    answerNoConnectionMessage(QStringLiteral("no-connection.png"));
    EXPECT_TRUE(launcher().eventLog().contains(QLatin1String("no network connection")));
}

TEST_F(StartupTest, WebSwitchOpensTheHomePageAndShowsNothing)
{
    startDemo();
    launcher().installRecordingBrowser();
    // The player's own settings, which the browser gets back: kest itself
    // runs on xcb and adds an engine flag.
    launcher().environment().remove(QStringLiteral("QT_QPA_PLATFORM"));
    launcher().environment().insert(
        QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--players-own-flag"));
    startLauncher({ QStringLiteral("/web") });
    bool windowSeen = false;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            windowSeen = windowSeen || !visibleWindowsOf(launcher().pid()).isEmpty();
            return launcher().waitForExit(0);
        },
        kStartMs));
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(launcher().exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !launcher().openedAddresses().isEmpty(); }, 10000));
    EXPECT_EQ(launcher().openedAddresses(), QStringLiteral("http://%1/\n").arg(m_demo->host()));
    EXPECT_EQ(launcher().browserEnvironment(),
        QStringLiteral("QT_QPA_PLATFORM=(unset)\nQTWEBENGINE_CHROMIUM_FLAGS=--players-own-flag\n"));
    EXPECT_FALSE(m_demo->logText().contains(QLatin1String("/pcLogin/")));
    // The update check comes first: its manifest is asked for before the
    // browser fetches the home page.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_demo->logText().contains(QLatin1String("GET / ")); }, 10000));
    const QString log = m_demo->logText();
    const qsizetype manifest = log.indexOf(QLatin1String("GET /gamehome/kest/update.txt "));
    EXPECT_GE(manifest, 0) << qPrintable(log);
    EXPECT_GT(log.indexOf(QLatin1String("GET / ")), manifest) << qPrintable(log);
}

// A later start hands its command text to the running kest and ends with 0,
// before its own start-up: no connection test, no manifest, no window.
// The running one brings its login windows back, opens the home page, keeps
// a game address for after the login, and opens one in its main window.
TEST_F(StartupTest, LaterStartsHandTheirCommandToTheFirst)
{
    startDemo();
    launcher().installRecordingBrowser();
    startLauncher();
    const QList<XWindow> login = waitForLoginWindows();
    ASSERT_EQ(login.size(), 2);
    waitForPage(login[0].geometry.topLeft());
    const auto game = [&](const QString& account) {
        return QStringLiteral("http://%1/game/%2").arg(m_demo->host(), account);
    };
    const auto startLater = [&](const QStringList& arguments) {
        Launcher later;
        later.useHost(m_demo->host());
        ASSERT_TRUE(later.start(arguments));
        bool windowSeen = false;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                windowSeen = windowSeen || !visibleWindowsOf(later.pid()).isEmpty();
                return later.waitForExit(0);
            },
            kStartMs));
        EXPECT_FALSE(windowSeen);
        EXPECT_EQ(later.exitCode(), 0) << qPrintable(later.eventLog());
        EXPECT_TRUE(later.eventLog().contains(QLatin1String("handed over to the running kest")))
            << qPrintable(later.eventLog());
    };

    clickAt(login[0].geometry.topLeft() + kMinimizeButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isIconic(login[0].id); }, 10000));
    startLater({});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !isIconic(login[0].id); }, 10000));
    startLater({ QStringLiteral("/web") });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !launcher().openedAddresses().isEmpty(); }, 10000));
    EXPECT_EQ(launcher().openedAddresses(), QStringLiteral("http://%1/\n").arg(m_demo->host()));
    startLater({ game(QStringLiteral("linked")) });
    screenshot(artifact(QStringLiteral("later-start-login.png")));

    // After the login, the page asked for before it opens too; then one
    // asked for while the main window is up.
    ASSERT_TRUE(enterAsAlice(login[0].geometry.topLeft()));
    expectHandOver(QStringLiteral("alice"));
    const auto requested = [&](const QString& account) {
        return QTest::qWaitFor(
            [&] { return m_demo->logText().contains(QStringLiteral("GET /game/") + account); },
            kStartMs);
    };
    EXPECT_TRUE(requested(QStringLiteral("linked")));
    startLater({ game(QStringLiteral("later")) });
    EXPECT_TRUE(requested(QStringLiteral("later")));
    screenshot(artifact(QStringLiteral("later-start-main-window.png")));
    EXPECT_EQ(m_demo->logText().count(QLatin1String("GET /gamehome/kest/update.txt")), 1);
}

// The name held by a program that is not kest: the start goes on alone.
TEST_F(StartupTest, ANameHeldByAnotherProgramDoesNotStopTheStart)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.kest.Client")));
    startDemo();
    startLauncher();
    EXPECT_EQ(waitForLoginWindows().size(), 2);
    EXPECT_TRUE(
        launcher().eventLog().contains(QLatin1String("is held by a program that is not kest")))
        << qPrintable(launcher().eventLog());
    bus.unregisterService(QStringLiteral("org.kest.Client"));
}

// A link topic call while kest is not running starts it through bus
// activation (a session bus of the test's own with a service file like the
// package's); the call is answered, and its page opens after the login.
TEST_F(StartupTest, BusActivationStartsKestForALinkTopicCall)
{
    startDemo();
    QTemporaryDir dir;
    const QString bus = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("bus"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("services"))));
    QStringList environment { QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + bus,
        QStringLiteral("KEST_EVENT_LOG=") + dir.filePath(QStringLiteral("events.log")) };
    for (const char* name : { "KEST_LOGIN_HOST", "KEST_HOME_HOST", "KEST_STATIC_HOST" })
        environment << QLatin1String(name) + QLatin1Char('=') + m_demo->host();
    for (const char* name : { "data", "cache", "config" }) {
        environment << QStringLiteral("XDG_%1_HOME=%2")
                           .arg(QString::fromLatin1(name).toUpper(),
                               dir.filePath(QLatin1String(name)));
    }
    const auto write = [](const QString& path, const QString& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
    };
    ASSERT_TRUE(write(dir.filePath(QStringLiteral("services/org.kest.Client.service")),
        QStringLiteral("[D-BUS Service]\nName=org.kest.Client\nExec=/usr/bin/env %1 %2\n")
            .arg(environment.join(QLatin1Char(' ')), qEnvironmentVariable("KEST_BIN"))));
    ASSERT_TRUE(write(dir.filePath(QStringLiteral("bus.conf")),
        QStringLiteral("<busconfig><type>session</type><listen>%1</listen>"
                       "<servicedir>%2</servicedir><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
            .arg(bus, dir.filePath(QStringLiteral("services")))));
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--config-file=") + dir.filePath(QStringLiteral("bus.conf")),
            QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
            QStringLiteral("--print-address=1") });
    ASSERT_TRUE(daemon.waitForReadyRead(10000));

    const QString linked = QStringLiteral("http://%1/game/linked").arg(m_demo->host());
    EXPECT_EQ(
        runTool(QStringLiteral("gdbus"),
            { QStringLiteral("call"), QStringLiteral("--address"), bus, QStringLiteral("--dest"),
                QStringLiteral("org.kest.Client"), QStringLiteral("--object-path"),
                QStringLiteral("/PlenwickDDE"), QStringLiteral("--method"),
                QStringLiteral("org.kest.PlenwickDDE.Execute"), linked },
            kStartMs)
            .trimmed(),
        QStringLiteral("()"));
    // The bus daemon's child leaves it at once (a double fork): the program
    // is found by its event log in the environment.
    const QByteArray mark
        = "\0KEST_EVENT_LOG=" + dir.filePath(QStringLiteral("events.log")).toUtf8() + '\0';
    qint64 kest = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (environ.open(QIODevice::ReadOnly)
            && QByteArray('\0' + environ.readAll()).contains(mark))
            kest = entry.toLongLong();
    }
    ASSERT_NE(kest, 0);
    QList<XWindow> login;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (login = kest::test::windowsSized(kest, kLoginSize)).size() == 2; },
        kStartMs));
    waitForPage(login[0].geometry.topLeft());
    ASSERT_TRUE(enterAsAlice(login[0].geometry.topLeft()));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return m_demo->logText().contains(QLatin1String("GET /game/linked")); }, kStartMs))
        << qPrintable(m_demo->logText());
    screenshot(artifact(QStringLiteral("bus-activated.png")));
    ::kill(pid_t(kest), SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !processExists(kest); }, 20000));
    daemon.terminate();
    daemon.waitForFinished(5000);
}

// --help and --version are answered where no display exists (packaging
// tools run them so), by both programs; the command text is untouched.
TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY" })
        headless.remove(QLatin1String(name));
    const QString updater = kest::test::binaryDir() + QStringLiteral("/bin/Update");
    struct Case {
        QString program;
        QString argument;
        QString startsWith;
    };
    const Case cases[] = {
        { qEnvironmentVariable("KEST_BIN"), QStringLiteral("--version"),
            QStringLiteral("kest ") + kest::programVersion() + QLatin1Char('\n') },
        { qEnvironmentVariable("KEST_BIN"), QStringLiteral("-h"),
            QStringLiteral("Usage: kest [options] [command]\n") },
        { updater, QStringLiteral("-v"), QStringLiteral("Update ") + kest::programVersion() },
        { updater, QStringLiteral("--help"), QStringLiteral("Usage: Update [options]") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.program + QLatin1Char(' ') + c.argument).toStdString());
        QProcess process;
        process.setProcessEnvironment(headless);
        process.start(c.program, { c.argument });
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_TRUE(
            QString::fromLocal8Bit(process.readAllStandardOutput()).startsWith(c.startsWith));
        EXPECT_TRUE(process.readAllStandardError().isEmpty());
    }
}

// A desktop with nothing that opens web addresses (no xdg-open, no browser
// on PATH): the player is told, the event log says why, and the launcher
// still ends without a window of its own.
TEST_F(StartupTest, WebSwitchWithoutABrowserSaysSoAndEnds)
{
    startDemo();
    QTemporaryDir emptyPath;
    launcher().environment().insert(QStringLiteral("PATH"), emptyPath.path());
    launcher().environment().remove(QStringLiteral("BROWSER"));
    startLauncher({ QStringLiteral("/web") });
    answerNotice(QStringLiteral("web-no-browser.png"), {}, 2);
    EXPECT_TRUE(launcher().eventLog().contains(
        QStringLiteral("no handler opened http://%1/").arg(m_demo->host())));
}

TEST_F(StartupTest, LoginPageThatFailsShowsTheMessageAndEnds)
{
    // An error status fails whatever the length of its page.
    const std::pair<const char*, const char*> cases[] = {
        { "short", "too short" },
        { "error500", "answered HTTP status 500" },
        { "error404long", "answered HTTP status 404" },
    };
    for (const auto& [mode, reason] : cases) {
        SCOPED_TRACE(mode);
        startDemo({ QStringLiteral("--login-mode"), QLatin1String(mode) });
        startLauncher();
        // The splash may still be up behind the message; the login windows never show.
        answerNoConnectionMessage(
            QStringLiteral("login-%1.png").arg(QLatin1String(mode)), kSplashSize);
        EXPECT_TRUE(launcher().eventLog().contains(QLatin1String(reason)))
            << qPrintable(launcher().eventLog());
        expectNoSanitizerReport();
        m_launcher.reset();
        m_demo.reset();
    }

    SCOPED_TRACE("nothing listening");
    launcher().useHost(QStringLiteral("127.0.0.1:%1").arg(kest::test::freePort()));
    ASSERT_TRUE(launcher().start());
    answerNoConnectionMessage(QStringLiteral("login-unreachable.png"), kSplashSize);
    EXPECT_TRUE(launcher().eventLog().contains(QLatin1String("did not load")));
}

// A launcher beside an engine library of another build, or none, says the
// program is incomplete and ends with 3 after the splash. The library of
// another version is a test double (tests/unit/launcher/engine_double.cpp):
// this build cannot make a real one of another version.
TEST_F(StartupTest, AnEngineLibraryThatDoesNotFitIsRefused)
{
    const std::pair<const char*, QString> cases[] = {
        { "missing", QStringLiteral("libkest-engine.so is missing") },
        { "other-version", QStringLiteral("is version 0.0.1") },
    };
    startDemo();
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir install;
        const QString program = kest::test::copyBuiltLauncher(install.path());
        ASSERT_FALSE(program.isEmpty());
        const QString library = install.filePath(QStringLiteral("libkest-engine.so"));
        ASSERT_TRUE(QFile::remove(library));
        if (QLatin1String(name) != QLatin1String("missing")) {
            ASSERT_TRUE(QFile::copy(kest::test::binaryDir()
                    + QStringLiteral("/tests/engine-doubles/libengine-%1.so")
                          .arg(QLatin1String(name)),
                library));
        }
        const QByteArray built = qgetenv("KEST_BIN");
        qputenv("KEST_BIN", program.toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("KEST_BIN", built); });
        startLauncher();
        answerNotice(QStringLiteral("engine-%1.png").arg(QLatin1String(name)), {}, 3);
        EXPECT_TRUE(launcher().eventLog().contains(QStringLiteral("engine library does not fit")))
            << qPrintable(launcher().eventLog());
        EXPECT_TRUE(launcher().eventLog().contains(reason)) << qPrintable(launcher().eventLog());
        expectNoSanitizerReport();
        m_launcher.reset();
    }
}

} // namespace
