#pragma once

#include <QString>

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

namespace kest::test {

// The well-behaved server of the downloader tests: cpp-httplib on 127.0.0.1, a free port.
//   /file/<n>            200, Content-Length n, n pattern bytes (patternBytes)
//   /chunked/<n>         200, chunked, n pattern bytes
//   /close-delimited/<n> 200, no Content-Length, body ends when the connection closes
//   /empty               200, Content-Length 0
//   /missing             404 with a body
//   /error               500 with a body
//   /loop                302 to itself, for ever
//   /redirect/<k>/<n>    k redirects, then /file/<n>
//   /redirect-missing    302 to /missing
//   /redirect-file       302 to file:///etc/hostname
class LocalWebServer final {
public:
    LocalWebServer();
    ~LocalWebServer();
    Q_DISABLE_COPY_MOVE(LocalWebServer)

    bool isListening() const { return m_port > 0; }
    QString url(const QString& path) const;
    int loopRequests() const { return m_loopRequests.load(); }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<int> m_loopRequests { 0 };
};

} // namespace kest::test
