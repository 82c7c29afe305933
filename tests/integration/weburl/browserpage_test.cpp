// Both kinds of page the program shows (a game page in its page window, the
// login page in a view), with real pages from a loopback server: a link of a
// scheme the engine does not know never reaches the desktop's opener, and a
// script's dialogs show only while the player sees the page.
#include "launcher/browser/BrowserProfile.h"
#include "launcher/login/LoginPage.h"
#include "launcher/mainwindow/WebUrl.h"
#include "platform/windowhiding.h"
#include "tests/support/http_server.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kWaitMs = 30000; // the engine starts slowly under Xvfb

std::string linkAt(const char* id, const char* href, int top)
{
    return std::string("<a id=\"") + id + "\" href=\"" + href
        + "\" style=\"position:absolute;left:0;width:300px;height:100px;top:" + std::to_string(top)
        + "px\">" + id + "</a>";
}

const std::map<std::string, std::string> kPages {
    { "/links",
        "<!doctype html><html><body>" + linkAt("unknown", "kest-unknown://open/me", 0)
            + linkAt("mail", "mailto:player@127.0.0.1", 120) + linkAt("after", "/after", 240)
            + "<script>var clicked = [];"
              "document.addEventListener('click', function (e) { clicked.push(e.target.id); },"
              " true);</script></body></html>" },
    { "/after", "<!doctype html><html><body>after</body></html>" },
    { "/dialogs",
        "<!doctype html><html><body><script>"
        "function ask() { alert('a'); return JSON.stringify([confirm('c'), prompt('p', 'd')]); }"
        "</script></body></html>" },
};

// Records what reaches the desktop's opener for the schemes of the links.
class DesktopOpener final : public QObject {
    Q_OBJECT
public:
    DesktopOpener()
    {
        for (const char* scheme : { "kest-unknown", "mailto" })
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~DesktopOpener() override
    {
        for (const char* scheme : { "kest-unknown", "mailto" })
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

enum class Kind { GamePage, LoginPage };

// A page of either kind inside a window of its own.
class PageUnderTest {
public:
    explicit PageUnderTest(Kind kind)
    {
        m_window.resize(640, 480);
        if (kind == Kind::GamePage) {
            auto* game = new kest::WebUrl(&m_window);
            m_widget = game;
            m_view = game->browser();
        } else {
            m_view = new QWebEngineView(&m_window);
            m_view->setPage(new kest::LoginPage(kest::browserProfile(), m_view));
            m_widget = m_view;
        }
        m_widget->setGeometry(0, 0, 640, 480);
    }
    ~PageUnderTest()
    {
        // The page goes before the profile, from the event loop's last round.
        delete m_widget;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    bool load(const kest::test::HttpServer& server, const QString& path)
    {
        QSignalSpy finished(m_view->page(), &QWebEnginePage::loadFinished);
        m_view->page()->load(QUrl(server.url(path)));
        return finished.wait(kWaitMs) && finished.first().first().toBool();
    }
    QVariant evaluate(const QString& script)
    {
        QVariant result;
        bool done = false;
        m_view->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, kWaitMs)) << script.toStdString();
        return result;
    }
    // Clicks at `at` until the page has seen a click on the link `id`: the
    // first clicks after a load can arrive before the page takes input.
    bool clickLink(const QString& id, QPoint at)
    {
        const QString seen = QStringLiteral("clicked.indexOf('%1') >= 0").arg(id);
        return QTest::qWaitFor(
            [&] {
                if (QWidget* input = m_view->focusProxy())
                    QTest::mouseClick(input, Qt::LeftButton, {}, at);
                return evaluate(seen).toBool();
            },
            kWaitMs);
    }

    QWidget& window() { return m_window; }
    QWidget* widget() { return m_widget; }

private:
    QWidget m_window;
    QWidget* m_widget = nullptr;
    QWebEngineView* m_view = nullptr;
};

const char* kindName(Kind kind)
{
    return kind == Kind::GamePage ? "GamePage" : "LoginPage";
}

// --- links of unknown schemes

struct LinkRow {
    Kind kind;
    QString id;
    QPoint link; // where the link is on the page
};

void PrintTo(const LinkRow& row, std::ostream* os)
{
    *os << row.id.toStdString();
}

class UnknownSchemeTest : public ::testing::TestWithParam<LinkRow> { };

TEST_P(UnknownSchemeTest, AClickedLinkNeverReachesTheDesktop)
{
    kest::test::HttpServer server;
    ASSERT_TRUE(server.pages(kPages).start());
    DesktopOpener opener;
    PageUnderTest page(GetParam().kind);
    page.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page.window()));
    ASSERT_TRUE(page.load(server, QStringLiteral("/links")));

    ASSERT_TRUE(page.clickLink(GetParam().id, GetParam().link));
    // A later link, clicked after it and followed: the engine decided about
    // the first one before it started the second.
    ASSERT_TRUE(page.clickLink(QStringLiteral("after"), QPoint(150, 290)));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server.requestCount(QStringLiteral("/after")) == 1; }, kWaitMs));
    EXPECT_TRUE(opener.opened.isEmpty()) << opener.opened.first().toString().toStdString();
}

