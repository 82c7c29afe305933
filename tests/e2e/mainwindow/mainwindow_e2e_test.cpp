// The main game window from the first login to the end of the program: the
// real launcher against the real demo platform, on Xvfb with openbox, trayer
// and a session bus, driven through X like a player. What the window did is
// read from outside: its X windows, the demo server's request log, the
// launcher's event log, the processes and the screen. Screenshots land in the
// artefact folder.
#include "tests/support/a11ytree.h"
#include "tests/support/demo_server.h"
#include "tests/support/launcher_process.h"
#include "tests/support/launcherfiles.h"
#include "tests/support/testenv.h"
#include "tests/support/x11tools.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <utility>
#include <vector>

namespace {

using namespace kest::test;

constexpr int kStartMs = 90000; // the browser engine's start under the sanitizers included
const QSize kLoginSize(888, 518);
const QSize kDialogSize(242, 140);
const QSize kDesignSize(1036, 639);
const QString kCaption = QStringLiteral("ZantivoTervolk客户端");
const QString kNotice = QStringLiteral("提示");
const QPoint kCardBody(280, 250);
constexpr QRgb kCardColour = 0xFAFCFF;
const QPoint kLoginCloseLink(854, 24); // app://exitgame on the login page
// The exit question's answers, from the dialog's corner.
const QPoint kYes(88, 100);
const QPoint kNo(168, 100);
// Menu items from the top of the open menu; the separator sits between
// clearcache and update.
enum MenuItem { Refresh = 11, HideRestore = 34, ClearCache = 56, Update = 78, Exit = 123 };
// Two clicks closer than this are a double click.
constexpr int kPastDoubleClickMs = 600;

QString artifact(const QString& name)
{
    return kest::test::artifactDir(QStringLiteral("mainwindow_e2e")) + QLatin1Char('/') + name;
}

void saveText(const QString& path, const QString& text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
}

// From a11y-tree's line `role "name" [states] ...`: the name, the states.
QString nameOf(const QString& line)
{
    return line.section(QLatin1Char('"'), 1, 1);
}
QStringList statesOf(const QString& line)
{
    return line.section(QLatin1Char('['), 1)
        .section(QLatin1Char(']'), 0, 0)
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
QStringList namesOf(const QStringList& lines)
{
    QStringList names;
    for (const QString& line : lines)
        names << nameOf(line);
    return names;
}

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

bool isLight(QRgb pixel)
{
    return qRed(pixel) > 170 && qGreen(pixel) > 170 && qBlue(pixel) > 170;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_logFile = m_dir.filePath(QStringLiteral("requests.log"));
        m_modeFile = m_dir.filePath(QStringLiteral("login-mode"));
        setLoginMode("normal");
        m_launcher = std::make_unique<Launcher>();
    }

    void TearDown() override
    {
        const QString errors = m_launcher->errorOutput();
        EXPECT_FALSE(errors.contains(QLatin1String("Sanitizer"))) << qPrintable(errors);
        EXPECT_FALSE(errors.contains(QLatin1String("runtime error:"))) << qPrintable(errors);
        if (HasFailure()) {
            std::printf("--- event log\n%s--- requests\n%s", qPrintable(m_launcher->eventLog()),
                qPrintable(requests()));
        }
        m_launcher.reset();
        m_demo.reset();
    }

    // The demo platform with `arguments`, the launcher on it, and `account`
    // logged in: the main window is up with its game page.
    void startAndLogIn(const QString& account, const QStringList& arguments = {})
    {
        m_demo = std::make_unique<DemoServer>(QStringList { QStringLiteral("--log"), m_logFile,
                                                  QStringLiteral("--login-mode-file"), m_modeFile }
            + arguments);
        ASSERT_TRUE(m_demo->isRunning());
        m_launcher->useHost(m_demo->host());
        ASSERT_TRUE(m_launcher->start());
        ASSERT_NO_FATAL_FAILURE(logIn(account));
        ASSERT_TRUE(mainWindowShown(true, kStartMs));
        ASSERT_TRUE(waitForGameRequest(account));
    }

    void setLoginMode(const char* mode)
    {
        QFile file(m_modeFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(mode);
    }

    QString requests() const
    {
        QFile file(m_logFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QStringList requestLines(const QString& prefix) const
    {
        QStringList lines;
        for (const QString& line : requests().split(QLatin1Char('\n')))
            if (line.startsWith(prefix))
                lines << line;
        return lines;
    }
    int gameRequests(const QString& account) const
    {
        return int(requestLines(QStringLiteral("GET /game/") + account + QLatin1Char(' ')).size());
    }
    bool waitForGameRequest(const QString& account, int count = 1) const
    {
        return QTest::qWaitFor([&] { return gameRequests(account) >= count; }, 30000);
    }
    QString game(const QString& account) const
    {
        return QStringLiteral("http://%1/game/%2").arg(m_demo->host(), account);
    }
    bool running() const { return processExists(m_launcher->pid()); }

    QList<XWindow> windowsSized(QSize size) const
    {
        return kest::test::windowsSized(m_launcher->pid(), size);
    }
    // The main window when it is viewable.
    std::optional<XWindow> mainWindow() const
    {
        for (const XWindow& window : visibleWindowsOf(m_launcher->pid()))
            if (window.name == kCaption && window.geometry.width() > kLoginSize.width())
                return window;
        return std::nullopt;
    }
    bool mainWindowShown(bool shown, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return mainWindow().has_value() == shown; }, timeoutMs);
    }
    QRect mainGeometry() const
    {
        const auto main = mainWindow();
        return main ? main->geometry : QRect();
    }
    std::optional<XWindow> waitForWindow(const std::function<bool(const XWindow&)>& which) const
    {
        std::optional<XWindow> found;
        (void)QTest::qWaitFor(
            [&] {
                for (const XWindow& window : visibleWindowsOf(m_launcher->pid()))
                    if (which(window))
                        found = window;
                return found.has_value();
            },
            20000);
        return found;
    }

    // Logs `account` in through the login windows (shown already or about to).
    void logIn(const QString& account)
    {
        const QPoint origin = waitForLoginPage();
        ASSERT_FALSE(origin.isNull());
        // The main window may still hold the keyboard: give it to the page.
        activateWindow(windowsSized(kLoginSize).last().id);
        QTest::qWait(300);
        typeText(account);
        screenshot(artifact(QStringLiteral("login-%1.png").arg(account)));
        pressKey(QStringLiteral("Return"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return windowsSized(kLoginSize).isEmpty(); }, 20000));
    }
    // The login windows' corner once the page shows its card; null if not.
    QPoint waitForLoginPage() const
    {
        QList<XWindow> login;
        if (!QTest::qWaitFor(
                [&] { return (login = windowsSized(kLoginSize)).size() == 2; }, kStartMs))
            return {};
        const QPoint origin = login.first().geometry.topLeft();
        if (!QTest::qWaitFor(
                [&] { return (screenshot().pixel(origin + kCardBody) & 0xFFFFFF) == kCardColour; },
                kStartMs))
            return {};
        return origin;
    }

    // Caption buttons sit at fixed distances from the right edge.
    QPoint fromRight(int dx, int y) const
    {
        const QRect main = mainGeometry();
        return QPoint(main.right() + 1 - dx, main.top() + y);
    }
    QPoint otherUserButton() const { return fromRight(323 - 49, 11); }
    QPoint toolButton() const { return fromRight(122 - 12, 9); }
    QPoint hideButton() const { return fromRight(98 - 12, 9); }
    QPoint minmaxButton() const { return fromRight(74 - 12, 9); }
    QPoint closeButton() const { return fromRight(49 - 20, 9); }

    // The tabs as the screen shows them: light runs along the strip, left
    // of the text buttons, in screen coordinates.
    QList<QPair<int, int>> tabs() const
    {
        const QRect main = mainGeometry();
        if (main.isNull())
            return {};
        const QImage screen = screenshot();
        const int y = main.top() + 8;
        QList<QPair<int, int>> runs;
        int start = -1;
        for (int x = main.left() + 60; x < main.right() - 330; ++x) {
            const bool light = isLight(screen.pixel(x, y));
            if (light && start < 0)
                start = x;
            if (!light && start >= 0) {
                if (x - start > 40)
                    runs.append({ start, x - 1 });
                start = -1;
            }
        }
        return runs;
    }
    bool tabCountIs(int count) const
    {
        return QTest::qWaitFor([&] { return tabs().size() == count; }, 10000);
    }
    // The close button of the last tab, 10 pixels inside its right end.
    QPoint lastTabClose() const
    {
        const auto all = tabs();
        return all.isEmpty() ? QPoint() : QPoint(all.last().second - 10, mainGeometry().top() + 15);
    }

    // The tray icon's place: the first child of trayer's panel with a size.
    QPoint trayIcon() const
    {
        const QString panel = runTool(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^panel$") })
                                  .split(QLatin1Char('\n'))
                                  .value(0)
                                  .trimmed();
        const QString tree = runTool(
            QStringLiteral("xwininfo"), { QStringLiteral("-tree"), QStringLiteral("-id"), panel });
        static const QRegularExpression child(
            QStringLiteral(R"((\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))"));
        for (const QString& line : tree.split(QLatin1Char('\n'))) {
            const auto m = child.match(line);
            if (m.hasMatch() && line.contains(QLatin1String("0x")) && m.captured(1).toInt() > 4
                && m.captured(1).toInt() < 64)
                return { m.captured(3).toInt() + m.captured(1).toInt() / 2,
                    m.captured(4).toInt() + m.captured(2).toInt() / 2 };
        }
        return {};
    }
    void clickTray(int button = 1)
    {
        QTest::qWait(kPastDoubleClickMs);
        clickAt(trayIcon(), button);
    }

    // The program menu, popped up under the pointer; null if none came.
    std::optional<XWindow> openMenu(QPoint from, int button = 1)
    {
        clickAt(from, button);
        return waitForWindow([](const XWindow& w) {
            return w.geometry.width() > 80 && w.geometry.width() < 300 && w.geometry.height() > 100
                && w.geometry.height() < 200;
        });
    }
    void chooseFromMenu(MenuItem item)
    {
        const auto menu = openMenu(toolButton());
        ASSERT_TRUE(menu) << "the program menu did not open";
        clickAt(menu->geometry.topLeft() + QPoint(40, int(item)));
    }

    // The exit question, answered.
    void answerExitQuestion(QPoint answer, const QString& shot = {})
    {
        QList<XWindow> dialog;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !(dialog = windowsSized(kDialogSize)).isEmpty(); }, 10000))
            << "no exit question";
        if (!shot.isEmpty())
            screenshot(artifact(shot));
        clickAt(dialog.first().geometry.topLeft() + answer);
    }

    // The link topic's Execute with `address`: gdbus's answer.
    static QString executeLink(const QString& address)
    {
        return runTool(QStringLiteral("gdbus"),
            { QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                QStringLiteral("org.kest.Client"), QStringLiteral("--object-path"),
                QStringLiteral("/PlenwickDDE"), QStringLiteral("--method"),
                QStringLiteral("org.kest.PlenwickDDE.Execute"), address })
            .trimmed();
    }

    // What a game page opened with ?pace=1 reported: per second, or summed.
    struct Pace {
        int ticks = 0;
        int frames = 0;
        int score = 0;
        QString visibility;
        int hides = 0; // times the page was told it is hidden, since it loaded
        int scored = 0; // points made over the reports summed
    };
    QList<Pace> paceReports(const QString& account) const
    {
        static const QRegularExpression report(QStringLiteral(
            R"(\?ticks=(\d+)&frames=(\d+)&score=(\d+)&visibility=([a-z]+)&hides=(\d+) )"));
        QList<Pace> reports;
        for (const QString& line :
            requestLines(QStringLiteral("GET /game/") + account + QStringLiteral("/pace?"))) {
            const auto m = report.match(line);
            if (m.hasMatch())
                reports.append({ m.captured(1).toInt(), m.captured(2).toInt(),
                    m.captured(3).toInt(), m.captured(4), m.captured(5).toInt() });
        }
        return reports;
    }
    // Ten seconds of the page's pace, from the next ten reports once two more
    // have settled: ten times the median second, so that a few seconds in
    // which other programs held the machine do not pass for the page being
    // held back (a held page's every second is slow). The score, visibility
    // and hides are those of the last report; scored counts the points made
    // meanwhile, across a lost game that started again from 0.
    Pace paceOverTenSeconds(const QString& account) const
    {
        const qsizetype from = paceReports(account).size() + 2;
        const bool came
            = QTest::qWaitFor([&] { return paceReports(account).size() >= from + 10; }, 60000);
        EXPECT_TRUE(came) << "fewer than twelve pace reports in a minute";
        const QList<Pace> all = paceReports(account).mid(from, 10);
        if (all.isEmpty())
            return {};
        const auto tenTimesMedian = [&all](int Pace::*field) {
            std::vector<int> values;
            for (const Pace& second : all)
                values.push_back(second.*field);
            std::sort(values.begin(), values.end());
            const size_t n = values.size();
            return n % 2 ? 10 * values[n / 2] : 5 * (values[n / 2 - 1] + values[n / 2]);
        };
        int scored = 0;
        for (qsizetype i = 1; i < all.size(); ++i)
            scored += all[i].score >= all[i - 1].score ? all[i].score - all[i - 1].score
                                                       : all[i].score;
        return { tenTimesMedian(&Pace::ticks), tenTimesMedian(&Pace::frames), all.last().score,
            all.last().visibility, all.last().hides, scored };
    }

    QTemporaryDir m_dir;
    QString m_logFile;
    QString m_modeFile;
    std::unique_ptr<DemoServer> m_demo;
    std::unique_ptr<Launcher> m_launcher;
};

