#include "tests/support/http_fault_server.h"

#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kest::test {

namespace {

constexpr qint64 kPatternPeriod = 65521;

const std::vector<char>& patternTable()
{
    static const std::vector<char> table = [] {
        std::vector<char> bytes(kPatternPeriod);
        quint32 state = 2463534242u; // xorshift32: cheap, and no visible period inside a block
        for (char& byte : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state & 0xff);
        }
        return bytes;
    }();
    return table;
}

// The path part of a request target, for origin-form ("/x") and absolute-form
// ("http://host/x", as sent to a proxy).
QString routeOf(const QByteArray& target)
{
    QByteArray path = target;
    const int scheme = path.indexOf("://");
    if (scheme >= 0) {
        const int slash = path.indexOf('/', scheme + 3);
        path = slash >= 0 ? path.mid(slash) : QByteArray("/");
    }
    const int query = path.indexOf('?');
    if (query >= 0)
        path.truncate(query);
    return QString::fromLatin1(path);
}

} // namespace

char patternByte(qint64 offset)
{
    return patternTable()[static_cast<size_t>(offset % kPatternPeriod)];
}

void fillPattern(char* out, qint64 offset, size_t length)
{
    const std::vector<char>& table = patternTable();
    while (length > 0) {
        const qint64 at = offset % kPatternPeriod;
        const size_t piece = std::min<size_t>(length, static_cast<size_t>(kPatternPeriod - at));
        std::memcpy(out, table.data() + at, piece);
        out += piece;
        offset += static_cast<qint64>(piece);
        length -= piece;
    }
}

QByteArray patternBytes(qint64 offset, qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    fillPattern(bytes.data(), offset, static_cast<size_t>(length));
    return bytes;
}

bool fileHoldsPattern(const QString& path, qint64 length)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != length)
        return false;
    constexpr qint64 kChunk = 1 << 20;
    QByteArray expected(kChunk, Qt::Uninitialized);
    for (qint64 offset = 0; offset < length; offset += kChunk) {
        const qint64 piece = std::min(kChunk, length - offset);
        const QByteArray got = file.read(piece);
        fillPattern(expected.data(), offset, static_cast<size_t>(piece));
        if (got.size() != piece || std::memcmp(got.constData(), expected.constData(), piece) != 0)
            return false;
    }
    return true;
}

HttpFaultServer::Step HttpFaultServer::Step::raw(const QByteArray& bytes)
{
    Step step;
    step.kind = Kind::Raw;
    step.bytes = bytes;
    return step;
}

HttpFaultServer::Step HttpFaultServer::Step::head(
    int status, qint64 contentLength, const QByteArray& extraHeaders)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + " Fault\r\n";
    if (contentLength >= 0)
        text += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    text += extraHeaders;
    text += "Connection: close\r\n\r\n";
    return raw(text);
}

HttpFaultServer::Step HttpFaultServer::Step::body(qint64 offset, qint64 length)
{
    Step step;
    step.kind = Kind::Body;
    step.offset = offset;
    step.length = length;
    return step;
}

HttpFaultServer::Step HttpFaultServer::Step::pause(int milliseconds)
{
    Step step;
    step.kind = Kind::Pause;
    step.milliseconds = milliseconds;
    return step;
}

HttpFaultServer::Step HttpFaultServer::Step::reset()
{
    Step step;
    step.kind = Kind::Reset;
    return step;
}

HttpFaultServer::Step HttpFaultServer::Step::hold()
{
    Step step;
    step.kind = Kind::Hold;
    return step;
}

HttpFaultServer::~HttpFaultServer()
{
    stop();
}

bool HttpFaultServer::start()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), size) != 0
        || ::listen(m_listenFd, 64) != 0
        || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "HttpFaultServer: cannot listen: %s\n", std::strerror(errno));
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void HttpFaultServer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_listenFd < 0)
            return;
        m_stopping = true;
        // Wakes the accept and every blocked send or hold.
        ::shutdown(m_listenFd, SHUT_RDWR);
        for (int fd : m_clientFds)
            ::shutdown(fd, SHUT_RDWR);
    }
    m_stopped.notify_all();
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers)
        worker.join();
    ::close(m_listenFd);
    m_listenFd = -1;
}

QString HttpFaultServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void HttpFaultServer::route(const QString& path, Script script)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(script);
}

int HttpFaultServer::requestCount(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_counts.find(path);
    return found == m_counts.end() ? 0 : found->second;
}

QByteArray HttpFaultServer::lastRequest(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_requests.find(path);
    return found == m_requests.end() ? QByteArray() : found->second;
}

void HttpFaultServer::acceptLoop()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (fd < 0)
            continue;
        m_clientFds.push_back(fd);
        m_workers.emplace_back([this, fd] { serve(fd); });
    }
}

bool HttpFaultServer::sendAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool HttpFaultServer::sleepFor(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    return !m_stopped.wait_for(
        lock, std::chrono::milliseconds(milliseconds), [this] { return m_stopping; });
}

void HttpFaultServer::serve(int fd)
{
    QByteArray request;
    char buffer[4096];
    while (!request.contains("\r\n\r\n") && request.size() < 65536) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, got);
    }
    const QByteArray head = request.left(request.indexOf("\r\n\r\n"));
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? routeOf(words.at(1)) : QString();

    Script script;
    {
        std::lock_guard lock(m_mutex);
        ++m_counts[path];
        m_requests[path] = head;
        const auto found = m_routes.find(path);
        if (found != m_routes.end())
            script = found->second;
        else
            script = { Step::head(404, 9), Step::raw("not found") };
    }

    bool open = true;
    bool resetDone = false;
    for (const Step& step : script) {
        if (!open)
            break;
        switch (step.kind) {
        case Step::Kind::Raw:
            open = sendAll(fd, step.bytes.constData(), static_cast<size_t>(step.bytes.size()));
            break;
        case Step::Kind::Body: {
            std::vector<char> chunk(64 * 1024);
            for (qint64 at = step.offset; open && at < step.offset + step.length;) {
                const size_t piece = std::min<qint64>(chunk.size(), step.offset + step.length - at);
                fillPattern(chunk.data(), at, piece);
                open = sendAll(fd, chunk.data(), piece);
                at += static_cast<qint64>(piece);
            }
            break;
        }
        case Step::Kind::Pause:
            open = sleepFor(step.milliseconds);
            break;
        case Step::Kind::Reset: {
            const linger hard { 1, 0 };
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            resetDone = true;
            open = false;
            break;
        }
        case Step::Kind::Hold:
            // Until the client closes (readable with 0 bytes) or stop() shuts the socket.
            for (;;) {
                pollfd watch { fd, POLLIN, 0 };
                if (::poll(&watch, 1, 100) > 0) {
                    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                    if (got <= 0)
                        break;
                }
                std::lock_guard lock(m_mutex);
                if (m_stopping)
                    break;
            }
            open = false;
            break;
        }
    }
    if (!resetDone)
        ::shutdown(fd, SHUT_WR);
    std::lock_guard lock(m_mutex);
    std::erase(m_clientFds, fd);
    ::close(fd);
}

SilentPort::SilentPort()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), size) != 0
        || ::listen(m_listenFd, 0) != 0
        || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return;
    // This connection takes the one place in the accept queue and is never accepted.
    m_fillerFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fillerFd < 0 || ::connect(m_fillerFd, reinterpret_cast<sockaddr*>(&address), size) != 0)
        return;
    m_port = ntohs(address.sin_port);
}

SilentPort::~SilentPort()
{
    if (m_fillerFd >= 0)
        ::close(m_fillerFd);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

} // namespace kest::test
