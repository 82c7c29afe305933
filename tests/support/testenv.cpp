#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

#include <sys/stat.h>

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

unsigned modeOf(const QString& path)
{
    struct stat st { };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QString artifactDir(const QString& name)
{
    const QString path = binaryDir() + QStringLiteral("/test-artifacts/") + name;
    QDir().mkpath(path);
    return path;
}

} // namespace kest::test
