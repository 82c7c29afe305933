#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace kest::test {

// The bytes every test body is made of: byte i of a body is patternByte(i). The period (a
// prime, 65521) is no multiple of any block size, so a block written twice, dropped or
// shifted shows up in a comparison.
void fillPattern(char* out, qint64 offset, size_t length);
QByteArray patternBytes(qint64 offset, qint64 length);
// True when the file at path is exactly length pattern bytes.
bool fileHoldsPattern(const QString& path, qint64 length);

// The loopback HTTP (or HTTPS) server of the tests. It listens on a port the system picks
// (port 0) and says which; well-formed answers come from cpp-httplib handlers, broken ones
// (a Content-Length larger than the body, a reset in the middle of a body, a stall) from
// scripts of raw steps played on the socket itself. Every connection serves one request.
// stop() closes the listener and every open connection before it joins the threads, so
// it never waits on a client: a test may end with a browser or a download still attached.
class HttpServer final {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    struct Step {
        enum class Kind { Raw, Body, Pause, Reset, Hold };
        Kind kind = Kind::Raw;
        QByteArray bytes;
        qint64 offset = 0;
        qint64 length = 0;
        int milliseconds = 0;

        // Bytes as they are.
        static Step raw(const QByteArray& bytes);
        // "HTTP/1.1 <status>" with the given Content-Length (-1: none) and Connection: close.
        static Step head(int status, qint64 contentLength, const QByteArray& extraHeaders = {});
        // length pattern bytes starting at offset.
        static Step body(qint64 offset, qint64 length);
        // Sends nothing for a while (cut short by stop()).
        static Step pause(int milliseconds);
        // Ends the connection with a TCP reset (SO_LINGER 0), not an orderly close.
        static Step reset();
        // Keeps the connection open and silent until the client goes or stop() runs.
        static Step hold();
    };
    using Script = std::vector<Step>;

    // On `host` ("127.0.0.1" or "::1"); with a certificate and key (PEM files), HTTPS.
    explicit HttpServer(const std::string& host = "127.0.0.1", const QString& certificate = {},
        const QString& key = {});
    ~HttpServer();
    Q_DISABLE_COPY_MOVE(HttpServer)

    // Routes are added before start(). `pattern` is a regular expression over the path.
    HttpServer& get(const std::string& pattern, Handler handler);
    HttpServer& post(const std::string& pattern, Handler handler);
    // A fixed HTML page (UTF-8).
    HttpServer& page(const std::string& path, const std::string& html);
    HttpServer& pages(const std::map<std::string, std::string>& htmlByPath);
    // A scripted answer for this exact path (absolute-form targets, as a proxy gets them,
    // count by their path). Faults are played over plain HTTP only.
    void route(const QString& path, Script script);

    // Listens and serves; false (and the reason on stderr) if it cannot, or if the
    // certificate or key given cannot be used.
    bool start();
    void stop();
    bool listening() const { return m_port > 0; }
    int port() const { return m_port; }
    QString url(const QString& path) const;
    // The same address under another host name (a.localhost...), for cookie domains.
    QString url(const QString& host, const QString& path) const;

    // Requests seen for a path.
    int requestCount(const QString& path) const;
    // The request line and headers of the last request for a path, as received.
    QByteArray lastRequest(const QString& path) const;
    // One line per request so far: "<path> Host: <name without port> Cookie: <header>".
    std::vector<std::string> log() const;

    class Engine;

private:
    friend class Engine;
    void serve(int fd);
    bool readHead(int fd, QByteArray* head);
    void play(int fd, const Script& script);
    bool sendAll(int fd, const char* data, size_t length);
    // Sleeps unless stop() comes first; false when stopped.
    bool sleepFor(int milliseconds);

    std::string m_host;
    std::unique_ptr<Engine> m_engine;
    std::thread m_thread;
    int m_port = 0;
    bool m_tls = false;
    bool m_tlsUsable = true;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::set<int> m_clientFds;
    std::map<QString, Script> m_routes;
    std::map<QString, int> m_counts;
    std::map<QString, QByteArray> m_requests;
    std::vector<std::string> m_log;
};

// A loopback port whose connection attempts hang: it listens with a backlog of 0 and one
// connection already fills the queue, so the kernel drops further SYNs. For connect
// time-outs without any network.
class SilentPort final {
public:
    SilentPort();
    ~SilentPort();
    Q_DISABLE_COPY_MOVE(SilentPort)
    bool isValid() const { return m_port != 0; }
    quint16 port() const { return m_port; }

private:
    int m_listenFd = -1;
    int m_fillerFd = -1;
    quint16 m_port = 0;
};

} // namespace kest::test
