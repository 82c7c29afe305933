#include "platform/terminationsignals.h"

#include "platform/eventlog.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kest {

namespace {

int g_signalPipe[2] = { -1, -1 };
QPointer<QSocketNotifier> g_notifier;

void writeSignalByte(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool onTerminationSignals(QObject* context, std::function<void()> onSignal)
{
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        logEvent(QStringLiteral("no pipe for termination signals: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    delete g_notifier.data();
    g_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(g_notifier.data(), &QSocketNotifier::activated, g_notifier.data(),
        [onSignal = std::move(onSignal)] {
            char bytes[16];
            while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
            onSignal();
        });
    struct sigaction action = {};
    action.sa_handler = writeSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : { SIGTERM, SIGINT })
        ::sigaction(signal, &action, nullptr);
    return true;
}

} // namespace kest
