#include "demo/server.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

#include <httplib.h>

#include "demo/assets.h"
#include "demo/content.h"
#include "demo/requestlog.h"

namespace kest::demo {

namespace {

constexpr int kCacheMaxAgeSeconds = 3600;

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(bytes).str();
}

std::string newSessionToken()
{
    static thread_local std::mt19937_64 generator { std::random_device {}() };
    char buffer[33];
    std::snprintf(buffer, sizeof buffer, "%016llx%016llx",
        static_cast<unsigned long long>(generator()), static_cast<unsigned long long>(generator()));
    return buffer;
}

std::string trimmed(std::string text)
{
    const auto notSpace
        = [](unsigned char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return text;
}

void setHtml(httplib::Response& res, std::string body)
{
    res.set_content(std::move(body), "text/html; charset=utf-8");
}

std::string_view assetOrEmpty(std::string_view path)
{
    return findAsset(path).value_or(std::string_view());
}

} // namespace

std::optional<std::string_view> findAsset(std::string_view path)
{
    for (std::size_t i = 0; i < kAssetCount; ++i) {
        if (kAssets[i].path == path)
            return kAssets[i].bytes;
    }
    return std::nullopt;
}

DemoServer::DemoServer(Options options, RequestLog& log)
    : m_options(std::move(options))
    , m_log(log)
    , m_server(m_options.tlsCertFile.empty()
              ? std::make_unique<httplib::Server>()
              : std::make_unique<httplib::SSLServer>(
                  m_options.tlsCertFile.c_str(), m_options.tlsKeyFile.c_str()))
{
    // A browser keeps several connections open and a held-open login page
    // occupies one worker for good: the library's default of eight workers
    // runs out with two browsers against the server.
    m_server->new_task_queue = [] { return new httplib::ThreadPool(64); };
    // Idle keep-alive connections are only dropped after this time, and
    // stopping waits for them.
    m_server->set_keep_alive_timeout(1);
    installRoutes();
}

DemoServer::~DemoServer() = default;

int DemoServer::bind()
{
    if (!m_server->is_valid())
        return -1; // a certificate or key that does not load
    if (m_options.port == 0)
        m_port = m_server->bind_to_any_port("127.0.0.1");
    else
        m_port = m_server->bind_to_port("127.0.0.1", m_options.port) ? m_options.port : -1;
    return m_port;
}

bool DemoServer::run()
{
    const bool served = m_stopping ? true : m_server->listen_after_bind();
    m_finished = true;
    return served;
}

void DemoServer::stop()
{
    {
        const std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopCondition.notify_all();
    // The library only stops a server whose accept loop runs: a stop that
    // comes between bind() and run() waits for the loop to start.
    while (!m_finished && !m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    m_server->stop();
}

bool DemoServer::pause(std::chrono::milliseconds duration)
{
    std::unique_lock lock(m_stopMutex);
    return !m_stopCondition.wait_for(lock, duration, [this] { return m_stopping.load(); });
}

std::string DemoServer::hostOf(const httplib::Request& req) const
{
    return requestHost(req.get_header_value("Host"), "127.0.0.1:" + std::to_string(m_port));
}

void DemoServer::installRoutes()
{
    httplib::Server& server = *m_server;

    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        // Logged on arrival, so a page that is never answered in full is in
        // the log too.
        m_log.request(req.method, req.target, req.get_header_value("Cookie"));
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty() && !res.content_provider_)
            setHtml(res,
                "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"
                    + std::to_string(res.status) + "</title></head><body><h1>"
                    + std::to_string(res.status) + "</h1></body></html>\n");
    });

    server.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
        serveAsset(req, res, "index.html", Caching::Revalidate);
    });
    server.Get("/pcLogin", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/pcLogin/", 301);
    });
    server.Get("/pcLogin/",
        [this](const httplib::Request& req, httplib::Response& res) { serveLoginPage(req, res); });
    server.Get(R"(/pcLogin/(login\.css|login\.js))",
        [this](const httplib::Request& req, httplib::Response& res) {
            serveAsset(req, res, "pcLogin/" + req.matches[1].str(), Caching::Revalidate);
        });
    server.Post("/pcLogin/login",
        [this](const httplib::Request& req, httplib::Response& res) { serveLogin(req, res); });
    server.Get(R"(/static/([A-Za-z0-9_.-]+))",
        [this](const httplib::Request& req, httplib::Response& res) {
            serveAsset(req, res, "static/" + req.matches[1].str(), Caching::MaxAge);
        });
    server.Get(R"(/game/([^/]+))",
        [this](const httplib::Request& req, httplib::Response& res) { serveGamePage(req, res); });
    // A game page's pace reports (?pace=1): only the request log keeps them.
    server.Get(R"(/game/([^/]+)/pace)", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.status = 204;
    });
    server.Get(R"(/game/([^/]+)/frame)",
        [this](const httplib::Request& req, httplib::Response& res) { serveGameFrame(req, res); });
    server.Get("/gamehome/kest/update.txt",
        [this](const httplib::Request& req, httplib::Response& res) { serveManifest(req, res); });
    server.Get("/gamehome/kest/update.txt.minisig",
        [this](const httplib::Request&, httplib::Response& res) { serveSignature(res); });
    server.Get(R"(/gamehome/kest/files/([^/]+))",
        [this](const httplib::Request& req, httplib::Response& res) { serveFile(req, res); });
}

