// The bundled demo platform (demo/, kest-demo): started as the real binary on
// a free port and questioned through QNetworkAccessManager, with its cookie
// jar, the way the launcher's browser and downloader will use it.
#include "tests/support/demo_server.h"
#include "tests/support/testenv.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <memory>

using kest::test::DemoServer;

namespace {

constexpr int kWaitMs = 10000;

struct Reply {
    int status = 0;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;

    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

Reply finish(QNetworkReply* raw)
{
    const std::unique_ptr<QNetworkReply> reply(raw);
    if (!reply->isFinished()) {
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(kWaitMs);
    }
    return { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
        reply->rawHeaderPairs() };
}

Reply get(QNetworkAccessManager& network, const QUrl& url, const QByteArray& ifNoneMatch = {})
{
    QNetworkRequest request(url);
    if (!ifNoneMatch.isEmpty())
        request.setRawHeader("If-None-Match", ifNoneMatch);
    return finish(network.get(request));
}

Reply postForm(QNetworkAccessManager& network, const QUrl& url, const QUrlQuery& form)
{
    QNetworkRequest request(url);
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    return finish(network.post(request, form.toString(QUrl::FullyEncoded).toUtf8()));
}

QByteArray someBytes(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 7)) & 0xff);
    return bytes;
}

} // namespace

TEST(DemoServer, ManifestListsVersionAndFilesAsTheUpdaterReadsThem)
{
    DemoServer demo;
    const QByteArray updater = someBytes(3000, 1);
    const QByteArray launcher = someBytes(200000, 2); // several download blocks
    ASSERT_TRUE(
        demo.start({ QStringLiteral("--version"), QStringLiteral("2.3.4"), QStringLiteral("--file"),
            QStringLiteral("Update=") + demo.writeFile(QStringLiteral("u"), updater),
            QStringLiteral("--file"),
            QStringLiteral("kest=") + demo.writeFile(QStringLiteral("k"), launcher) }));
    QNetworkAccessManager network;

    const Reply manifest = get(network, demo.url(QStringLiteral("/gamehome/kest/update.txt")));
    ASSERT_EQ(manifest.status, 200);
    const QByteArray base = "http://" + demo.host().toLatin1() + "/gamehome/kest/files/";
    EXPECT_EQ(manifest.body,
        "version=2.3.4\r\n"
        "Update|"
            + base
            + "Update\r\n"
              "kest|"
            + base + "kest\r\n");

    // Read as the launcher's update check and the updater read it: lines end at CR (an LF alone
    // would not end one); the version is the ninth character on of the first line containing
    // "version"; every other line's second field is a URL whose part after the last "/" names the
    // file; the launcher comes last.
    const QList<QByteArray> lines = manifest.body.split('\r');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].toLower().contains("version"));
    EXPECT_EQ(lines[0].mid(8).trimmed(), "2.3.4");
    const QByteArray expected[] = { updater, launcher };
    for (int i = 0; i < 2; ++i) {
        const QByteArray line = lines[i + 1].mid(1); // after the LF of the line before
        SCOPED_TRACE(line.constData());
        EXPECT_FALSE(line.toLower().contains("version"));
        const QByteArray address = line.split('|').value(1);
        EXPECT_EQ(address.mid(address.lastIndexOf('/') + 1), i == 0 ? "Update" : "kest");

        const Reply file = get(network, QUrl(QString::fromLatin1(address), QUrl::StrictMode));
        EXPECT_EQ(file.status, 200);
        EXPECT_EQ(file.body, expected[i]);
        EXPECT_EQ(file.header("Content-Length"), QByteArray::number(expected[i].size()));
    }
    EXPECT_EQ(lines[3], "\n");

    EXPECT_EQ(get(network, demo.url(QStringLiteral("/gamehome/kest/files/other"))).status, 404);
    EXPECT_EQ(demo.terminate(), 0);
}

TEST(DemoServer, ManifestNamesTheBuildsOwnVersionByDefault)
{
    DemoServer demo;
    ASSERT_TRUE(demo.start({}));
    QNetworkAccessManager network;
    EXPECT_EQ(get(network, demo.url(QStringLiteral("/gamehome/kest/update.txt"))).body,
        "version=" KEST_DEMO_EXPECTED_VERSION "\r\n");
    EXPECT_EQ(demo.terminate(), 0);
}

