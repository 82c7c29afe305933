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

ScopedEnvironment::ScopedEnvironment(const std::map<std::string, QByteArray>& values)
{
    for (const auto& [name, value] : values) {
        m_saved[name] = qEnvironmentVariableIsSet(name.c_str())
            ? std::optional(qgetenv(name.c_str()))
            : std::nullopt;
        if (value.isNull())
            qunsetenv(name.c_str());
        else
            qputenv(name.c_str(), value);
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (const auto& [name, value] : m_saved) {
        if (value)
            qputenv(name.c_str(), *value);
        else
            qunsetenv(name.c_str());
    }
}

} // namespace kest::test
