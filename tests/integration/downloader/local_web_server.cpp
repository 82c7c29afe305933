#include "tests/integration/downloader/local_web_server.h"

#include <httplib.h>

#include <algorithm>
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

void addDownloadRoutes(HttpServer& server)
{
    server.get(R"(/file/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        const size_t total = sizeArgument(request, 1);
        response.set_content_provider(total, "application/octet-stream",
            [](size_t offset, size_t length, httplib::DataSink& sink) {
                return sendPattern(offset, length, sink);
            });
    });
    server.get(
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
    server.get(R"(/close-delimited/(\d+))",
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
    server.get("/empty", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "application/octet-stream");
    });
    server.get("/missing", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("no such file", "text/plain");
    });
    server.get("/error", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content("server error", "text/plain");
    });
    server.get("/loop", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/loop");
    });
    server.get(R"(/redirect/(\d+)/(\d+))",
        [](const httplib::Request& request, httplib::Response& response) {
            const size_t hops = sizeArgument(request, 1);
            const std::string size = request.matches[2].str();
            response.set_redirect(
                hops <= 1 ? "/file/" + size : "/redirect/" + std::to_string(hops - 1) + "/" + size);
        });
    server.get("/redirect-missing", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/missing");
    });
    server.get("/redirect-file", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("file:///etc/hostname");
    });
}

} // namespace kest::test