TEST_F(MainWindowTest, TabsHotKeyCacheResizeTrayAndTheLastTab)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn(QStringLiteral("tester")));

    // Opens maximised above the taskbar with the game page, which got the
    // login's cookies.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(mainGeometry(), QRect(0, 0, screenRect().width(), available.height()));
    const QString first = requestLines(QStringLiteral("GET /game/tester")).first();
    EXPECT_TRUE(first.contains(QLatin1String("kest_session="))) << qPrintable(first);
    EXPECT_TRUE(first.contains(QLatin1String("kest_account="))) << qPrintable(first);
    ASSERT_TRUE(tabCountIs(1));
    screenshot(artifact(QStringLiteral("01-maximised-first-tab.png")));

    // A further account: a second tab.
    clickAt(otherUserButton());
    ASSERT_NO_FATAL_FAILURE(logIn(QStringLiteral("second")));
    ASSERT_TRUE(waitForGameRequest(QStringLiteral("second")));
    ASSERT_TRUE(mainWindowShown(true));
    EXPECT_TRUE(tabCountIs(2));
    screenshot(artifact(QStringLiteral("02-second-tab.png")));

    // The first account again: its tab is selected, its page not loaded again.
    clickAt(otherUserButton());
    ASSERT_NO_FATAL_FAILURE(logIn(QStringLiteral("tester")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return m_launcher->eventLog().count(
                       QStringLiteral("loadgame: ") + game(QStringLiteral("tester")))
                == 2;
        },
        20000));
    QTest::qWait(1000);
    EXPECT_EQ(gameRequests(QStringLiteral("tester")), 1);
    EXPECT_TRUE(tabCountIs(2));
    screenshot(artifact(QStringLiteral("03-first-tab-selected-again.png")));

    // The link topic: a new page, then the same page selected.
    const QStringList call { QStringLiteral("call"), QStringLiteral("--session"),
        QStringLiteral("--dest"), QStringLiteral("org.kest.Client"),
        QStringLiteral("--object-path"), QStringLiteral("/PlenwickDDE"), QStringLiteral("--method"),
        QStringLiteral("org.kest.PlenwickDDE.Execute"), game(QStringLiteral("linked")) };
    EXPECT_EQ(runTool(QStringLiteral("gdbus"), call).trimmed(), QStringLiteral("()"));
    ASSERT_TRUE(waitForGameRequest(QStringLiteral("linked")));
    runTool(QStringLiteral("gdbus"), call);
    QTest::qWait(1000);
    EXPECT_EQ(gameRequests(QStringLiteral("linked")), 1);
    EXPECT_TRUE(tabCountIs(3));
    screenshot(artifact(QStringLiteral("04-linked-tab.png")));

    // F10 hides and shows.
    pressKey(QStringLiteral("F10"));
    EXPECT_TRUE(mainWindowShown(false));
    screenshot(artifact(QStringLiteral("05-hidden-by-f10.png")));
    pressKey(QStringLiteral("F10"));
    EXPECT_TRUE(mainWindowShown(true));

    // Clear the cache: the notice comes once the engine is done; then the
    // game's script is fetched again, with both cookies.
    const auto scripts = [&] { return requestLines(QStringLiteral("GET /static/game.js")); };
    const qsizetype scriptsBefore = scripts().size();
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(ClearCache));
    QList<XWindow> notice;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !(notice = visibleWindowsNamed(QStringLiteral("缓存清理"))).isEmpty(); },
        30000))
        << "no cache notice";
    screenshot(artifact(QStringLiteral("06-cache-notice.png")));
    activateWindow(notice.first().id);
    pressKey(QStringLiteral("Return"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return visibleWindowsNamed(QStringLiteral("缓存清理")).isEmpty(); }, 5000));
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(Refresh));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scripts().size() > scriptsBefore; }, 20000))
        << "the cached script was not fetched again";
    const QString script = scripts().last();
    EXPECT_TRUE(script.contains(QLatin1String("kest_session="))) << qPrintable(script);
    EXPECT_TRUE(script.contains(QLatin1String("kest_account="))) << qPrintable(script);

    // Restore: the centred design size.
    clickAt(minmaxButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainGeometry().size() == kDesignSize; }, 10000));
    const QRect restored = mainGeometry();
    EXPECT_EQ(restored.center(), screenRect().center()) << restored.x() << "," << restored.y();
    screenshot(artifact(QStringLiteral("07-restored.png")));

    // Resize by the right edge: only the rubber band follows the pointer; the
    // window takes its place on release.
    const QPoint edge(restored.right() - 1, restored.center().y());
    xdotool({ QStringLiteral("mousemove"), QString::number(edge.x()), QString::number(edge.y()) });
    QTest::qWait(200);
    xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") });
    for (int dx = 20; dx <= 100; dx += 20) {
        QTest::qWait(50);
        xdotool({ QStringLiteral("mousemove"), QString::number(edge.x() + dx),
            QString::number(edge.y()) });
    }
    // The dragged edge goes to the pointer.
    const QRect banded(
        restored.x(), restored.y(), edge.x() + 100 - restored.x(), restored.height());
    const auto band = waitForWindow([&](const XWindow& w) { return w.geometry == banded; });
    screenshot(artifact(QStringLiteral("08-rubber-band.png")));
    EXPECT_EQ(mainGeometry(), restored) << "the window moved before the release";
    xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });
    EXPECT_TRUE(band) << "no rubber band";
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainGeometry() == banded; }, 10000))
        << mainGeometry().width() << "x" << mainGeometry().height();
    QTest::qWait(500);
    screenshot(artifact(QStringLiteral("09-resized.png")));

    // Maximise, then restore to exactly that place.
    clickAt(minmaxButton());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return mainGeometry().width() == screenRect().width(); }, 10000));
    clickAt(minmaxButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainGeometry() == banded; }, 10000));

    // The tray (trayer sets no strut: a maximised window covers it, so this
    // runs restored): a left click toggles, a right click opens the menu,
    // with the window shown or hidden.
    const QPoint tray = trayIcon();
    ASSERT_FALSE(tray.isNull()) << "the tray icon was not found in trayer";
    clickTray();
    EXPECT_TRUE(mainWindowShown(false));
    clickTray();
    EXPECT_TRUE(mainWindowShown(true));
    QTest::qWait(kPastDoubleClickMs);
    auto menu = openMenu(tray, 3);
    EXPECT_TRUE(menu) << "no menu on a right click";
    screenshot(artifact(QStringLiteral("10-tray-menu.png")));
    pressKey(QStringLiteral("Escape"));
    clickTray();
    EXPECT_TRUE(mainWindowShown(false));
    QTest::qWait(kPastDoubleClickMs);
    menu = openMenu(tray, 3);
    EXPECT_TRUE(menu) << "no menu on a right click while hidden";
    pressKey(QStringLiteral("Escape"));
    clickTray();
    EXPECT_TRUE(mainWindowShown(true));

    // The hide button, then the tray brings the window back.
    clickAt(hideButton());
    EXPECT_TRUE(mainWindowShown(false));
    clickTray();
    EXPECT_TRUE(mainWindowShown(true));

    // Closing one of several tabs asks nothing.
    ASSERT_TRUE(tabCountIs(3));
    clickAt(lastTabClose());
    ASSERT_TRUE(tabCountIs(2));
    clickAt(lastTabClose());
    ASSERT_TRUE(tabCountIs(1));
    EXPECT_TRUE(windowsSized(kDialogSize).isEmpty());

    // Closing the last one asks; "否" keeps everything, "是" ends the program.
    clickAt(lastTabClose());
    ASSERT_NO_FATAL_FAILURE(answerExitQuestion(kNo, QStringLiteral("11-exit-question.png")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windowsSized(kDialogSize).isEmpty(); }, 10000));
    EXPECT_TRUE(mainWindowShown(true));
    EXPECT_TRUE(tabCountIs(1));
    EXPECT_FALSE(m_launcher->waitForExit(1000));
    clickAt(lastTabClose());
    ASSERT_NO_FATAL_FAILURE(answerExitQuestion(kYes));
    ASSERT_TRUE(m_launcher->waitForExit(30000));
    EXPECT_EQ(m_launcher->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_launcher->exitCode(), 0);
}

