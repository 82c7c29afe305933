#include "tests/support/proxy_servers.h"

#include "tests/support/testenv.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

namespace kest::test {

namespace {

// Starts `program` and waits until it accepts connections on the loopback `port`.
bool startListening(QProcess& process, const QString& program, const QStringList& arguments,
    int port, QString* error)
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        *error = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
        return false;
    }
    bool listening = false;
    (void)QTest::qWaitFor(
        [&] {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
            listening = probe.waitForConnected(500);
            return listening || process.state() != QProcess::Running;
        },
        15000);
    if (listening)
        return true;
    *error = QStringLiteral("%1 did not listen on %2: %3")
                 .arg(program)
                 .arg(port)
                 .arg(QString::fromLocal8Bit(process.readAll()));
    return false;
}

void endProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

TinyProxy::TinyProxy() = default;

TinyProxy::~TinyProxy()
{
    endProcess(m_process);
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
    return startListening(m_process, QStringLiteral("tinyproxy"),
        { QStringLiteral("-d"), QStringLiteral("-c"), config }, m_port, &m_error);
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

SocksProxy::~SocksProxy()
{
    endProcess(m_process);
}

bool SocksProxy::start()
{
    m_port = freePort();
    return startListening(m_process, QStringLiteral("microsocks"),
        { QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(m_port) },
        m_port, &m_error);
}

QString SocksProxy::url() const
{
    return QStringLiteral("socks5://127.0.0.1:%1").arg(m_port);
}

QString SocksProxy::log()
{
    // Whatever it has written and this side has not read yet, without an event loop.
    m_process.waitForReadyRead(200);
    m_log += QString::fromLocal8Bit(m_process.readAll());
    return m_log;
}

} // namespace kest::test
