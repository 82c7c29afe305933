// kest-demo: the bundled demo game platform. See `kest-demo --help`.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <unistd.h>

#include "demo/options.h"
#include "demo/requestlog.h"
#include "demo/server.h"

int main(int argc, char* argv[])
{
    using namespace kest::demo;

    const ParseResult parsed = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kest-demo: %s\nTry 'kest-demo --help'.\n", parsed.error.c_str());
        return 2;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    // SIGTERM and SIGINT are taken by one thread with sigwait, blocked before
    // any other thread exists so that every thread inherits the mask. A
    // browser that drops a connection must not end the server through SIGPIPE.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    RequestLog log;
    if (!log.open(options.logPath)) {
        std::fprintf(stderr, "kest-demo: cannot open the log file '%s': %s\n",
            options.logPath.c_str(), std::strerror(errno));
        return 1;
    }

    DemoServer server(options, log);
    const int port = server.bind();
    if (port < 0) {
        std::fprintf(stderr,
            options.tlsCertFile.empty()
                ? "kest-demo: cannot listen on 127.0.0.1:%d\n"
                : "kest-demo: cannot listen on 127.0.0.1:%d (or load the certificate and key)\n",
            options.port);
        return 1;
    }
    log.note("kest-demo listening on 127.0.0.1:" + std::to_string(port));
    std::printf("listening on 127.0.0.1:%d\n", port);
    std::fflush(stdout);

    std::thread signalWaiter([&server, &stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });

    const bool served = server.run();

    // When the server ended by itself, wake the waiter with a signal of our
    // own; after a real signal this one stays pending (blocked) and is lost
    // with the process.
    kill(getpid(), SIGTERM);
    signalWaiter.join();
    log.note("kest-demo stopped");
    return served ? 0 : 1;
}
