// CKvDownLoadFile against loopback servers: its edge cases, and one case per fault, each
// named after the fault it causes.
#include "tests/integration/downloader/downloader_fixture.h"

#include "tests/support/proxy_servers.h"
#include "tests/support/testenv.h"
#include "tests/support/tls.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using kest::CKvDownLoadFile;
using Step = kest::test::HttpServer::Step;

namespace kest::test {
namespace {

// A modal question as the owner's handler would show one: a nested event loop that runs for
// the given time.
void runModalFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

class DownloaderFaults : public DownloaderTest {
protected:
    // What every failure owes: false, Complete as the last event and only once, QueryFileInfo
    // only when the response itself was acceptable, the target folder as it was (no temporary
    // file), and one event-log line naming the cause.
    void expectCleanFailure(const QString& url, const QString& target, const QString& cause,
        bool queryFileInfoRaised, const QStringList& entriesBefore)
    {
        const int linesBefore = static_cast<int>(logLines().size());
        EXPECT_FALSE(download(url, target));
        ASSERT_FALSE(m_events.empty());
        EXPECT_EQ(m_events.back(), complete());
        EXPECT_EQ(std::count(m_events.begin(), m_events.end(), complete()), 1);
        const bool raised = m_events.front().kind == DownloadEvent::Kind::QueryFileInfo;
        EXPECT_EQ(raised, queryFileInfoRaised);
        EXPECT_EQ(outEntries(), entriesBefore);
        const QStringList lines = logLines();
        ASSERT_EQ(lines.size(), linesBefore + 1) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(lines.last().contains(cause, Qt::CaseInsensitive))
            << lines.last().toStdString() << "\n  should name: " << cause.toStdString();
    }
};

// --- Edge cases of the transfer -----------------------------------------------------------

TEST_F(DownloaderTest, EventsComeInOrderQueryLoadingGrowingComplete)
{
    const qint64 length = 100000; // 12 full blocks and a 1696-byte tail
    ASSERT_TRUE(
        download(m_web.url(QStringLiteral("/file/100000")), outPath(QStringLiteral("a.bin"))));
    EXPECT_EQ(m_events, cleanEvents(length));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("a.bin")), length));
    EXPECT_EQ(outEntries(), QStringList { QStringLiteral("a.bin") });
    EXPECT_TRUE(logLines().isEmpty()) << "a success writes no event-log line";
}

TEST_F(DownloaderTest, BodyOfExactly8192BytesRaisesOneLoading8192)
{
    ASSERT_TRUE(
        download(m_web.url(QStringLiteral("/file/8192")), outPath(QStringLiteral("b.bin"))));
    EXPECT_EQ(m_events, (std::vector { queryFileInfo(8192), loading(8192), complete() }));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("b.bin")), 8192));
}

TEST_F(DownloaderTest, BlocksAreCutAt8192EvenWhenReadsAreNot)
{
    // The fault server writes in odd pieces with pauses, so libcurl's reads straddle blocks.
    m_faults.route(QStringLiteral("/odd"),
        { Step::head(200, 20000), Step::body(0, 5000), Step::pause(50), Step::body(5000, 7000),
            Step::pause(50), Step::body(12000, 8000) });
    ASSERT_TRUE(download(m_faults.url(QStringLiteral("/odd")), outPath(QStringLiteral("odd.bin"))));
    EXPECT_EQ(m_events, cleanEvents(20000));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("odd.bin")), 20000));
}

TEST_F(DownloaderTest, RaiseEventFalseRaisesNothingOnSuccessOrFailure)
{
    EXPECT_TRUE(download(
        m_web.url(QStringLiteral("/file/30000")), outPath(QStringLiteral("c.bin")), false, false));
    EXPECT_TRUE(m_events.empty());
    EXPECT_GE(m_pumps, 4) << "the owner's event loop still runs between blocks";
    EXPECT_FALSE(download(
        m_web.url(QStringLiteral("/missing")), outPath(QStringLiteral("d.bin")), false, false));
    EXPECT_TRUE(m_events.empty()) << "not even Complete";
}