TEST(DemoServer, ManifestFileIsServedVerbatimAndReadAgainOnEveryRequest)
{
    DemoServer demo;
    const QByteArray damaged = "VERSION = 1.1.0\nno separator here\n\xff\x00tail";
    const QString path = demo.writeFile(QStringLiteral("damaged.txt"), damaged);
    ASSERT_TRUE(demo.start({ QStringLiteral("--manifest-file"), path }));
    QNetworkAccessManager network;
    EXPECT_EQ(get(network, demo.url(QStringLiteral("/gamehome/kest/update.txt"))).body, damaged);

    demo.writeFile(QStringLiteral("damaged.txt"), "version=9.9.9\r\n");
    EXPECT_EQ(get(network, demo.url(QStringLiteral("/gamehome/kest/update.txt"))).body,
        "version=9.9.9\r\n");
    EXPECT_EQ(demo.terminate(), 0);
}

TEST(DemoServer, LoginPageMeetsTheLaunchersRequirements)
{
    DemoServer demo;
    ASSERT_TRUE(demo.start({}));
    QNetworkAccessManager network;

    const Reply page = get(network, demo.url(QStringLiteral("/pcLogin/")));
    ASSERT_EQ(page.status, 200);
    const QString html = QString::fromUtf8(page.body);
    // Inner HTML of the document element: what lies between <html ...> and </html>.
    const qsizetype open = html.indexOf(QLatin1Char('>'), html.indexOf(QStringLiteral("<html")));
    const qsizetype close = html.lastIndexOf(QStringLiteral("</html>"));
    EXPECT_GT(close - open - 1, 1500);

    // Both ways to the game: a link the player clicks and a script assignment.
    EXPECT_TRUE(html.contains(
        QStringLiteral("href=\"app://loadgame|http://") + demo.host() + QStringLiteral("/game/")));
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"app://minimize\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"app://exitgame\"")));
    EXPECT_FALSE(html.contains(QStringLiteral("contextmenu")));

    ASSERT_TRUE(html.contains(QStringLiteral("href=\"/pcLogin/login.css\"")));
    const Reply css = get(network, demo.url(QStringLiteral("/pcLogin/login.css")));
    EXPECT_EQ(css.status, 200);
    EXPECT_TRUE(css.body.contains("background: #fefefe;")) << "the transparent colour key";

    ASSERT_TRUE(html.contains(QStringLiteral("src=\"/pcLogin/login.js\"")));
    const Reply script = get(network, demo.url(QStringLiteral("/pcLogin/login.js")));
    EXPECT_EQ(script.status, 200);
    EXPECT_TRUE(script.body.contains("window.location.href = 'app://loadgame|' + data.game;"));
    EXPECT_TRUE(
        script.body.contains("enterLink.setAttribute('href', 'app://loadgame|' + data.game);"));

    EXPECT_EQ(demo.terminate(), 0);
}