TEST_F(MainWindowTest, FurtherLoginsKeepTheGamesAndTheProgramRunning)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn(QStringLiteral("tester")));

    // A further login whose page fails the length test: the message, then
    // only the login windows close.
    setLoginMode("short");
    clickAt(otherUserButton());
    std::optional<XWindow> message
        = waitForWindow([](const XWindow& w) { return w.name == kNotice; });
    ASSERT_TRUE(message) << "no message for the short login page";
    screenshot(artifact(QStringLiteral("20-short-login-page.png")));
    activateWindow(message->id);
    pressKey(QStringLiteral("Return"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleWindowsNamed(kNotice).isEmpty(); }, 10000));
    QTest::qWait(1000);
    EXPECT_TRUE(running());
    EXPECT_TRUE(windowsSized(kLoginSize).isEmpty());
    EXPECT_TRUE(mainWindowShown(true));
    EXPECT_TRUE(tabCountIs(1));
    EXPECT_EQ(gameRequests(QStringLiteral("tester")), 1) << "the game was loaded again";
    setLoginMode("normal");

    // Hidden while a further login is open, then the login windows closed:
    // the hidden window keeps the program, and the tray brings it back.
    clickAt(otherUserButton());
    QPoint login = waitForLoginPage();
    ASSERT_FALSE(login.isNull());
    clickAt(hideButton());
    ASSERT_TRUE(mainWindowShown(false));
    clickAt(login + kLoginCloseLink);
    ASSERT_TRUE(QTest::qWaitFor([&] { return windowsSized(kLoginSize).isEmpty(); }, 10000));
    EXPECT_FALSE(m_launcher->waitForExit(1500)) << "the program ended with its window hidden";
    screenshot(artifact(QStringLiteral("21-hidden-without-login.png")));
    clickTray();
    ASSERT_TRUE(mainWindowShown(true));

    // The main window closed while a further login is open: the login keeps
    // the program, F10 is free for others, and the tray icon is gone.
    clickAt(otherUserButton());
    login = waitForLoginPage();
    ASSERT_FALSE(login.isNull());
    clickAt(closeButton());
    ASSERT_NO_FATAL_FAILURE(answerExitQuestion(kYes));
    ASSERT_TRUE(mainWindowShown(false));
    EXPECT_FALSE(m_launcher->waitForExit(1500));
    EXPECT_EQ(windowsSized(kLoginSize).size(), 2);
    EXPECT_EQ(
        F10Holder(qEnvironmentVariable("KEST_HOTKEY_HOLDER")).answer(), QStringLiteral("held"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return trayIcon().isNull(); }, 5000))
        << "the tray icon stayed";
    screenshot(artifact(QStringLiteral("22-login-without-main-window.png")));

    // Closing the login windows then ends the program.
    clickAt(login + kLoginCloseLink);
    ASSERT_TRUE(m_launcher->waitForExit(30000));
    EXPECT_EQ(m_launcher->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_launcher->exitCode(), 0);
}

