#include "tests/support/http_server.h"

#include <httplib.h>

#include <QFile>
#include <QList>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

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

HttpServer::Step HttpServer::Step::raw(const QByteArray& bytes)
{
    return { Kind::Raw, bytes };
}

HttpServer::Step HttpServer::Step::head(
    int status, qint64 contentLength, const QByteArray& extraHeaders)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + " Fault\r\n";
    if (contentLength >= 0)
        text += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    return raw(text + extraHeaders + "Connection: close\r\n\r\n");
}

HttpServer::Step HttpServer::Step::body(qint64 offset, qint64 length)
{
    return { Kind::Body, {}, offset, length };
}

HttpServer::Step HttpServer::Step::pause(int milliseconds)
{
    return { Kind::Pause, {}, 0, 0, milliseconds };
}

HttpServer::Step HttpServer::Step::reset()
{
    return { Kind::Reset, {} };
}

HttpServer::Step HttpServer::Step::hold()
{
    return { Kind::Hold, {} };
}

// Serves each accepted connection through the owner, so that the owner knows every open
// socket (and can close it in stop()) and can play a script instead of an answer.
class HttpServer::Engine final : public httplib::Server {
public:
    explicit Engine(HttpServer& owner)
        : m_owner(owner)
    {
        // A held connection takes a worker for as long as it lasts.
        new_task_queue = [] { return new httplib::ThreadPool(16); };
    }
    ~Engine() override
    {
        if (m_tls)
            SSL_CTX_free(m_tls);
    }
    bool useTls(const QString& certificate, const QString& key)
    {
        m_tls = SSL_CTX_new(TLS_server_method());
        return m_tls
            && SSL_CTX_use_certificate_chain_file(m_tls, QFile::encodeName(certificate).constData())
            == 1
            && SSL_CTX_use_PrivateKey_file(
                   m_tls, QFile::encodeName(key).constData(), SSL_FILETYPE_PEM)
            == 1;
    }
    void answer(int fd)
    {
        SSL* ssl = nullptr;
        if (m_tls) {
            ssl = SSL_new(m_tls);
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) != 1) {
                SSL_free(ssl);
                return;
            }
        }
        SocketStream stream(fd, ssl);
        bool closed = false;
        process_request(stream, true, closed, nullptr);
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
        }
    }

private:
    bool process_and_close_socket(int fd) override
    {
        m_owner.serve(fd);
        return true;
    }

    // A blocking socket (or a TLS session over one) as httplib reads and writes it; a
    // socket that stop() shut down reads and writes nothing at once.
    class SocketStream final : public httplib::Stream {
    public:
        SocketStream(int fd, SSL* ssl)
            : m_fd(fd)
            , m_ssl(ssl)
        { }
        bool is_readable() const override
        {
            return (m_ssl && SSL_pending(m_ssl) > 0) || ready(POLLIN);
        }
        bool is_writable() const override { return ready(POLLOUT); }
        ssize_t read(char* data, size_t size) override
        {
            if (!is_readable())
                return -1;
            return m_ssl ? SSL_read(m_ssl, data, static_cast<int>(size))
                         : ::recv(m_fd, data, size, 0);
        }
        ssize_t write(const char* data, size_t size) override
        {
            if (!is_writable())
                return -1;
            return m_ssl ? SSL_write(m_ssl, data, static_cast<int>(size))
                         : ::send(m_fd, data, size, MSG_NOSIGNAL);
        }
        void get_remote_ip_and_port(std::string& ip, int& port) const override
        {
            address(::getpeername, ip, port);
        }
        void get_local_ip_and_port(std::string& ip, int& port) const override
        {
            address(::getsockname, ip, port);
        }
        int socket() const override { return m_fd; }

    private:
        bool ready(short events) const
        {
            pollfd watch { m_fd, events, 0 };
            return ::poll(&watch, 1, 5000) > 0 && (watch.revents & events) != 0;
        }
        void address(int (*query)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const
        {
            sockaddr_storage where {};
            socklen_t size = sizeof where;
            char text[INET6_ADDRSTRLEN] = {};
            if (query(m_fd, reinterpret_cast<sockaddr*>(&where), &size) != 0)
                return;
            const bool v6 = where.ss_family == AF_INET6;
            const auto* in4 = reinterpret_cast<const sockaddr_in*>(&where);
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&where);
            ::inet_ntop(where.ss_family,
                v6 ? static_cast<const void*>(&in6->sin6_addr) : &in4->sin_addr, text, sizeof text);
            ip = text;
            port = ntohs(v6 ? in6->sin6_port : in4->sin_port);
        }

        int m_fd;
        SSL* m_ssl;
    };

    HttpServer& m_owner;
    SSL_CTX* m_tls = nullptr;
};

