#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace kest::test {

// The demo platform (the kest-demo program KEST_DEMO_BIN names) as a process of
// its own, on a port it picks itself (--port 0, unless the arguments name one)
// and reports on its first line, with its request log in a private folder
// unless the arguments name a --log. Ended by its PID: SIGTERM, then SIGKILL
// when it has not gone within a bounded wait. Should the test die, the server
// goes with it.
class DemoServer final {
public:
    DemoServer() = default;
    // Starts it at once; isRunning() says whether that worked, error() why not.
    explicit DemoServer(const QStringList& arguments);
    ~DemoServer();
    Q_DISABLE_COPY_MOVE(DemoServer)

    ::testing::AssertionResult start(QStringList arguments);
    bool isRunning() const { return m_port != 0; }
    QString error() const { return m_error; }
    // SIGTERM; the exit code, or -1 when it crashed or did not end in time.
    int terminate();

    int port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QUrl url(const QString& pathAndQuery) const;
    QString fileUrl(const QString& name) const;
    QString manifestUrl() const;

    QString logPath() const { return m_logPath; }
    QString logText() const;
    QStringList logLines() const;
    // Requests whose target is exactly `path`, and those of any served file.
    int requestsFor(const QString& path) const;
    int fileRequests() const;

    // A file in the server's private folder, for the arguments that name files.
    QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_logPath;
    QString m_error;
    int m_port = 0;
};

} // namespace kest::test