TEST_F(DownloaderTest, OnePumpPassPerBlock)
{
    ASSERT_TRUE(
        download(m_web.url(QStringLiteral("/file/81920")), outPath(QStringLiteral("e.bin"))));
    // Ten blocks, ten passes after them; idle passes while waiting may add a few.
    EXPECT_GE(m_pumps, 10);
}

TEST_F(DownloaderTest, StopFromLoadingRunsOnePassReadsNoMoreAndKeepsEarlierFile)
{
    const QString target = outPath(QStringLiteral("kest.exe"));
    writeFile(target, "the earlier launcher");
    int pumpsAtStop = -1;
    qint64 receivedAtStop = -1;
    m_onLoading = [&](qint64 received) {
        if (received >= 3 * CKvDownLoadFile::kBlockSize && pumpsAtStop < 0) {
            pumpsAtStop = m_pumps;
            receivedAtStop = received;
            m_downloader->StopDownLoad();
        }
    };
    // A server that has plenty more to send at once, so the next read would find data.
    EXPECT_FALSE(download(m_web.url(QStringLiteral("/file/4000000")), target));
    EXPECT_EQ(m_pumps - pumpsAtStop, 1) << "exactly one more event-loop pass after the stop";
    ASSERT_GE(m_events.size(), 3u);
    EXPECT_EQ(m_events[m_events.size() - 2], loading(receivedAtStop)) << "no block after the stop";
    EXPECT_EQ(m_events.back(), complete());
    EXPECT_EQ(readFile(target), QByteArray("the earlier launcher"));
    EXPECT_EQ(outEntries(), QStringList { QStringLiteral("kest.exe") }) << "no temporary file left";
    ASSERT_FALSE(logLines().isEmpty());
    EXPECT_TRUE(logLines().last().contains(QStringLiteral("stopped")));
}

TEST_F(DownloaderTest, StopFromQueryFileInfoWritesNothing)
{
    m_onQueryFileInfo = [this](qint64) { m_downloader->StopDownLoad(); };
    EXPECT_FALSE(
        download(m_web.url(QStringLiteral("/file/50000")), outPath(QStringLiteral("f.bin"))));
    EXPECT_EQ(m_events, (std::vector { queryFileInfo(50000), complete() }));
    EXPECT_TRUE(outEntries().isEmpty());
}

TEST_F(DownloaderTest, StopWhileNoTransferRunsHasNoEffectOnTheNext)
{
    m_downloader->StopDownLoad();
    EXPECT_TRUE(
        download(m_web.url(QStringLiteral("/file/20000")), outPath(QStringLiteral("g.bin"))));
    EXPECT_EQ(m_events, cleanEvents(20000));
}

TEST_F(DownloaderTest, StopFromAPassWhileTheServerIsSilent)
{
    // A cancel button reaches the transfer while no block arrives: the idle passes.
    m_faults.route(
        QStringLiteral("/slow"), { Step::head(200, 20000), Step::body(0, 8192), Step::hold() });
    m_onLoading = [this](qint64) {
        QTimer::singleShot(100ms, &m_context, [this] { m_downloader->StopDownLoad(); });
    };
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(download(m_faults.url(QStringLiteral("/slow")), outPath(QStringLiteral("h.bin"))));
    EXPECT_LT(clock.elapsed(), 2000) << "ended by the stop, not by the 3 s stall time-out";
    EXPECT_EQ(m_events, (std::vector { queryFileInfo(20000), loading(8192), complete() }));
    EXPECT_TRUE(outEntries().isEmpty());
    EXPECT_TRUE(logLines().last().contains(QStringLiteral("stopped")));
}

TEST_F(DownloaderTest, HiddenFileGetsMode0600AndReplacesAnEarlierOne)
{
    const QString target = outPath(QStringLiteral("update.txt"));
    ASSERT_TRUE(download(m_web.url(QStringLiteral("/file/300")), target, true, false));
    EXPECT_EQ(modeOf(target), 0600u);
    writeFile(target, "old manifest");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0644), 0);
    ASSERT_TRUE(download(m_web.url(QStringLiteral("/file/400")), target, true, false));
    EXPECT_EQ(modeOf(target), 0600u);
    EXPECT_TRUE(fileHoldsPattern(target, 400));
}