HttpServer::HttpServer(const std::string& host, const QString& certificate, const QString& key)
    : m_host(host)
    , m_engine(std::make_unique<Engine>(*this))
{
    if (!certificate.isEmpty()) {
        m_tls = true;
        m_tlsUsable = m_engine->useTls(certificate, key);
    }
    m_engine->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        QByteArray head = QByteArray::fromStdString(req.method + " " + req.path);
        for (const auto& [name, value] : req.headers)
            head += QByteArray::fromStdString("\r\n" + name + ": " + value);
        std::string host = req.get_header_value("Host");
        host = host.substr(0, host.rfind(':'));
        const QString path = routeOf(QByteArray::fromStdString(req.path));
        std::lock_guard lock(m_mutex);
        ++m_counts[path];
        m_requests[path] = head;
        m_log.push_back(
            path.toStdString() + " Host: " + host + " Cookie: " + req.get_header_value("Cookie"));
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

HttpServer::~HttpServer()
{
    stop();
}

HttpServer& HttpServer::get(const std::string& pattern, Handler handler)
{
    m_engine->Get(pattern, std::move(handler));
    return *this;
}

HttpServer& HttpServer::post(const std::string& pattern, Handler handler)
{
    m_engine->Post(pattern, std::move(handler));
    return *this;
}

HttpServer& HttpServer::page(const std::string& path, const std::string& html)
{
    return get(path, [html](const httplib::Request&, httplib::Response& res) {
        res.set_content(html, "text/html; charset=utf-8");
    });
}

HttpServer& HttpServer::pages(const std::map<std::string, std::string>& htmlByPath)
{
    for (const auto& [path, html] : htmlByPath)
        page(path, html);
    return *this;
}

void HttpServer::route(const QString& path, Script script)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(script);
}

bool HttpServer::start()
{
    if (!m_tlsUsable) {
        std::fprintf(stderr, "HttpServer: the certificate or its key cannot be used\n");
        return false;
    }
    m_port = m_engine->bind_to_any_port(m_host);
    if (m_port <= 0) {
        std::fprintf(stderr, "HttpServer: cannot listen on %s\n", m_host.c_str());
        m_port = 0;
        return false;
    }
    m_thread = std::thread([this] { m_engine->listen_after_bind(); });
    // httplib's stop() does nothing to a server that is not running yet.
    for (int waited = 0; !m_engine->is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void HttpServer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || !m_thread.joinable())
            return;
        m_stopping = true;
        // Wakes every blocked read, send, hold and pause.
        for (int fd : m_clientFds)
            ::shutdown(fd, SHUT_RDWR);
    }
    m_stopped.notify_all();
    // Closes the listener; the workers end with their connections.
    m_engine->stop();
    m_thread.join();
}

QString HttpServer::url(const QString& path) const
{
    const QString host = QString::fromStdString(m_host);
    return url(
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host, path);
}

QString HttpServer::url(const QString& host, const QString& path) const
{
    return QStringLiteral("%1://%2:%3%4")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(m_port)
        .arg(path);
}

int HttpServer::requestCount(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_counts.find(path);
    return found == m_counts.end() ? 0 : found->second;
}

QByteArray HttpServer::lastRequest(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_requests.find(path);
    return found == m_requests.end() ? QByteArray() : found->second;
}

std::vector<std::string> HttpServer::log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

void HttpServer::serve(int fd)
{
    bool scripted = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        m_clientFds.insert(fd);
        scripted = !m_routes.empty() && !m_tls;
    }
    QByteArray head;
    Script script;
    bool found = false;
    if (scripted && readHead(fd, &head)) {
        const qsizetype eol = head.indexOf("\r\n");
        const QList<QByteArray> words = (eol < 0 ? head : head.left(eol)).split(' ');
        const QString path = words.size() >= 2 ? routeOf(words.at(1)) : QString();
        std::lock_guard lock(m_mutex);
        const auto route = m_routes.find(path);
        found = route != m_routes.end();
        if (found) {
            script = route->second;
            ++m_counts[path];
            m_requests[path] = head;
        }
    }
    if (found) {
        // The request is the script's to answer: read it off the socket.
        QByteArray skip(head.size() + 4, Qt::Uninitialized);
        (void)::recv(fd, skip.data(), static_cast<size_t>(skip.size()), MSG_WAITALL);
        play(fd, script);
    } else {
        m_engine->answer(fd);
        ::shutdown(fd, SHUT_WR);
    }
    std::lock_guard lock(m_mutex);
    m_clientFds.erase(fd);
    ::close(fd);
}

bool HttpServer::readHead(int fd, QByteArray* head)
{
    // Looked at, not taken: httplib reads the request again when no script answers it.
    std::vector<char> buffer(65536);
    for (int rounds = 0; rounds < 1000; ++rounds) {
        pollfd watch { fd, POLLIN, 0 };
        if (::poll(&watch, 1, 10) < 0)
            return false;
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            return false;
        const QByteArray seen(buffer.data(), std::max<ssize_t>(got, 0));
        const qsizetype end = seen.indexOf("\r\n\r\n");
        if (end >= 0 || got == static_cast<ssize_t>(buffer.size())) {
            *head = seen.left(end);
            return end >= 0;
        }
        if (!sleepFor(5))
            return false;
    }
    return false;
}

bool HttpServer::sendAll(int fd, const char* data, size_t length)
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

bool HttpServer::sleepFor(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    return !m_stopped.wait_for(
        lock, std::chrono::milliseconds(milliseconds), [this] { return m_stopping; });
}

void HttpServer::play(int fd, const Script& script)
{
    char buffer[4096];
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