TEST_F(MainWindowTest, GamesKeepRunningInCoveredTabsAndBehindTheHotKey)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn(QStringLiteral("tester")));
    const QString paced = QStringLiteral("paced");
    ASSERT_EQ(
        executeLink(game(paced) + QStringLiteral("?pace=1&autoplay=1")), QStringLiteral("()"));
    ASSERT_TRUE(tabCountIs(2));
    const Pace selected = paceOverTenSeconds(paced);
    screenshot(artifact(QStringLiteral("40-paced-game-selected.png")));

    // Covered by the first account's game, selected with a click on its tab.
    const auto strip = tabs();
    ASSERT_EQ(strip.size(), 2);
    const int stripY = mainGeometry().top() + 15;
    clickAt(QPoint(strip.first().first + 30, stripY));
    QTest::qWait(500);
    screenshot(artifact(QStringLiteral("41-paced-game-covered.png")));
    const Pace covered = paceOverTenSeconds(paced);

    // Selected again: the score it reached while covered is what shows.
    clickAt(QPoint(strip.last().first + 30, stripY));
    QTest::qWait(1000);
    screenshot(artifact(QStringLiteral("42-paced-game-selected-again.png")));

    pressKey(QStringLiteral("F10"));
    ASSERT_TRUE(mainWindowShown(false));
    const Pace hidden = paceOverTenSeconds(paced);
    pressKey(QStringLiteral("F10"));
    EXPECT_TRUE(mainWindowShown(true));
    QTest::qWait(1000);
    screenshot(artifact(QStringLiteral("43-paced-game-back-from-f10.png")));

    // Minimised (the hide button's way where there is neither tray nor hot
    // key); the link topic brings it back.
    const auto main = mainWindow();
    ASSERT_TRUE(main);
    xdotool({ QStringLiteral("windowminimize"), main->id });
    ASSERT_TRUE(mainWindowShown(false));
    const Pace minimised = paceOverTenSeconds(paced);
    ASSERT_EQ(
        executeLink(game(paced) + QStringLiteral("?pace=1&autoplay=1")), QStringLiteral("()"));
    EXPECT_TRUE(mainWindowShown(true));

    std::printf("pace per 10 s (10 x median second): selected %d ticks %d frames; covered %d ticks "
                "%d frames "
                "(scored %d); behind F10 %d ticks %d frames; minimised %d ticks %d "
                "frames\n",
        selected.ticks, selected.frames, covered.ticks, covered.frames, covered.scored,
        hidden.ticks, hidden.frames, minimised.ticks, minimised.frames);
    // Whether the pace matches the selected tab's depends on what else the
    // machine runs: bench/run-pace-bench measures that. Here, the game runs
    // in every state and its page never learns it is out of sight.
    for (const auto& [what, pace] :
        { std::pair { "selected", selected }, std::pair { "covered", covered },
            std::pair { "behind F10", hidden }, std::pair { "minimised", minimised } }) {
        EXPECT_GT(pace.ticks, 0) << what << ": the timer stopped";
        EXPECT_GT(pace.frames, 0) << what << ": no animation frames";
        EXPECT_EQ(pace.visibility, QStringLiteral("visible")) << what;
        EXPECT_EQ(pace.hides, 0) << what << ": the page was told it is hidden";
    }
    EXPECT_GT(covered.scored, 0) << "the covered game did not score";
}