const QString kUnknown = QStringLiteral("unknown");
const QString kMail = QStringLiteral("mail");

// Both kinds of page and both kinds of scheme (one no program claims, one the
// desktop has a program for), each once.
const LinkRow kLinkRows[] = {
    { Kind::GamePage, kUnknown, QPoint(150, 50) },
    { Kind::LoginPage, kMail, QPoint(150, 170) },
};

INSTANTIATE_TEST_SUITE_P(Links, UnknownSchemeTest, ::testing::ValuesIn(kLinkRows),
    [](const ::testing::TestParamInfo<LinkRow>& info) {
        return std::string(kindName(info.param.kind)) + "_" + info.param.id.toStdString();
    });

// --- dialogs

enum class Place {
    Shown,
    NeverShown,
    HiddenInAShownWindow, // a tab behind another
    CoveredInAShownWindow, // a tab behind another, shown beneath it to keep running
    WindowHidden, // the main window hidden by F10 or the tray
    WindowHiddenFromPlayer, // the same, off the screen but shown to Qt
    WindowMinimized,
    ParkedOutOfSight, // the login page rendering before its windows show
};

struct DialogRow {
    const char* name;
    Kind kind;
    Place place;
};

void PrintTo(const DialogRow& row, std::ostream* os)
{
    *os << row.name;
}

class DialogTest : public ::testing::TestWithParam<DialogRow> {
protected:
    void SetUp() override
    {
        // Answers every dialog that opens, as a player would, and counts them.
        m_answerer.setInterval(20);
        QObject::connect(&m_answerer, &QTimer::timeout, &m_answerer, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            ++m_dialogs;
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (box && box->button(QMessageBox::Ok))
                box->button(QMessageBox::Ok)->click();
            else
                dialog->accept();
        });
        m_answerer.start();
    }
    int logLines(const QString& text) const { return int(m_events.text().count(text)); }

    kest::test::EventLog m_events;
    QTimer m_answerer;
    int m_dialogs = 0;
};

void place(PageUnderTest& page, Place where)
{
    QWidget& window = page.window();
    if (where == Place::NeverShown)
        return;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    if (where == Place::HiddenInAShownWindow)
        page.widget()->hide();
    if (where == Place::CoveredInAShownWindow) {
        auto* cover = new QWidget(page.widget()->parentWidget());
        cover->setGeometry(page.widget()->geometry());
        cover->show();
    }
    if (where == Place::WindowHidden)
        window.hide();
    if (where == Place::WindowHiddenFromPlayer)
        kest::hideFromPlayer(&window);
    if (where == Place::WindowMinimized)
        window.showMinimized();
    if (where == Place::ParkedOutOfSight)
        page.widget()->move(window.width(), window.height());
}

TEST_P(DialogTest, OnlyAShownPageGetsThem)
{
    kest::test::HttpServer server;
    ASSERT_TRUE(server.pages(kPages).start());
    PageUnderTest page(GetParam().kind);
    ASSERT_NO_FATAL_FAILURE(place(page, GetParam().place));
    ASSERT_TRUE(page.load(server, QStringLiteral("/dialogs")));

    if (GetParam().place == Place::Shown) {
        EXPECT_EQ(
            page.evaluate(QStringLiteral("ask()")).toString(), QStringLiteral("[true,\"d\"]"));
        EXPECT_EQ(m_dialogs, 3);
        EXPECT_EQ(logLines(QStringLiteral("page dialog")), 0);
        return;
    }
    // Asked again and again: no dialog, and one log line for each kind.
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(
            page.evaluate(QStringLiteral("ask()")).toString(), QStringLiteral("[false,null]"));
    EXPECT_EQ(m_dialogs, 0);
    for (const char* kind : { "alert", "confirm", "prompt" })
        EXPECT_EQ(logLines(QStringLiteral("page dialog %1 ").arg(QLatin1String(kind))), 1) << kind;
}

const DialogRow kDialogRows[] = {
    { "GamePageShown", Kind::GamePage, Place::Shown },
    { "GamePageNeverShown", Kind::GamePage, Place::NeverShown },
    { "GamePageInATabBehind", Kind::GamePage, Place::HiddenInAShownWindow },
    { "GamePageInATabCovered", Kind::GamePage, Place::CoveredInAShownWindow },
    { "GamePageInAHiddenWindow", Kind::GamePage, Place::WindowHidden },
    { "GamePageInAWindowHiddenFromPlayer", Kind::GamePage, Place::WindowHiddenFromPlayer },
    { "GamePageInAMinimizedWindow", Kind::GamePage, Place::WindowMinimized },
    { "LoginPageShown", Kind::LoginPage, Place::Shown },
    { "LoginPageParkedOutOfSight", Kind::LoginPage, Place::ParkedOutOfSight },
};

INSTANTIATE_TEST_SUITE_P(Places, DialogTest, ::testing::ValuesIn(kDialogRows),
    [](const ::testing::TestParamInfo<DialogRow>& info) { return std::string(info.param.name); });

} // namespace

int main(int argc, char* argv[])
{
    // As the program does: the app: scheme exists before the application.
    kest::LoginPage::registerAppScheme();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "browserpage_test.moc"
