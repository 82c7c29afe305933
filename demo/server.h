#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "demo/options.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace kest::demo {

class RequestLog;

// The demo game platform: the login server, the home page host and the
// static file server of one deployment, on 127.0.0.1.
class DemoServer final {
public:
    DemoServer(Options options, RequestLog& log);
    ~DemoServer();
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    // Binds 127.0.0.1 and the configured port (0: one the system picks).
    // Returns the port, or -1 when it cannot listen.
    int bind();

    // Serves until stop(); false when the server could not run.
    bool run();

    // Safe from any thread: ends run(), and wakes the responses that are
    // being paced or held open so no worker outlives it.
    void stop();

private:
    enum class Caching {
        NoStore, // rendered per request (cookie state)
        Revalidate, // always asked again: the pages a test changes
        MaxAge, // Cache-Control max-age and an ETag: what a cache keeps
    };

    void installRoutes();
    void serveAsset(const httplib::Request& req, httplib::Response& res, std::string_view path,
        Caching caching) const;
    void serveLoginPage(const httplib::Request& req, httplib::Response& res);
    void serveLogin(const httplib::Request& req, httplib::Response& res) const;
    void serveGamePage(const httplib::Request& req, httplib::Response& res) const;
    void serveGameFrame(const httplib::Request& req, httplib::Response& res) const;
    void serveManifest(const httplib::Request& req, httplib::Response& res) const;
    void serveSignature(httplib::Response& res) const;
    void serveFile(const httplib::Request& req, httplib::Response& res);

    std::string hostOf(const httplib::Request& req) const;
    // --login-mode, or the mode the login mode file names at this moment.
    LoginMode loginModeNow() const;

    // Sleeps for the duration unless stop() comes first; false when stopping.
    bool pause(std::chrono::milliseconds duration);

    Options m_options;
    RequestLog& m_log;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = -1;

    std::mutex m_stopMutex;
    std::condition_variable m_stopCondition;
    std::atomic<bool> m_stopping { false };
    std::atomic<bool> m_finished { false }; // run() has returned
};

// The embedded file at a path relative to www/, or nullopt.
std::optional<std::string_view> findAsset(std::string_view path);

} // namespace kest::demo
