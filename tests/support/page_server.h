#pragma once

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace kest::test {

// A loopback HTTP server with fixed HTML pages (UTF-8), for tests that load
// real pages in the browser engine. Counts the requests of each path; any
// other path gets a 404.
class PageServer final {
public:
    using Pages = std::map<std::string, std::string>; // path -> HTML
    explicit PageServer(const Pages& pages);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    bool listening() const { return m_port > 0; }
    QString url(const QString& path) const;
    int requests(const std::string& path) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::map<std::string, int> m_counts;
};

} // namespace kest::test