// What a screen reader finds of the main window, over the real accessibility
// bus: the strip as a page tab list whose tabs carry the pages' titles, the
// selected one marked, each with its close button; the skinned buttons as
// named buttons. A press through the bus selects a tab as a click does.
TEST_F(MainWindowTest, ScreenReadersFindTheTabsAndTheButtons)
{
    using kest::test::linesOfRole;
    if (!kest::test::accessibilityBusUp())
        GTEST_SKIP() << "no accessibility bus: the test runs under tests/support/with-a11y";
    m_launcher->environment().insert(
        QLatin1String(kest::test::kQtAccessibilityAlwaysOn), QStringLiteral("1"));
    ASSERT_NO_FATAL_FAILURE(startAndLogIn(QStringLiteral("tester")));
    for (const QString& account : { QStringLiteral("alpha"), QStringLiteral("beta") }) {
        EXPECT_EQ(executeLink(game(account)), QStringLiteral("()"));
        ASSERT_TRUE(waitForGameRequest(account));
    }
    ASSERT_TRUE(tabCountIs(3));

    QString tree;
    QString error;
    // The page tabs a reader finds now; a web page's own tree is the
    // engine's, the window around it is ours.
    const auto tabsNow = [&] {
        tree = kest::test::accessibilityTree(m_launcher->pid(),
            { QStringLiteral("--prune"), QStringLiteral("document web") }, 30000, &error);
        return linesOfRole(tree, QStringLiteral("page tab"));
    };
    const auto press = [&](const QString& role, const QString& name) {
        error.clear();
        kest::test::accessibilityTree(
            m_launcher->pid(), { QStringLiteral("--press"), role, name }, 30000, &error);
        EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
    };
    const QStringList titles { QStringLiteral("tester - 摘星"), QStringLiteral("alpha - 摘星"),
        QStringLiteral("beta - 摘星") };
    // The captions become the titles once the pages have loaded.
    QStringList tabs;
    (void)QTest::qWaitFor([&] { return namesOf(tabs = tabsNow()) == titles; }, 30000);
    saveText(artifact(QStringLiteral("a11y-three-tabs.txt")), tree);
    screenshot(artifact(QStringLiteral("a11y-three-tabs.png")));
    ASSERT_EQ(namesOf(tabs), titles) << qPrintable(error) << qPrintable(tree);
    const QStringList tabLists = linesOfRole(tree, QStringLiteral("page tab list"));
    EXPECT_EQ(tabLists.size(), 1) << qPrintable(tree);
    // The page opened last is the one shown.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(statesOf(tabs[i]).contains(QStringLiteral("selected")), i == 2)
            << qPrintable(tabs[i]);
    const QStringList buttons = namesOf(linesOfRole(tree, QStringLiteral("push button"))
        + linesOfRole(tree, QStringLiteral("toggle button")));
    for (const char* name : { "登录其他帐号", "游戏大厅", "程序菜单", "隐藏", "最大化/还原" })
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(name))) << name << "\n" << qPrintable(tree);
    // The window's close button and one on each tab.
    EXPECT_EQ(buttons.count(QStringLiteral("关闭")), 4) << qPrintable(tree);

    // The window's first focus stays on the first caption button; Tab walks
    // the buttons and then reaches the strip, whose arrow keys select.
    EXPECT_FALSE(statesOf(tabLists.value(0)).contains(QStringLiteral("focused")))
        << qPrintable(tree);
    const auto main = mainWindow();
    ASSERT_TRUE(main);
    runTool(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), main->id });
    for (int i = 0; i < 6; ++i)
        pressKey(QStringLiteral("Tab"));
    pressKey(QStringLiteral("Left"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            tabs = tabsNow();
            return tabs.size() == 3 && statesOf(tabs[1]).contains(QStringLiteral("focused"));
        },
        10000))
        << qPrintable(tree);

    // Pressed through the bus, the first tab is selected and its page shown.
    press(QStringLiteral("page tab"), titles[0]);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            tabs = tabsNow();
            return !tabs.isEmpty() && statesOf(tabs[0]).contains(QStringLiteral("selected"));
        },
        10000))
        << qPrintable(tree);
    saveText(artifact(QStringLiteral("a11y-first-tab-pressed.txt")), tree);
    screenshot(artifact(QStringLiteral("a11y-first-tab-pressed.png")));

    // The first close button in the tree is the first tab's: pressed through
    // the bus, that tab goes, and a reader's next look finds two.
    press(QStringLiteral("push button"), QStringLiteral("关闭"));
    EXPECT_TRUE(tabCountIs(2));
    EXPECT_EQ(namesOf(tabsNow()), titles.mid(1)) << qPrintable(tree);
    EXPECT_TRUE(running());
}