TEST_F(DownloaderTest, ReplacedFileKeepsItsMode)
{
    const QString target = outPath(QStringLiteral("kest"));
    writeFile(target, "old launcher");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0750), 0);
    ASSERT_TRUE(download(m_web.url(QStringLiteral("/file/9000")), target));
    EXPECT_EQ(modeOf(target), 0750u);
    EXPECT_TRUE(fileHoldsPattern(target, 9000));
}

TEST_F(DownloaderTest, NewFileTakesTheUmask)
{
    const mode_t saved = ::umask(027);
    const bool ok
        = download(m_web.url(QStringLiteral("/file/10")), outPath(QStringLiteral("new.bin")));
    ::umask(saved);
    ASSERT_TRUE(ok);
    EXPECT_EQ(modeOf(outPath(QStringLiteral("new.bin"))), 0640u);
}

TEST_F(DownloaderTest, SymbolicLinkAtTheTargetIsReplacedNotFollowed)
{
    const QString elsewhere = m_scratch.path() + QStringLiteral("/elsewhere");
    writeFile(elsewhere, "not to be written through");
    ASSERT_TRUE(QFile::link(elsewhere, outPath(QStringLiteral("link"))));
    ASSERT_TRUE(download(m_web.url(QStringLiteral("/file/100")), outPath(QStringLiteral("link"))));
    EXPECT_FALSE(QFileInfo(outPath(QStringLiteral("link"))).isSymLink());
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("link")), 100));
    EXPECT_EQ(readFile(elsewhere), QByteArray("not to be written through"));
}

TEST_F(DownloaderTest, RedirectsAreFollowedAndTheFinalStatusCounts)
{
    EXPECT_TRUE(
        download(m_web.url(QStringLiteral("/redirect/3/12345")), outPath(QStringLiteral("r.bin"))));
    EXPECT_EQ(m_events, cleanEvents(12345));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("r.bin")), 12345));
    EXPECT_FALSE(
        download(m_web.url(QStringLiteral("/redirect-missing")), outPath(QStringLiteral("r.bin"))));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("r.bin")), 12345))
        << "earlier file untouched";
}

TEST_F(DownloaderTest, RequestAsksCachesForAFreshCopy)
{
    m_faults.route(QStringLiteral("/fresh"), { Step::head(200, 5), Step::raw("fresh") });
    ASSERT_TRUE(download(m_faults.url(QStringLiteral("/fresh")), outPath(QStringLiteral("fresh"))));
    EXPECT_TRUE(
        m_faults.lastRequest(QStringLiteral("/fresh")).contains("\r\nCache-Control: no-cache"))
        << m_faults.lastRequest(QStringLiteral("/fresh")).toStdString();
}

TEST_F(DownloaderTest, ProxyComesFromTheEnvironment)
{
    // The fault server plays the proxy: it gets the absolute-form request for a host that
    // does not resolve, which only a proxy can serve.
    m_faults.route(QStringLiteral("/via-proxy"), { Step::head(200, 7), Step::raw("proxied") });
    const QByteArray saved = qgetenv("http_proxy");
    const QByteArray savedNo = qgetenv("no_proxy");
    const QByteArray savedNoUpper = qgetenv("NO_PROXY");
    qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(m_faults.port()).toLatin1());
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
    const bool ok = download(
        QStringLiteral("http://kest-origin.invalid/via-proxy"), outPath(QStringLiteral("p")));
    saved.isNull() ? qunsetenv("http_proxy") : qputenv("http_proxy", saved);
    if (!savedNo.isNull())
        qputenv("no_proxy", savedNo);
    if (!savedNoUpper.isNull())
        qputenv("NO_PROXY", savedNoUpper);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(m_faults.lastRequest(QStringLiteral("/via-proxy"))
                    .startsWith("GET http://kest-origin.invalid/via-proxy "));
    EXPECT_EQ(readFile(outPath(QStringLiteral("p"))), QByteArray("proxied"));
}

