#include "platform/eventlog.h"

#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <syslog.h>

namespace kest {

namespace {

QMutex& logMutex()
{
    static QMutex mutex;
    return mutex;
}

// openlog keeps the pointer it is given, so the ident must outlive every call.
QByteArray& identStorage()
{
    static QByteArray ident("kest");
    return ident;
}

bool& syslogOpen()
{
    static bool open = false;
    return open;
}

} // namespace

void setEventLogIdent(const QString& ident)
{
    QMutexLocker lock(&logMutex());
    identStorage() = ident.toUtf8();
    if (syslogOpen())
        closelog();
    openlog(identStorage().constData(), LOG_PID, LOG_USER);
    syslogOpen() = true;
}

void logEvent(const QString& line)
{
    QMutexLocker lock(&logMutex());
    const QByteArray text = line.toUtf8();
    if (!syslogOpen()) {
        openlog(identStorage().constData(), LOG_PID, LOG_USER);
        syslogOpen() = true;
    }
    syslog(LOG_WARNING, "%s", text.constData());

    const QByteArray sinkPath = qgetenv("KEST_EVENT_LOG");
    const QByteArray entry = identStorage() + ": " + text + '\n';
    if (!sinkPath.isEmpty()) {
        QFile sink(QString::fromLocal8Bit(sinkPath));
        if (sink.open(QIODevice::Append | QIODevice::WriteOnly)) {
            sink.write(entry);
            return;
        }
    }
    std::fwrite(entry.constData(), 1, static_cast<size_t>(entry.size()), stderr);
    std::fflush(stderr);
}

} // namespace kest
