#include "tests/support/tls.h"

#include <QFile>
#include <QProcess>

#include <cstdio>

namespace kest::test {

namespace {

bool openssl(const QString& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok)
        std::fprintf(stderr, "openssl %s failed: %s\n",
            qPrintable(arguments.join(QLatin1Char(' '))), process.readAll().constData());
    return ok;
}

} // namespace

TestCertificates::TestCertificates()
{
    const QString folder = m_dir.path();
    const QStringList ecKey { QStringLiteral("-newkey"), QStringLiteral("ec"),
        QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
        QStringLiteral("-nodes") };
    QFile extensions(m_dir.filePath(QStringLiteral("server.ext")));
    m_valid = extensions.open(QIODevice::WriteOnly)
        && extensions.write("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost,DNS:a.localhost,"
                            "DNS:b.a.localhost\n"
                            "basicConstraints=CA:FALSE\n"
                            "extendedKeyUsage=serverAuth\n")
            > 0;
    extensions.close();
    m_valid = m_valid
        && openssl(folder,
            QStringList { QStringLiteral("req"), QStringLiteral("-x509") } + ecKey
                + QStringList { QStringLiteral("-keyout"), QStringLiteral("ca.key"),
                    QStringLiteral("-out"), QStringLiteral("ca.pem"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=kest test CA") })
        && openssl(folder,
            QStringList { QStringLiteral("req") } + ecKey
                + QStringList { QStringLiteral("-keyout"), QStringLiteral("server.key"),
                    QStringLiteral("-out"), QStringLiteral("server.csr"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=127.0.0.1") })
        && openssl(folder,
            { QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                QStringLiteral("server.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                QStringLiteral("-extfile"), QStringLiteral("server.ext") });
}

} // namespace kest::test