// An update file through a real proxy on loopback. Loopback goes direct, as in the browser
// engine, unless the engine's bypass list holds "<-loopback>": then both stacks send it
// through the proxy.
TEST_F(DownloaderTest, UpdateFilesGoThroughTheProxyThePagesUse)
{
    TinyProxy proxy;
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();
    m_faults.route(QStringLiteral("/files/data.pak"), { Step::head(200, 7), Step::raw("payload") });
    const QString url = m_faults.url(QStringLiteral("/files/data.pak"));
    std::map<std::string, QByteArray> env { { "http_proxy", proxy.url().toLatin1() },
        { "no_proxy", {} }, { "NO_PROXY", {} }, { "QTWEBENGINE_CHROMIUM_FLAGS", {} } };
    {
        const ScopedEnvironment direct(env);
        ASSERT_TRUE(download(url, outPath(QStringLiteral("direct.pak"))));
    }
    EXPECT_FALSE(proxy.forwarded(url)) << proxy.log().constData();

    env["QTWEBENGINE_CHROMIUM_FLAGS"] = "--proxy-bypass-list=<-loopback>";
    {
        const ScopedEnvironment proxied(env);
        ASSERT_TRUE(download(url, outPath(QStringLiteral("data.pak"))));
    }
    EXPECT_EQ(readFile(outPath(QStringLiteral("data.pak"))), QByteArray("payload"));
    EXPECT_TRUE(proxy.forwarded(url)) << proxy.log().constData();
    proxy.keepLog(artifactDir(QStringLiteral("downloader")) + QStringLiteral("/tinyproxy.log"));
}

// A socks5 proxy is used too. (An address, not "localhost": a machine whose
// localhost is ::1 as well would have the proxy try the address the fault
// server does not listen on.)
TEST_F(DownloaderTest, UpdateFilesGoThroughASocksProxy)
{
    SocksProxy proxy;
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();
    m_faults.route(QStringLiteral("/files/socks.pak"), { Step::head(200, 5), Step::raw("socks") });
    const ScopedEnvironment env({ { "http_proxy", proxy.url().toLatin1() }, { "no_proxy", {} },
        { "NO_PROXY", {} }, { "QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-bypass-list=<-loopback>" } });
    ASSERT_TRUE(download(QStringLiteral("http://127.0.0.1:%1/files/socks.pak").arg(m_faults.port()),
        outPath(QStringLiteral("socks.pak"))));
    EXPECT_EQ(readFile(outPath(QStringLiteral("socks.pak"))), QByteArray("socks"));
    EXPECT_TRUE(
        proxy.log().contains(QStringLiteral("connected to 127.0.0.1:%1").arg(m_faults.port())))
        << proxy.log().toStdString();
}

// Time in the owner's handlers is not waiting on the network: a modal question longer than
// the stall time-out must not end the transfer.
TEST_F(DownloaderTest, ModalQuestionInLoadingDoesNotCountTowardTheStall)
{
    m_downloader->setStallTimeout(500ms);
    m_faults.route(QStringLiteral("/modal"),
        { Step::head(200, 3 * 8192), Step::body(0, 8192), Step::pause(1700),
            Step::body(8192, 2 * 8192) });
    bool asked = false;
    m_onLoading = [&](qint64) {
        if (!std::exchange(asked, true))
            runModalFor(1500ms); // the server's pause ends 200 ms after it
    };
    EXPECT_TRUE(download(m_faults.url(QStringLiteral("/modal")), outPath(QStringLiteral("m.bin"))))
        << logLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(m_events, cleanEvents(3 * 8192));
}

