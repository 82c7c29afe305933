#include "tests/support/demo_server.h"

#include <QFile>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

namespace kest::test {

namespace {

constexpr int kStartMs = 15000;
// The server ends within about a second of SIGTERM; a loaded machine gets more.
constexpr int kStopMs = 10000;

} // namespace

DemoServer::DemoServer(const QStringList& arguments)
{
    const ::testing::AssertionResult started = start(arguments);
    if (!started)
        m_error = QString::fromUtf8(started.message());
}

DemoServer::~DemoServer()
{
    terminate();
}

::testing::AssertionResult DemoServer::start(QStringList arguments)
{
    const QString program = qEnvironmentVariable("KEST_DEMO_BIN");
    const qsizetype log = arguments.indexOf(QStringLiteral("--log"));
    m_logPath
        = log >= 0 ? arguments.value(log + 1) : m_dir.filePath(QStringLiteral("requests.log"));
    if (log < 0)
        arguments << QStringLiteral("--log") << m_logPath;
    if (!arguments.contains(QStringLiteral("--port")))
        arguments << QStringLiteral("--port") << QStringLiteral("0");
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(kStartMs))
        return ::testing::AssertionFailure() << "cannot start " << program.toStdString();

    static const QRegularExpression ready(
        QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n"));
    QByteArray said;
    while (m_port == 0 && m_process.waitForReadyRead(kStartMs)) {
        said += m_process.readAllStandardOutput();
        m_port = ready.match(QString::fromUtf8(said)).captured(1).toInt();
    }
    if (m_port != 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "no \"listening on\" line; stdout: " << said.constData()
        << " stderr: " << m_process.readAllStandardError().constData();
}

int DemoServer::terminate()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    const qint64 pid = m_process.processId();
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!m_process.waitForFinished(kStopMs)) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        m_process.waitForFinished(kStopMs);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QUrl DemoServer::url(const QString& pathAndQuery) const
{
    return QUrl(QStringLiteral("http://") + host() + pathAndQuery, QUrl::StrictMode);
}

QString DemoServer::fileUrl(const QString& name) const
{
    return QStringLiteral("http://%1/gamehome/kest/files/%2").arg(host(), name);
}

QString DemoServer::manifestUrl() const
{
    return QStringLiteral("http://%1/gamehome/kest/update.txt").arg(host());
}

QString DemoServer::logText() const
{
    QFile file(m_logPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList DemoServer::logLines() const
{
    return logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int DemoServer::requestsFor(const QString& path) const
{
    int count = 0;
    for (const QString& line : logLines())
        count += line.section(QLatin1Char(' '), 1, 1) == path ? 1 : 0;
    return count;
}

int DemoServer::fileRequests() const
{
    return static_cast<int>(logText().count(QStringLiteral(" /gamehome/kest/files/")));
}

QString DemoServer::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    return path;
}

} // namespace kest::test
