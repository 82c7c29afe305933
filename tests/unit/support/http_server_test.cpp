// The loopback HTTP server of the tests, spoken to over plain sockets so that
// a client can stop half-way, hold a connection or never read.
#include "tests/support/http_server.h"

#include <QTcpSocket>

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>

namespace {

using kest::test::HttpServer;

// A client connected to the server's port, over IPv4 or IPv6.
std::unique_ptr<QTcpSocket> connectTo(int port, bool v6 = false)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(
        v6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, static_cast<quint16>(port));
    return socket->waitForConnected(5000) ? std::move(socket) : nullptr;
}

// Everything until the server closes (or 10 s of silence).
std::string readAll(QTcpSocket& socket)
{
    QByteArray got;
    while (socket.waitForReadyRead(10000))
        got += socket.readAll();
    got += socket.readAll();
    return got.toStdString();
}

void send(QTcpSocket& socket, const std::string& bytes)
{
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket.waitForBytesWritten(5000);
}

std::string get(const std::string& path)
{
    return "GET " + path + " HTTP/1.1\r\nHost: a.localhost:1\r\nCookie: c=1\r\n\r\n";
}

TEST(HttpServer, AnswersHandlersScriptsAndUnknownPathsAndCountsThem)
{
    HttpServer server;
    server.page("/page", "<p>page</p>");
    server.route(QStringLiteral("/fault"),
        { HttpServer::Step::head(200, 10), HttpServer::Step::raw("short") });
    ASSERT_TRUE(server.start());
    ASSERT_GT(server.port(), 0);
    struct Row {
        std::string request;
        std::string starts;
        std::string ends;
    };
    const Row rows[] = {
        { get("/page"), "HTTP/1.1 200", "<p>page</p>" },
        { get("/fault?x=1"), "HTTP/1.1 200 Fault\r\nContent-Length: 10", "short" },
        { "GET http://127.0.0.1:1/fault HTTP/1.1\r\n\r\n", "HTTP/1.1 200 Fault", "short" },
        { get("/other"), "HTTP/1.1 404", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        const auto client = connectTo(server.port());
        ASSERT_TRUE(client);
        send(*client, row.request);
        const std::string answer = readAll(*client);
        EXPECT_EQ(answer.rfind(row.starts, 0), 0u) << answer;
        EXPECT_EQ(answer.substr(answer.size() - row.ends.size()), row.ends) << answer;
    }
    EXPECT_EQ(server.requestCount(QStringLiteral("/page")), 1);
    EXPECT_EQ(server.requestCount(QStringLiteral("/fault")), 2);
    EXPECT_EQ(server.requestCount(QStringLiteral("/other")), 1);
    EXPECT_TRUE(server.lastRequest(QStringLiteral("/fault")).startsWith("GET http://"));
    ASSERT_FALSE(server.log().empty());
    EXPECT_EQ(server.log().front(), "/page Host: a.localhost Cookie: c=1");
}

TEST(HttpServer, ListensOnIpv6Loopback)
{
    HttpServer server("::1");
    server.page("/", "six");
    ASSERT_TRUE(server.start());
    EXPECT_EQ(
        server.url(QStringLiteral("/")), QStringLiteral("http://[::1]:%1/").arg(server.port()));
    const auto client = connectTo(server.port(), true);
    ASSERT_TRUE(client);
    send(*client, get("/"));
    EXPECT_NE(readAll(*client).find("six"), std::string::npos);
}

TEST(HttpServer, DoesNotStartWithACertificateItCannotUse)
{
    HttpServer server("127.0.0.1", QStringLiteral("/nonexistent/server.pem"),
        QStringLiteral("/nonexistent/server.key"));
    EXPECT_FALSE(server.start());
    EXPECT_FALSE(server.listening());
}

// Whatever a client is doing, tearing the server down ends its connection and
// closes the port (a hang here ends in the test's time-out).
TEST(HttpServer, TearsDownWithClientsStillConnected)
{
    struct Row {
        const char* name;
        std::string sent; // what the client sends before the teardown
    };
    const Row rows[] = {
        { "connected, silent", "" },
        { "half a request", "GET /page HTTP/1.1\r\nHost: x" },
        { "a held answer", get("/hold") },
        { "an answer it does not read", get("/big") },
        { "none at all (stopped at once)", "-" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int port = 0;
        std::unique_ptr<QTcpSocket> client;
        {
            HttpServer server;
            server.route(QStringLiteral("/hold"),
                { HttpServer::Step::head(200, 100), HttpServer::Step::hold() });
            server.get("/big", [](const httplib::Request&, httplib::Response& res) {
                res.set_content(std::string(64 << 20, 'x'), "application/octet-stream");
            });
            ASSERT_TRUE(server.start());
            port = server.port();
            if (row.sent != "-") {
                client = connectTo(port);
                ASSERT_TRUE(client);
                send(*client, row.sent);
            }
        }
        if (client)
            readAll(*client); // ends: the server closed its side
        EXPECT_FALSE(connectTo(port)) << "the port still accepts";
    }
}

} // namespace