TEST_F(DownloaderTest, ModalQuestionInAnIdlePassDoesNotCountTowardTheStall)
{
    m_downloader->setStallTimeout(500ms);
    m_faults.route(QStringLiteral("/modal-idle"),
        { Step::head(200, 2 * 8192), Step::body(0, 8192), Step::pause(1700),
            Step::body(8192, 8192) });
    m_onLoading = [this](qint64 received) {
        if (received
            == 8192) // opened by a timer, so it runs inside a pass while the server is silent
            QTimer::singleShot(50ms, &m_context, [] { runModalFor(1500ms); });
    };
    EXPECT_TRUE(
        download(m_faults.url(QStringLiteral("/modal-idle")), outPath(QStringLiteral("mi.bin"))))
        << logLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(m_events, cleanEvents(2 * 8192));
}

TEST_F(DownloaderTest, OwnerEventLoopRunsWhileTheServerIsSilent)
{
    m_faults.route(
        QStringLiteral("/pause"), { Step::head(200, 100), Step::pause(500), Step::body(0, 100) });
    ASSERT_TRUE(
        download(m_faults.url(QStringLiteral("/pause")), outPath(QStringLiteral("pause.bin"))));
    // 500 ms of silence at one pass per 20 ms at most apart.
    EXPECT_GE(m_pumps, 15);
}

TEST_F(DownloaderTest, CallFromItsOwnHandlerIsRefusedAndTheRunningOneGoesOn)
{
    bool nested = true;
    bool once = false;
    m_onLoading = [&](qint64) {
        if (!std::exchange(once, true))
            nested = m_downloader->DownLoadFile(
                m_web.url(QStringLiteral("/file/10")), outPath(QStringLiteral("n2")), false, false);
    };
    EXPECT_TRUE(download(m_web.url(QStringLiteral("/file/20000")), outPath(QStringLiteral("n1"))));
    EXPECT_FALSE(nested);
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("n1")), 20000));
    EXPECT_EQ(outEntries(), QStringList { QStringLiteral("n1") });
}

TEST_F(DownloaderTest, OwnerDeletedFromLoadingLeavesNoTemporaryFile)
{
    writeFile(outPath(QStringLiteral("o.bin")), "earlier");
    m_onLoading = [this](qint64) { m_downloader.reset(); };
    CKvDownLoadFile* raw = m_downloader.get();
    m_events.clear();
    EXPECT_FALSE(raw->DownLoadFile(
        m_web.url(QStringLiteral("/file/50000")), outPath(QStringLiteral("o.bin")), false, true));
    EXPECT_EQ(m_events, (std::vector { queryFileInfo(50000), loading(8192) }))
        << "no Complete from a dead object";
    EXPECT_EQ(readFile(outPath(QStringLiteral("o.bin"))), QByteArray("earlier"));
    EXPECT_EQ(outEntries(), QStringList { QStringLiteral("o.bin") });
}

TEST_F(DownloaderTest, SecondDownloadAfterAFailureWorks)
{
    EXPECT_FALSE(download(m_web.url(QStringLiteral("/error")), outPath(QStringLiteral("s.bin"))));
    EXPECT_TRUE(download(m_web.url(QStringLiteral("/file/777")), outPath(QStringLiteral("s.bin"))));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("s.bin")), 777));
}

// --- Bad input: each case names the fault it causes ---------------------------------------

TEST_F(DownloaderFaults, EmptyAddress)
{
    expectCleanFailure(
        QString(), outPath(QStringLiteral("x")), QStringLiteral("empty address"), false, {});
}

TEST_F(DownloaderFaults, AddressThatIsNotHttp)
{
    for (const QString& url :
        { QStringLiteral("ftp://127.0.0.1/x"), QStringLiteral("file:///etc/hostname"),
            QStringLiteral("kest.exe"), QStringLiteral("app:loadgame") }) {
        SCOPED_TRACE(url.toStdString());
        expectCleanFailure(url, outPath(QStringLiteral("x")),
            QStringLiteral("not an http or https address"), false, {});
    }
    // An app command link as the login page sends it: no valid host at all.
    expectCleanFailure(QStringLiteral("app://loadgame|http://x/"), outPath(QStringLiteral("x")),
        QStringLiteral("malformed address"), false, {});
    expectCleanFailure(QStringLiteral("http:///nohost"), outPath(QStringLiteral("x")),
        QStringLiteral("without a host"), false, {});
}

