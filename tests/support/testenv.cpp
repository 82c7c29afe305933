#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

#include <gtest/gtest.h>

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

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

EventLog::EventLog()
    : m_path(m_dir.filePath(QStringLiteral("events.log")))
    , m_env({ { "KEST_EVENT_LOG", QFile::encodeName(m_path) } })
{
    if (!m_dir.isValid())
        ADD_FAILURE() << "no folder for the event log: " << m_dir.errorString().toStdString();
}

} // namespace kest::test
