#include "tests/support/testenv.h"

#include <QDir>
#include <QTcpServer>

namespace kest::test {

QString sourceDir()
{
    return qEnvironmentVariable("KEST_SOURCE_DIR", QStringLiteral("."));
}
QString binaryDir()
{
    return qEnvironmentVariable("KEST_BINARY_DIR", QStringLiteral("."));
}

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString artifactDir(const QString& name)
{
    const QString path = binaryDir() + QStringLiteral("/test-artifacts/") + name;
    QDir().mkpath(path);
    return path;
}

} // namespace kest::test