TEST_F(DownloaderFaults, UnknownHost)
{
    // .invalid never resolves (RFC 2606).
    expectCleanFailure(QStringLiteral("http://kest-no-such-host.invalid/update.txt"),
        outPath(QStringLiteral("x")), QStringLiteral("resolve"), false, {});
}

TEST_F(DownloaderFaults, RefusedPort)
{
    const int port = freePort(); // was free a moment ago: nothing listens there
    ASSERT_GT(port, 0);
    expectCleanFailure(QStringLiteral("http://127.0.0.1:%1/x").arg(port),
        outPath(QStringLiteral("x")), QStringLiteral("connect"), false, {});
}

TEST_F(DownloaderFaults, HostThatNeverAnswersTheConnection)
{
    SilentPort silent;
    ASSERT_TRUE(silent.isValid());
    m_downloader->setConnectTimeout(500ms);
    QElapsedTimer clock;
    clock.start();
    expectCleanFailure(QStringLiteral("http://127.0.0.1:%1/x").arg(silent.port()),
        outPath(QStringLiteral("x")), QStringLiteral("connect time-out"), false, {});
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_GE(m_pumps, 10) << "the owner's windows stay live while connecting";
}

TEST_F(DownloaderFaults, Status404KeepsTheEarlierFile)
{
    writeFile(outPath(QStringLiteral("kest.exe")), "earlier");
    expectCleanFailure(m_web.url(QStringLiteral("/missing")), outPath(QStringLiteral("kest.exe")),
        QStringLiteral("HTTP status 404"), false, { QStringLiteral("kest.exe") });
    EXPECT_EQ(readFile(outPath(QStringLiteral("kest.exe"))), QByteArray("earlier"));
}

TEST_F(DownloaderFaults, Status500)
{
    expectCleanFailure(m_web.url(QStringLiteral("/error")), outPath(QStringLiteral("x")),
        QStringLiteral("HTTP status 500"), false, {});
}

TEST_F(DownloaderFaults, RedirectLoop)
{
    expectCleanFailure(m_web.url(QStringLiteral("/loop")), outPath(QStringLiteral("x")),
        QStringLiteral("redirect"), false, {});
    EXPECT_EQ(m_web.requestCount(QStringLiteral("/loop")), CKvDownLoadFile::kMaxRedirects + 1);
}

TEST_F(DownloaderFaults, RedirectToAFileAddress)
{
    expectCleanFailure(m_web.url(QStringLiteral("/redirect-file")), outPath(QStringLiteral("x")),
        QStringLiteral("libcurl error 1:"), false, {});
}

TEST_F(DownloaderFaults, ChunkedBodyWithoutContentLength)
{
    expectCleanFailure(m_web.url(QStringLiteral("/chunked/20000")), outPath(QStringLiteral("x")),
        QStringLiteral("no Content-Length"), false, {});
}

TEST_F(DownloaderFaults, CloseDelimitedBodyWithoutContentLength)
{
    expectCleanFailure(m_web.url(QStringLiteral("/close-delimited/20000")),
        outPath(QStringLiteral("x")), QStringLiteral("no Content-Length"), false, {});
}

TEST_F(DownloaderFaults, EmptyBody)
{
    expectCleanFailure(m_web.url(QStringLiteral("/empty")), outPath(QStringLiteral("x")),
        QStringLiteral("empty body"), false, {});
}

TEST_F(DownloaderFaults, ContentLengthLargerThanTheBody)
{
    writeFile(outPath(QStringLiteral("kest.exe")), "earlier");
    m_faults.route(
        QStringLiteral("/short"), { Step::head(200, 50000), Step::body(0, 30000) }); // then closes
    expectCleanFailure(m_faults.url(QStringLiteral("/short")), outPath(QStringLiteral("kest.exe")),
        QStringLiteral("libcurl error 18 after 30000 of 50000 bytes"), true,
        { QStringLiteral("kest.exe") });
    EXPECT_EQ(readFile(outPath(QStringLiteral("kest.exe"))), QByteArray("earlier"));
    EXPECT_EQ(m_events[m_events.size() - 2], loading(24576)) << "only whole blocks were reported";
}