void DemoServer::serveAsset(const httplib::Request& req, httplib::Response& res,
    std::string_view path, Caching caching) const
{
    const auto bytes = findAsset(path);
    if (!bytes) {
        res.status = 404;
        return;
    }
    switch (caching) {
    case Caching::NoStore:
        res.set_header("Cache-Control", "no-store");
        break;
    case Caching::Revalidate:
        res.set_header("Cache-Control", "no-cache");
        break;
    case Caching::MaxAge: {
        const std::string tag = entityTag(*bytes);
        res.set_header("Cache-Control", "public, max-age=" + std::to_string(kCacheMaxAgeSeconds));
        res.set_header("ETag", tag);
        if (req.get_header_value("If-None-Match") == tag) {
            res.status = 304;
            return;
        }
        break;
    }
    }
    res.set_content(std::string(*bytes), contentTypeFor(path).c_str());
}

void DemoServer::serveLoginPage(const httplib::Request& req, httplib::Response& res)
{
    res.set_header("Cache-Control", "no-store");
    if (m_options.loginDelayMs > 0 && !pause(std::chrono::milliseconds(m_options.loginDelayMs)))
        return; // stopping
    const LoginMode mode = loginModeNow();
    switch (mode) {
    case LoginMode::Normal:
    case LoginMode::Error404Long: {
        if (mode == LoginMode::Error404Long)
            res.status = 404;
        const std::string host = hostOf(req);
        std::optional<std::string> own;
        if (!m_options.loginPageFile.empty()) {
            own = readWholeFile(m_options.loginPageFile);
            if (!own) {
                m_log.note("login page " + m_options.loginPageFile + " unreadable");
                res.status = 500;
                return;
            }
        }
        setHtml(res,
            renderTemplate(own ? std::string_view(*own) : assetOrEmpty("pcLogin/index.html"),
                { { "HOST", htmlEscape(host) }, { "GAME_BASE", htmlEscape(gameAddress(host, "")) },
                    { "VERSION", htmlEscape(m_options.version) } }));
        return;
    }
    case LoginMode::Short:
        setHtml(res, std::string(assetOrEmpty("pcLogin/short.html")));
        return;
    case LoginMode::Error500:
        res.status = 500;
        setHtml(res, std::string(assetOrEmpty("errors/500.html")));
        return;
    case LoginMode::Slow: {
        // Headers and the start of a page, then a trickle that never ends:
        // the document never completes, as with a server that hangs.
        const std::string head(assetOrEmpty("pcLogin/slow.html"));
        res.set_chunked_content_provider("text/html; charset=utf-8",
            [this, head, sent = false](std::size_t, httplib::DataSink& sink) mutable {
                if (!sent) {
                    sent = true;
                    return sink.write(head.data(), head.size());
                }
                if (!pause(std::chrono::seconds(2)) || !sink.is_writable())
                    return false; // drops the connection without a last chunk
                return sink.write("\n", 1);
            });
        return;
    }
    }
}

LoginMode DemoServer::loginModeNow() const
{
    if (m_options.loginModeFile.empty())
        return m_options.loginMode;
    const std::optional<std::string> text = readWholeFile(m_options.loginModeFile);
    if (!text) {
        m_log.note("login mode file " + m_options.loginModeFile + " unreadable; --login-mode used");
        return m_options.loginMode;
    }
    const std::string content = trimmed(*text);
    const std::string word = content.substr(0, content.find_first_of(" \t\r\n"));
    if (word.empty())
        return m_options.loginMode;
    if (const std::optional<LoginMode> mode = parseLoginMode(word))
        return *mode;
    m_log.note("login mode file names no mode ('" + word.substr(0, 40) + "'); --login-mode used");
    return m_options.loginMode;
}

