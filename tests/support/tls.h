#pragma once

// A certificate authority of the test's own and a server certificate it
// issued for 127.0.0.1, ::1, localhost, a.localhost and b.a.localhost, made
// with the openssl tool: the demo platform serves https with them, and the
// programs trust them through SSL_CERT_FILE as they would a company's or a
// staging platform's. (The browser engine takes every *.localhost name for
// loopback; cookie tests need names under a domain to tell host-only cookies
// from domain ones.)

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kest::test {

class TestCertificates final {
public:
    TestCertificates();
    bool isValid() const { return m_valid; }
    QString authorityFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString certificateFile() const { return m_dir.filePath(QStringLiteral("server.pem")); }
    QString keyFile() const { return m_dir.filePath(QStringLiteral("server.key")); }
    // What makes kest-demo serve https with them.
    QStringList demoArguments() const
    {
        return { QStringLiteral("--tls-cert"), certificateFile(), QStringLiteral("--tls-key"),
            keyFile() };
    }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

} // namespace kest::test