TEST_F(DownloaderFaults, ConnectionResetInTheMiddleOfTheBody)
{
    writeFile(outPath(QStringLiteral("kest.exe")), "earlier");
    m_faults.route(QStringLiteral("/reset"),
        { Step::head(200, 100000), Step::body(0, 40000), Step::pause(100), Step::reset() });
    expectCleanFailure(m_faults.url(QStringLiteral("/reset")), outPath(QStringLiteral("kest.exe")),
        QStringLiteral("libcurl error 56"), true, { QStringLiteral("kest.exe") });
    EXPECT_EQ(readFile(outPath(QStringLiteral("kest.exe"))), QByteArray("earlier"));
}

TEST_F(DownloaderFaults, ServerStallsBeforeAnswering)
{
    m_downloader->setStallTimeout(400ms);
    m_faults.route(QStringLiteral("/mute"), { Step::hold() });
    QElapsedTimer clock;
    clock.start();
    expectCleanFailure(m_faults.url(QStringLiteral("/mute")), outPath(QStringLiteral("x")),
        QStringLiteral("stall time-out"), false, {});
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(DownloaderFaults, ServerStallsInTheMiddleOfTheBody)
{
    writeFile(outPath(QStringLiteral("kest.exe")), "earlier");
    m_downloader->setStallTimeout(400ms);
    m_faults.route(
        QStringLiteral("/stall"), { Step::head(200, 100000), Step::body(0, 20000), Step::hold() });
    QElapsedTimer clock;
    clock.start();
    expectCleanFailure(m_faults.url(QStringLiteral("/stall")), outPath(QStringLiteral("kest.exe")),
        QStringLiteral("stall time-out"), true, { QStringLiteral("kest.exe") });
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(readFile(outPath(QStringLiteral("kest.exe"))), QByteArray("earlier"));
}

// A server that sends one byte now and then is never silent long enough for the stall
// time-out; the low-speed floor ends it. (The 29-s server scaled down: a byte every 300 ms
// against a 3-s stall time-out and a floor of 100 bytes/s over 1 s.) Without a floor the
// same answer arrives whole, so it is the floor that ends it, not a fault of the answer.
TEST_F(DownloaderFaults, AServerThatTricklesFailsBelowTheLowSpeedFloor)
{
    constexpr int kBytes = 12;
    HttpServer::Script trickle { Step::head(200, kBytes) };
    for (int i = 0; i < kBytes; ++i) {
        trickle.push_back(Step::pause(300));
        trickle.push_back(Step::body(i, 1));
    }
    m_faults.route(QStringLiteral("/trickle"), trickle);
    const QString url = m_faults.url(QStringLiteral("/trickle"));
    const QString target = outPath(QStringLiteral("slow.bin"));

    m_downloader->setLowSpeedFloor(0, 1s);
    EXPECT_TRUE(download(url, target));
    EXPECT_TRUE(fileHoldsPattern(target, kBytes));
    ASSERT_TRUE(QFile::remove(target));

    m_downloader->setLowSpeedFloor(100, 1s);
    expectCleanFailure(url, target, QStringLiteral("low-speed time-out"), true, {});
    EXPECT_TRUE(logLines().last().contains(QStringLiteral("floor of 100 bytes/s over 1 s")))
        << logLines().last().toStdString();
}

// An https address stays https through its redirects: one to http fails before anything
// is fetched over it, one to https is followed.
TEST_F(DownloaderFaults, AnHttpsAddressIsNeverRedirectedToHttp)
{
    const TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << "the openssl tool is needed (scripts/setup)";
    HttpServer tls("127.0.0.1", certificates.certificateFile(), certificates.keyFile());
    QString base;
    tls.get("/file", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(patternBytes(0, 100).toStdString(), "application/octet-stream");
    });
    tls.get("/to-https", [&base](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(QString(base + QStringLiteral("/file")).toStdString());
    });
    tls.get("/to-http", [this](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(m_web.url(QStringLiteral("/file/100")).toStdString());
    });
    ASSERT_TRUE(tls.start());
    base = tls.url(QString());
    const auto unset = qScopeGuard([] { qunsetenv("SSL_CERT_FILE"); });
    qputenv("SSL_CERT_FILE", QFile::encodeName(certificates.authorityFile()));

    EXPECT_TRUE(download(base + QStringLiteral("/to-https"), outPath(QStringLiteral("a.bin"))));
    EXPECT_TRUE(fileHoldsPattern(outPath(QStringLiteral("a.bin")), 100));
    expectCleanFailure(base + QStringLiteral("/to-http"), outPath(QStringLiteral("b.bin")),
        QStringLiteral("libcurl error 1:"), false, { QStringLiteral("a.bin") });
}

