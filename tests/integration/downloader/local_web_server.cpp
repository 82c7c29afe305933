#include "tests/integration/downloader/local_web_server.h"

#include "tests/support/http_fault_server.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace kest::test {

namespace {

constexpr size_t kChunk = 64 * 1024;

// Writes pattern bytes [offset, offset + length) in pieces, as httplib asks for them.
bool sendPattern(size_t offset, size_t length, httplib::DataSink& sink)
{
    std::vector<char> buffer(std::min(length, kChunk));
    while (length > 0) {
        const size_t piece = std::min(length, kChunk);
        fillPattern(buffer.data(), static_cast<qint64>(offset), piece);
        if (!sink.write(buffer.data(), piece))
            return false;
        offset += piece;
        length -= piece;
    }
    return true;
}

size_t sizeArgument(const httplib::Request& request, int index)
{
    return static_cast<size_t>(std::stoull(request.matches[index].str()));
}

} // namespace

LocalWebServer::LocalWebServer()
{
    m_server.Get(
        R"(/file/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            const size_t total = sizeArgument(request, 1);
            response.set_content_provider(total, "application/octet-stream",
                [](size_t offset, size_t length, httplib::DataSink& sink) {
                    return sendPattern(offset, length, sink);
                });
        });
    m_server.Get(
        R"(/chunked/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            const size_t total = sizeArgument(request, 1);
            response.set_chunked_content_provider(
                "application/octet-stream", [total](size_t offset, httplib::DataSink& sink) {
                    if (offset >= total) {
                        sink.done();
                        return true;
                    }
                    return sendPattern(offset, std::min(kChunk, total - offset), sink);
                });
        });
    m_server.Get(R"(/close-delimited/(\d+))",
        [](const httplib::Request& request, httplib::Response& response) {
            const size_t total = sizeArgument(request, 1);
            response.set_content_provider(
                "application/octet-stream", [total](size_t offset, httplib::DataSink& sink) {
                    if (offset >= total) {
                        sink.done();
                        return true;
                    }
                    return sendPattern(offset, std::min(kChunk, total - offset), sink);
                });
        });
    m_server.Get("/empty", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "application/octet-stream");
    });
    m_server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("no such file", "text/plain");
    });
    m_server.Get("/error", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content("server error", "text/plain");
    });
    m_server.Get("/loop", [this](const httplib::Request&, httplib::Response& response) {
        ++m_loopRequests;
        response.set_redirect("/loop");
    });
    m_server.Get(R"(/redirect/(\d+)/(\d+))",
        [](const httplib::Request& request, httplib::Response& response) {
            const size_t hops = sizeArgument(request, 1);
            const std::string size = request.matches[2].str();
            response.set_redirect(
                hops <= 1 ? "/file/" + size : "/redirect/" + std::to_string(hops - 1) + "/" + size);
        });
    m_server.Get("/redirect-missing", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/missing");
    });
    m_server.Get("/redirect-file", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("file:///etc/hostname");
    });

    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return;
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // httplib's stop() does nothing to a server that is not running yet.
    for (int waited = 0; !m_server.is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LocalWebServer::~LocalWebServer()
{
    m_server.stop();
    if (m_thread.joinable())
        m_thread.join();
}

QString LocalWebServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

} // namespace kest::test
