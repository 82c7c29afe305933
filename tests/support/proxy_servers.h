#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kest::test {

// A real HTTP proxy for tests: tinyproxy in the foreground on a free loopback
// port, with a configuration written for it and its log (LogLevel Connect:
// one line per request) in a folder of its own. Ended in the destructor.
class TinyProxy final {
public:
    TinyProxy();
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    // Starts it and waits until it accepts connections; false (with the
    // reason in error()) when it did not.
    bool start();
    QString error() const { return m_error; }
    int port() const { return m_port; }
    // "http://127.0.0.1:PORT"
    QString url() const;

    // The requests it forwarded, as its log gives them: "GET http://... HTTP/1.1".
    QStringList requests() const;
    bool forwarded(const QString& absoluteUrl) const;
    QByteArray log() const;
    // Copies the log to `path` (a test's artefact).
    bool keepLog(const QString& path) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// A real socks5 proxy for tests: microsocks on a free loopback port. Its
// output names each connection it made ("connected to 127.0.0.1:PORT").
class SocksProxy final {
public:
    SocksProxy() = default;
    ~SocksProxy();
    SocksProxy(const SocksProxy&) = delete;
    SocksProxy& operator=(const SocksProxy&) = delete;

    bool start();
    QString error() const { return m_error; }
    // "socks5://127.0.0.1:PORT"
    QString url() const;
    // What it wrote so far.
    QString log();

private:
    QProcess m_process;
    int m_port = 0;
    QString m_error;
    QString m_log;
};

} // namespace kest::test