TEST_F(DownloaderFaults, TargetFolderDoesNotExist)
{
    expectCleanFailure(m_web.url(QStringLiteral("/file/100")),
        outPath(QStringLiteral("no-such-folder/x")), QStringLiteral("No such file or directory"),
        true, {});
}

TEST_F(DownloaderFaults, TargetFolderIsAFile)
{
    writeFile(outPath(QStringLiteral("plain")), "a file, not a folder");
    expectCleanFailure(m_web.url(QStringLiteral("/file/100")), outPath(QStringLiteral("plain/x")),
        QStringLiteral("Not a directory"), true, { QStringLiteral("plain") });
}

TEST_F(DownloaderFaults, TargetIsAFolder)
{
    ASSERT_TRUE(QDir().mkpath(outPath(QStringLiteral("kest.exe/inside"))));
    expectCleanFailure(m_web.url(QStringLiteral("/file/100")), outPath(QStringLiteral("kest.exe")),
        QStringLiteral("target is a folder"), true, { QStringLiteral("kest.exe") });
    EXPECT_TRUE(QFileInfo(outPath(QStringLiteral("kest.exe/inside"))).isDir());
}

TEST_F(DownloaderFaults, TargetFolderIsReadOnly)
{
    const QString folder = outPath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/kest.exe"), "earlier");
    const QByteArray native = QFile::encodeName(folder);
    bool mounted = false;
    if (::geteuid() == 0) {
        // Root ignores mode bits, so the folder is made read-only by a read-only bind mount.
        if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0) {
            GTEST_SKIP() << "running as root, and a read-only bind mount is not permitted here ("
                         << std::strerror(errno) << "): root would write into a mode-0555 folder";
        }
        mounted = true;
        if (::mount(nullptr, native.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr)
            != 0) {
            const int error = errno;
            ::umount2(native.constData(), MNT_DETACH);
            GTEST_SKIP() << "cannot remount the bind mount read-only: " << std::strerror(error);
        }
    } else {
        ASSERT_EQ(::chmod(native.constData(), 0555), 0);
    }
    const int linesBefore = static_cast<int>(logLines().size());
    const bool ok
        = download(m_web.url(QStringLiteral("/file/100")), folder + QStringLiteral("/kest.exe"));
    const QStringList entries
        = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QByteArray content = readFile(folder + QStringLiteral("/kest.exe"));
    if (mounted)
        ::umount2(native.constData(), MNT_DETACH);
    else
        ::chmod(native.constData(), 0755);
    EXPECT_FALSE(ok);
    EXPECT_EQ(m_events, (std::vector { queryFileInfo(100), complete() }));
    EXPECT_EQ(entries, QStringList { QStringLiteral("kest.exe") });
    EXPECT_EQ(content, QByteArray("earlier"));
    ASSERT_EQ(logLines().size(), linesBefore + 1);
    EXPECT_TRUE(logLines().last().contains(
        mounted ? QStringLiteral("Read-only file system") : QStringLiteral("Permission denied")));
}

} // namespace
} // namespace kest::test