void DemoServer::serveLogin(const httplib::Request& req, httplib::Response& res) const
{
    res.set_header("Cache-Control", "no-store");
    const std::string account = trimmed(req.get_param_value("username"));
    if (!isValidAccount(account)) {
        res.status = 400;
        res.set_content(
            "{\"error\":" + jsonString("账号须为 1 到 24 个字符：字母、数字、_、- 或中文") + "}",
            "application/json; charset=utf-8");
        return;
    }
    // Both cookies are set by the answer the page waits for, so they are
    // stored before the page navigates to the app link.
    res.set_header("Set-Cookie",
        std::string(kSessionCookie) + "=" + newSessionToken() + "; Path=/; HttpOnly; SameSite=Lax");
    res.set_header("Set-Cookie",
        std::string(kPersistentCookie) + "=" + percentEncode(account)
            + "; Path=/; Max-Age=" + std::to_string(kPersistentCookieMaxAge) + "; SameSite=Lax");
    res.set_content("{\"account\":" + jsonString(account)
            + ",\"game\":" + jsonString(gameAddress(hostOf(req), account)) + "}",
        "application/json; charset=utf-8");
}

void DemoServer::serveGamePage(const httplib::Request& req, httplib::Response& res) const
{
    const std::string account = req.matches[1].str();
    if (!isValidAccount(account)) {
        res.status = 404;
        return;
    }
    const std::string cookies = req.get_header_value("Cookie");
    const auto present = [&cookies](std::string_view name) {
        const auto value = cookieValue(cookies, name);
        return value && !value->empty();
    };
    const bool session = present(kSessionCookie);
    const bool persistent = present(kPersistentCookie);

    std::string frame;
    if (req.get_param_value("frames") == "1") {
        frame = "<iframe id=\"news-frame\" class=\"news-frame\" title=\"公告\" src=\"/game/"
            + htmlEscape(percentEncode(account)) + "/frame\"></iframe>";
    }
    std::string bodyClass = session && persistent ? "signed-in" : "signed-out";
    if (req.get_param_value("tall") == "1")
        bodyClass += " tall";

    res.set_header("Cache-Control", "no-store");
    setHtml(res,
        renderTemplate(assetOrEmpty("game/game.html"),
            { { "ACCOUNT", htmlEscape(account) }, { "SESSION_COOKIE", session ? "yes" : "no" },
                { "PERSISTENT_COOKIE", persistent ? "yes" : "no" }, { "BODY_CLASS", bodyClass },
                { "FRAME", frame } }));
}

void DemoServer::serveGameFrame(const httplib::Request& req, httplib::Response& res) const
{
    const std::string account = req.matches[1].str();
    if (!isValidAccount(account)) {
        res.status = 404;
        return;
    }
    res.set_header("Cache-Control", "no-store");
    setHtml(res,
        renderTemplate(assetOrEmpty("game/frame.html"), { { "ACCOUNT", htmlEscape(account) } }));
}

void DemoServer::serveManifest(const httplib::Request& req, httplib::Response& res) const
{
    res.set_header("Cache-Control", "no-cache");
    if (!m_options.manifestFile.empty()) {
        // Read on every request, so a test can change it between two checks.
        const auto bytes = readWholeFile(m_options.manifestFile);
        if (!bytes) {
            res.status = 500;
            return;
        }
        res.set_content(*bytes, "text/plain");
        return;
    }
    res.set_content(buildManifest(m_options.version, m_options.files, hostOf(req),
                        m_options.tlsCertFile.empty() ? "http" : "https"),
        "text/plain");
}

void DemoServer::serveSignature(httplib::Response& res) const
{
    res.set_header("Cache-Control", "no-cache");
    const auto bytes
        = m_options.signatureFile.empty() ? std::nullopt : readWholeFile(m_options.signatureFile);
    if (!bytes) {
        res.status = 404;
        return;
    }
    res.set_content(*bytes, "text/plain");
}

void DemoServer::serveFile(const httplib::Request& req, httplib::Response& res)
{
    const std::string name = req.matches[1].str();
    const auto file = std::find_if(m_options.files.begin(), m_options.files.end(),
        [&name](const ServedFile& f) { return f.name == name; });
    if (file == m_options.files.end()) {
        res.status = 404;
        return;
    }
    // Read on every request, so a test can rebuild a file while the server runs.
    auto bytes = readWholeFile(file->localPath);
    if (!bytes) {
        res.status = 500;
        return;
    }
    res.set_header("Cache-Control", "no-cache");
    if (m_options.fileRate == 0) {
        res.set_content(std::move(*bytes), "application/octet-stream");
        return;
    }

    // Paced: blocks of a twentieth of a second each, so a client sees steady
    // progress; the length is still announced exactly.
    const std::uint64_t rate = m_options.fileRate;
    const std::size_t block
        = static_cast<std::size_t>(std::clamp<std::uint64_t>(rate / 20, 1, 8192));
    const auto content = std::make_shared<std::string>(std::move(*bytes));
    res.set_content_provider(content->size(), "application/octet-stream",
        [this, content, block, rate](
            std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const std::size_t count = std::min(block, length);
            if (!sink.write(content->data() + offset, count))
                return false;
            return pause(std::chrono::milliseconds(count * 1000 / rate));
        });
}

} // namespace kest::demo
