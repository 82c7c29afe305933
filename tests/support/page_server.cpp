#include "tests/support/page_server.h"

#include <httplib.h>

namespace kest::test {

PageServer::PageServer(const Pages& pages)
    : m_server(std::make_unique<httplib::Server>())
{
    for (const auto& [path, html] : pages) {
        m_server->Get(path, [html](const httplib::Request&, httplib::Response& res) {
            res.set_content(html, "text/html; charset=utf-8");
        });
    }
    // One request per connection and a short wait for one: the engine keeps
    // idle connections open, which would hold up stopping the server.
    m_server->set_keep_alive_max_count(1);
    m_server->set_read_timeout(0, 200000);
    m_server->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(m_mutex);
        ++m_counts[req.path];
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const int port = m_server->bind_to_any_port("127.0.0.1");
    if (port > 0) {
        m_port = port;
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
    }
}

PageServer::~PageServer()
{
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

QString PageServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

int PageServer::requests(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_counts.find(path);
    return it == m_counts.end() ? 0 : it->second;
}

} // namespace kest::test
