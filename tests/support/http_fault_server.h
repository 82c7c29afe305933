#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace kest::test {

// The bytes every test body is made of: byte i of a body is patternByte(i). The period (a
// prime, 65521) is no multiple of any block size, so a block written twice, dropped or
// shifted shows up in a comparison.
char patternByte(qint64 offset);
void fillPattern(char* out, qint64 offset, size_t length);
QByteArray patternBytes(qint64 offset, qint64 length);
// True when the file at path is exactly length pattern bytes.
bool fileHoldsPattern(const QString& path, qint64 length);

// A loopback HTTP/1.1 server that misbehaves on purpose, for what cpp-httplib cannot do:
// a Content-Length larger than the body, a reset in the middle of a body, a stall. Each path
// answers with a script of raw steps; every connection serves one request and then closes.
// An unknown path gets a 404.
class HttpFaultServer final {
public:
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

    HttpFaultServer() = default;
    ~HttpFaultServer();
    Q_DISABLE_COPY_MOVE(HttpFaultServer)

    // Listens on 127.0.0.1 on a free port; false (and the reason on stderr) if it cannot.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString url(const QString& path) const;

    void route(const QString& path, Script script);
    // Requests seen for a path (absolute-form targets, as a proxy gets them, count by path).
    int requestCount(const QString& path) const;
    // The request line and headers of the last request for a path, as received.
    QByteArray lastRequest(const QString& path) const;

private:
    void acceptLoop();
    void serve(int fd);
    bool sendAll(int fd, const char* data, size_t length);
    // Sleeps unless stop() comes first; false when stopped.
    bool sleepFor(int milliseconds);

    int m_listenFd = -1;
    quint16 m_port = 0;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
    std::vector<int> m_clientFds;
    std::map<QString, Script> m_routes;
    std::map<QString, int> m_counts;
    std::map<QString, QByteArray> m_requests;
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
