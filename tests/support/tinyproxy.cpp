#include "tests/support/tinyproxy.h"

#include "tests/support/testenv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>

namespace kest::test {

TinyProxy::TinyProxy() = default;

TinyProxy::~TinyProxy()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool TinyProxy::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    m_port = freePort();
    const QString config = m_dir.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    file.write(QStringLiteral("Port %1\n"
                              "Listen 127.0.0.1\n"
                              "Allow 127.0.0.1\n"
                              "Timeout 60\n"
                              "MaxClients 50\n"
                              "LogLevel Connect\n"
                              "LogFile \"%2\"\n")
                   .arg(m_port)
                   .arg(m_dir.filePath(QStringLiteral("tinyproxy.log")))
                   .toUtf8());
    file.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(
        QStringLiteral("tinyproxy"), { QStringLiteral("-d"), QStringLiteral("-c"), config });
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("tinyproxy did not start: %1").arg(m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_port));
        if (probe.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    m_error = QStringLiteral("tinyproxy did not listen on %1: %2")
                  .arg(m_port)
                  .arg(QString::fromLocal8Bit(m_process.readAll()));
    return false;
}

QString TinyProxy::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QByteArray TinyProxy::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("tinyproxy.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList TinyProxy::requests() const
{
    // CONNECT ... : Request (file descriptor 5): GET http://127.0.0.1:1/x HTTP/1.1
    static const QRegularExpression request(
        QStringLiteral("Request \\(file descriptor \\d+\\): (.*)$"),
        QRegularExpression::MultilineOption);
    QStringList lines;
    const QString text = QString::fromUtf8(log());
    for (auto match = request.globalMatch(text); match.hasNext();)
        lines << match.next().captured(1).trimmed();
    return lines;
}

bool TinyProxy::forwarded(const QString& absoluteUrl) const
{
    const QStringList lines = requests();
    return std::any_of(lines.begin(), lines.end(),
        [&](const QString& line) { return line.section(QLatin1Char(' '), 1, 1) == absoluteUrl; });
}

bool TinyProxy::keepLog(const QString& path) const
{
    QFile::remove(path);
    return QFile::copy(m_dir.filePath(QStringLiteral("tinyproxy.log")), path);
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