TEST(DemoServer, LoginSetsASessionAndAPersistentCookieThatTheGamePageReports)
{
    DemoServer demo;
    ASSERT_TRUE(demo.start({}));
    auto network = std::make_unique<QNetworkAccessManager>();
    network->setCookieJar(new QNetworkCookieJar(network.get()));

    const Reply refused = postForm(*network, demo.url(QStringLiteral("/pcLogin/login")),
        QUrlQuery(QStringLiteral("username=a|b")));
    EXPECT_EQ(refused.status, 400) << "a \"|\" would split the app link";

    QUrlQuery form;
    form.addQueryItem(QStringLiteral("username"), QStringLiteral("张三"));
    const Reply login = postForm(*network, demo.url(QStringLiteral("/pcLogin/login")), form);
    ASSERT_EQ(login.status, 200);
    const QString game
        = QStringLiteral("http://") + demo.host() + QStringLiteral("/game/%E5%BC%A0%E4%B8%89");
    EXPECT_EQ(login.body, "{\"account\":\"张三\",\"game\":\"" + game.toUtf8() + "\"}");

    const QList<QNetworkCookie> cookies = network->cookieJar()->cookiesForUrl(QUrl(game));
    ASSERT_EQ(cookies.size(), 2);
    QByteArray sessionToken;
    QNetworkCookie persistent;
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.name() == "kest_session") {
            EXPECT_TRUE(cookie.isSessionCookie());
            EXPECT_TRUE(cookie.isHttpOnly());
            sessionToken = cookie.value();
        } else {
            EXPECT_EQ(cookie.name(), "kest_account");
            EXPECT_FALSE(cookie.isSessionCookie());
            persistent = cookie;
        }
    }
    ASSERT_FALSE(sessionToken.isEmpty());

    Reply page = get(*network, QUrl(game));
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("<title>张三 - 摘星</title>"));
    EXPECT_TRUE(page.body.contains("session cookie: yes"));
    EXPECT_TRUE(page.body.contains("persistent cookie: yes"));

    // Without the session cookie (a cache cleaning that lost it, say).
    network->setCookieJar(new QNetworkCookieJar(network.get()));
    network->cookieJar()->insertCookie(persistent);
    page = get(*network, QUrl(game + QStringLiteral("?frames=1")));
    EXPECT_TRUE(page.body.contains("session cookie: no"));
    EXPECT_TRUE(page.body.contains("persistent cookie: yes"));
    EXPECT_TRUE(page.body.contains("src=\"/game/%E5%BC%A0%E4%B8%89/frame\""));
    EXPECT_EQ(
        get(*network, demo.url(QStringLiteral("/game/%E5%BC%A0%E4%B8%89/frame"))).status, 200);
    network.reset();

    // One line per request, in order, with the Cookie header it carried.
    EXPECT_EQ(demo.terminate(), 0);
    const QStringList log = demo.logLines().filter(QRegularExpression(QStringLiteral("^[A-Z]+ ")));
    ASSERT_EQ(log.size(), 5) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log[0], QStringLiteral("POST /pcLogin/login Cookie: "));
    EXPECT_EQ(log[1], QStringLiteral("POST /pcLogin/login Cookie: "));
    EXPECT_TRUE(log[2].startsWith(QStringLiteral("GET /game/%E5%BC%A0%E4%B8%89 Cookie: ")));
    EXPECT_TRUE(
        log[2].contains(QStringLiteral("kest_session=") + QString::fromLatin1(sessionToken)));
    EXPECT_TRUE(log[2].contains(QStringLiteral("kest_account=")));
    EXPECT_TRUE(log[3].startsWith(
        QStringLiteral("GET /game/%E5%BC%A0%E4%B8%89?frames=1 Cookie: kest_account=")));
    EXPECT_TRUE(log[4].startsWith(
        QStringLiteral("GET /game/%E5%BC%A0%E4%B8%89/frame Cookie: kest_account=")));
}

TEST(DemoServer, GameResourceIsCacheableAndRevalidates)
{
    DemoServer demo;
    ASSERT_TRUE(demo.start({}));
    QNetworkAccessManager network;
    network.setCache(nullptr);

    const Reply page = get(network, demo.url(QStringLiteral("/game/alice")));
    EXPECT_TRUE(page.body.contains("<script src=\"/static/game.js\"></script>"));
    EXPECT_EQ(page.header("Cache-Control"), "no-store");

    const Reply script = get(network, demo.url(QStringLiteral("/static/game.js")));
    ASSERT_EQ(script.status, 200);
    EXPECT_EQ(script.header("Cache-Control"), "public, max-age=3600");
    const QByteArray tag = script.header("ETag");
    ASSERT_FALSE(tag.isEmpty());
    EXPECT_EQ(get(network, demo.url(QStringLiteral("/static/game.js")), tag).status, 304);
    EXPECT_EQ(demo.terminate(), 0);
}