TEST_F(MainWindowTest, MenuUpdateHandsOverToTheUpdater)
{
    // An installed copy, so that the updater works on a folder of its own.
    const QString install = m_dir.filePath(QStringLiteral("install"));
    const QString launcher = kest::test::copyBuiltLauncher(install);
    ASSERT_FALSE(launcher.isEmpty());
    const QByteArray built = qgetenv("KEST_BIN");
    qputenv("KEST_BIN", launcher.toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("KEST_BIN", built); });

    // The updater inherits it: a screen reader can follow the download.
    if (kest::test::accessibilityBusUp())
        m_launcher->environment().insert(
            QLatin1String(kest::test::kQtAccessibilityAlwaysOn), QStringLiteral("1"));

    // The platform names our own version until the player asks from the menu.
    const QString manifest = m_dir.filePath(QStringLiteral("update.txt"));
    const QString data = m_dir.filePath(QStringLiteral("data.pak"));
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write(manifest, "version=" + qgetenv("KEST_VERSION") + "\r\n"));
    ASSERT_TRUE(write(data, QByteArray(256 * 1024, 'k')));
    // The file comes slowly, so the updater is still at work when looked at.
    ASSERT_NO_FATAL_FAILURE(startAndLogIn(QStringLiteral("tester"),
        { QStringLiteral("--manifest-file"), manifest, QStringLiteral("--file"),
            QStringLiteral("data.pak=") + data, QStringLiteral("--file-rate"),
            QStringLiteral("4096") }));
    ASSERT_TRUE(write(manifest,
        "version=9.9.9\r\ndata.pak|http://" + m_demo->host().toUtf8()
            + "/gamehome/kest/files/data.pak\r\n"));

    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(Update));
    const auto question = waitForWindow([](const XWindow& w) { return w.name == kNotice; });
    ASSERT_TRUE(question) << "no update question";
    screenshot(artifact(QStringLiteral("30-update-question.png")));
    activateWindow(question->id);
    pressKey(QStringLiteral("Return")); // Yes is the default
    ASSERT_TRUE(m_launcher->waitForExit(30000)) << "the launcher did not get out of the way";
    EXPECT_EQ(m_launcher->exitCode(), 0);

    const QString updater
        = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/kest/Update");
    QList<qint64> started;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !(started = processesRunning(updater)).isEmpty(); }, 30000))
        << "the updater did not start";
    const auto endUpdater = qScopeGuard([&] {
        for (const qint64 pid : processesRunning(updater))
            endProcess(pid);
    });
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(started.first()));
    ASSERT_TRUE(commandLine.open(QIODevice::ReadOnly));
    EXPECT_TRUE(commandLine.readAll().contains(install.toUtf8())) << "not told the install folder";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !visibleWindowsNamed(QStringLiteral("更新")).isEmpty(); }, kStartMs))
        << "no updater window";
    screenshot(artifact(QStringLiteral("31-updater.png")));

    if (!kest::test::accessibilityBusUp())
        return;
    // What a screen reader hears of the download: the bar with its value,
    // and the value changing while the file comes (8 KiB steps, some four
    // in the eight seconds listened).
    QString error;
    const QString heard = kest::test::accessibilityTree(
        started.first(), { QStringLiteral("--watch-values"), QStringLiteral("8") }, 30000, &error);
    saveText(artifact(QStringLiteral("a11y-updater.txt")), heard);
    screenshot(artifact(QStringLiteral("a11y-updater.png")));
    const QStringList bars = kest::test::linesOfRole(heard, QStringLiteral("progress bar"));
    ASSERT_EQ(bars.size(), 1) << qPrintable(heard) << qPrintable(error);
    EXPECT_EQ(nameOf(bars.first()), QStringLiteral("正在下载：data.pak")) << qPrintable(heard);
    EXPECT_TRUE(bars.first().contains(QLatin1String(" value="))) << qPrintable(bars.first());
    EXPECT_TRUE(namesOf(kest::test::linesOfRole(heard, QStringLiteral("push button")))
                    .contains(QStringLiteral("关闭")))
        << qPrintable(heard);
    QList<double> values;
    for (const QString& line :
        kest::test::linesOfRole(heard, QStringLiteral("value-changed progress bar")))
        values << line.section(QStringLiteral("value="), 1).toDouble();
    EXPECT_GE(values.size(), 2) << qPrintable(heard);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << qPrintable(heard);
    EXPECT_LT(values.value(0), values.value(values.size() - 1)) << qPrintable(heard);
}

TEST_F(MainWindowTest, TerminationSignalClosesWithoutAQuestion)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn(QStringLiteral("tester")));
    ASSERT_EQ(::kill(pid_t(m_launcher->pid()), SIGTERM), 0);
    ASSERT_TRUE(m_launcher->waitForExit(30000)) << "still running: the exit question is up?";
    EXPECT_EQ(m_launcher->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_launcher->exitCode(), 0);
}

} // namespace