TEST(DemoServer, LoginModesPlayAFailingPlatform)
{
    QNetworkAccessManager network;
    {
        DemoServer demo;
        ASSERT_TRUE(demo.start({ QStringLiteral("--login-mode"), QStringLiteral("short") }));
        const Reply page = get(network, demo.url(QStringLiteral("/pcLogin/")));
        EXPECT_EQ(page.status, 200);
        EXPECT_LT(QString::fromUtf8(page.body).size(), 1500);
        EXPECT_EQ(demo.terminate(), 0);
    }
    {
        DemoServer demo;
        ASSERT_TRUE(demo.start({ QStringLiteral("--login-mode"), QStringLiteral("error500") }));
        EXPECT_EQ(get(network, demo.url(QStringLiteral("/pcLogin/"))).status, 500);
        EXPECT_EQ(demo.terminate(), 0);
    }
    {
        DemoServer demo;
        ASSERT_TRUE(demo.start({ QStringLiteral("--login-mode"), QStringLiteral("error404long") }));
        const Reply page = get(network, demo.url(QStringLiteral("/pcLogin/")));
        EXPECT_EQ(page.status, 404);
        EXPECT_GE(QString::fromUtf8(page.body).size(), 1500);
        EXPECT_EQ(demo.terminate(), 0);
    }
    {
        // The page starts but never completes; SIGTERM still ends the server
        // cleanly rather than waiting for the response (terminate() gives up
        // and reports failure should it hang), and the held response ends
        // with the connection, short of its last chunk.
        DemoServer demo;
        ASSERT_TRUE(demo.start({ QStringLiteral("--login-mode"), QStringLiteral("slow") }));
        std::unique_ptr<QNetworkReply> reply(
            network.get(QNetworkRequest(demo.url(QStringLiteral("/pcLogin/")))));
        QSignalSpy headers(reply.get(), &QNetworkReply::metaDataChanged);
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        EXPECT_TRUE(headers.wait(kWaitMs));
        EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        EXPECT_FALSE(finished.wait(2500));

        EXPECT_EQ(demo.terminate(), 0);
        EXPECT_TRUE(reply->isFinished() || finished.wait(kWaitMs)) << "the held response went on";
        EXPECT_NE(reply->error(), QNetworkReply::NoError) << "the cut page passed for whole";
    }
}

TEST(DemoServer, ListensOnTheGivenPort)
{
    const int port = kest::test::freePort();
    ASSERT_GT(port, 0);
    DemoServer demo;
    ASSERT_TRUE(demo.start({ QStringLiteral("--port"), QString::number(port) }));
    EXPECT_EQ(demo.port(), port);
    QNetworkAccessManager network;
    EXPECT_EQ(get(network, demo.url(QStringLiteral("/"))).status, 200);
    EXPECT_EQ(demo.terminate(), 0);
}

TEST(DemoServer, RefusesABadCommandLineWithAClearMessage)
{
    struct Case {
        const char* name;
        QStringList arguments;
        const char* message;
    };
    const QString missing = QStringLiteral("/nonexistent/kest-demo-test");
    const QString readable = QCoreApplication::applicationFilePath();
    const Case cases[] = {
        { "unknown option", { QStringLiteral("--bogus") }, "unknown option '--bogus'" },
        { "missing value", { QStringLiteral("--port") }, "option --port needs a value" },
        { "port out of range", { QStringLiteral("--port"), QStringLiteral("70000") },
            "--port: '70000'" },
        { "file without name", { QStringLiteral("--file"), QStringLiteral("kest") },
            "is not NAME=PATH" },
        { "file name with version",
            { QStringLiteral("--file"), QStringLiteral("Version.txt=") + missing },
            "'Version.txt' is not a usable file name" },
        { "unreadable file", { QStringLiteral("--file"), QStringLiteral("kest=") + missing },
            "cannot read" },
        { "unknown login mode", { QStringLiteral("--login-mode=fast") }, "--login-mode: 'fast'" },
        { "manifest file missing", { QStringLiteral("--manifest-file"), missing }, "cannot read" },
        { "login page missing", { QStringLiteral("--login-page"), missing }, "cannot read" },
        { "login delay not a number", { QStringLiteral("--login-delay=-5") },
            "--login-delay: '-5'" },
        { "login delay too long", { QStringLiteral("--login-delay=600001") },
            "--login-delay: '600001'" },
        { "signature file missing", { QStringLiteral("--signature-file"), missing },
            "cannot read" },
        { "certificate without its key", { QStringLiteral("--tls-cert"), readable },
            "--tls-cert and --tls-key go together" },
        { "certificate missing",
            { QStringLiteral("--tls-cert"), missing, QStringLiteral("--tls-key"), readable },
            "--tls-cert: cannot read" },
        { "stray argument", { QStringLiteral("8080") }, "unknown option '8080'" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess process;
        process.start(qEnvironmentVariable("KEST_DEMO_BIN"), c.arguments);
        ASSERT_TRUE(process.waitForFinished(kWaitMs));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 2);
        const QByteArray error = process.readAllStandardError();
        EXPECT_TRUE(error.startsWith("kest-demo: ")) << error.constData();
        EXPECT_TRUE(error.contains(c.message)) << error.constData();
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    }

    QProcess help;
    help.start(qEnvironmentVariable("KEST_DEMO_BIN"), { QStringLiteral("--help") });
    ASSERT_TRUE(help.waitForFinished(kWaitMs));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().startsWith("Usage: kest-demo"));
}
