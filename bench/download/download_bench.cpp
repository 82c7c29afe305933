// download_bench: what the downloader's design costs. One loopback server, one file size
// (256 MiB unless told otherwise), and in the same run, alternating, a few repetitions of:
//   downloader        CKvDownLoadFile under a QCoreApplication, its event pump active (one
//                     processEvents pass per 8192-byte block, a 10 ms timer in the loop)
//   downloader_nopump the same with a pass that does nothing: the cost of everything but
//                     the event loop itself
//   libcurl8k         plain libcurl, 8192-byte buffer, each block written as it comes, no
//                     pump: the floor of this design
//   libcurl8k_staged  the same, writing through a 256 KiB buffer as the downloader does, so
//                     the pump's and the events' own cost shows apart from the write batching
//   curl_cli          the curl program, its own -w %{speed_download}
// Medians are printed, then the ratios and the longest wait between two event-loop passes
// of the downloader (call start to first pass and last pass to return included).
//
// Google Benchmark is not used: it runs one case to the end before the next, and here the
// cases must alternate so that disk and page-cache drift hits all of them alike.
//
// Usage: download_bench [--size-mib N] [--reps N] [--dir FOLDER]
#include "updater/CKvDownLoadFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <curl/curl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Serves every request with `size` bytes from memory, one thread per connection.
class LoopbackServer {
public:
    explicit LoopbackServer(qint64 size)
        : m_size(size)
        , m_body(1 << 20)
    {
        for (size_t i = 0; i < m_body.size(); ++i)
            m_body[i] = static_cast<char>((i * 131 + i / 4099) & 0xff);
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(m_fd, 16) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("download_bench: server");
            std::exit(2);
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackServer()
    {
        m_stopping = true;
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/file.bin").arg(m_port); }

private:
    void acceptLoop()
    {
        std::vector<std::thread> workers;
        for (;;) {
            const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (m_stopping) {
                if (client >= 0)
                    ::close(client);
                break;
            }
            if (client >= 0)
                workers.emplace_back([this, client] { serve(client); });
        }
        for (std::thread& worker : workers)
            worker.join();
    }
    void serve(int client)
    {
        char request[8192];
        qint64 got = 0;
        while (got < qint64(sizeof request)) {
            const ssize_t n = ::recv(client, request + got, sizeof request - got, 0);
            if (n <= 0)
                break;
            got += n;
            if (std::string_view(request, got).find("\r\n\r\n") != std::string_view::npos)
                break;
        }
        const QByteArray head
            = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
            + QByteArray::number(m_size) + "\r\nConnection: close\r\n\r\n";
        bool open = ::send(client, head.constData(), head.size(), MSG_NOSIGNAL) == head.size();
        for (qint64 left = m_size; open && left > 0;) {
            const ssize_t sent = ::send(
                client, m_body.data(), std::min<qint64>(left, m_body.size()), MSG_NOSIGNAL);
            open = sent > 0;
            left -= sent;
        }
        ::shutdown(client, SHUT_WR);
        ::close(client);
    }

    const qint64 m_size;
    std::vector<char> m_body;
    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping { false };
    std::thread m_thread;
};

struct PlainSink {
    int fd = -1;
    std::vector<char> stage; // empty: each block written at once
    size_t staged = 0;
    bool ok = true;

    void put(const char* data, size_t length)
    {
        if (stage.empty()) {
            ok = ok && ::write(fd, data, length) == ssize_t(length);
            return;
        }
        if (staged + length > stage.size())
            flush();
        std::memcpy(stage.data() + staged, data, length);
        staged += length;
    }
    void flush()
    {
        ok = ok && ::write(fd, stage.data(), staged) == ssize_t(staged);
        staged = 0;
    }
};

size_t plainWrite(char* data, size_t size, size_t count, void* sink)
{
    static_cast<PlainSink*>(sink)->put(data, size * count);
    return size * count;
}

// CPU time of the calling thread: the client's own work, whatever else the machine runs.
double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// Bytes per second, or 0 on failure.
double runPlainLibcurl(const QString& url, const QString& target, qint64 size, bool staged)
{
    PlainSink sink;
    sink.fd = ::open(
        QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (staged)
        sink.stage.resize(256 * 1024);
    CURL* easy = curl_easy_init();
    const QByteArray address = url.toLatin1();
    curl_easy_setopt(easy, CURLOPT_URL, address.constData());
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 8192L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &plainWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    const Clock::time_point start = Clock::now();
    const CURLcode result = curl_easy_perform(easy);
    if (staged)
        sink.flush();
    const double elapsed = seconds(Clock::now() - start);
    curl_easy_cleanup(easy);
    ::close(sink.fd);
    const bool ok = result == CURLE_OK && sink.ok && QFileInfo(target).size() == size;
    return ok ? size / elapsed : 0;
}

double runCurlCli(const QString& curl, const QString& url, const QString& target, qint64 size)
{
    QProcess process;
    process.start(curl,
        { QStringLiteral("-sS"), QStringLiteral("-o"), target, QStringLiteral("-w"),
            QStringLiteral("%{speed_download}"), url });
    if (!process.waitForFinished(600000) || process.exitCode() != 0
        || QFileInfo(target).size() != size) {
        std::fprintf(stderr, "curl failed: %s\n", process.readAllStandardError().constData());
        return 0;
    }
    return process.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qint64 sizeMiB = 256;
    int reps = 5;
    QString folder;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--size-mib"))
            sizeMiB = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--reps"))
            reps = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            folder = args[i + 1];
    }
    const qint64 size = sizeMiB << 20;
    QTemporaryDir scratch(folder.isEmpty()
            ? QDir::tempPath() + QStringLiteral("/kest-download-bench-XXXXXX")
            : folder + QStringLiteral("/kest-download-bench-XXXXXX"));
    if (!scratch.isValid() || sizeMiB <= 0 || reps <= 0) {
        std::fprintf(stderr, "usage: download_bench [--size-mib N] [--reps N] [--dir FOLDER]\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    LoopbackServer server(size);
    const QString curlProgram = QStandardPaths::findExecutable(QStringLiteral("curl"));

    // Something for the pump to serve, as a window's timers would be.
    int ticks = 0;
    QTimer ui;
    QObject::connect(&ui, &QTimer::timeout, &app, [&ticks] { ++ticks; });
    ui.start(10);

    kest::CKvDownLoadFile downloader;
    Clock::time_point lastPass;
    Clock::duration longestGap {};
    qint64 passes = 0;
    downloader.setEventPump([&] {
        const Clock::time_point now = Clock::now();
        longestGap = std::max(longestGap, now - lastPass);
        kest::CKvDownLoadFile::defaultEventPump();
        lastPass = Clock::now();
        ++passes;
    });
    qint64 lastLoading = 0;
    QObject::connect(&downloader, &kest::CKvDownLoadFile::Loading, &app,
        [&lastLoading](qint64 received) { lastLoading = received; });

    // The same class with a pass that does nothing: what the rest of the design costs.
    kest::CKvDownLoadFile withoutPump;
    withoutPump.setEventPump([] {});
    QObject::connect(&withoutPump, &kest::CKvDownLoadFile::Loading, &app,
        [&lastLoading](qint64 received) { lastLoading = received; });

    enum Method { Downloader, DownloaderNoPump, Libcurl8k, Libcurl8kStaged, CurlCli, MethodCount };
    const char* const names[MethodCount]
        = { "downloader", "downloader_nopump", "libcurl8k", "libcurl8k_staged", "curl_cli" };
    std::vector<double> speeds[MethodCount];
    std::vector<double> cpuSeconds[MethodCount]; // in-process methods only
    const QString target = scratch.path() + QStringLiteral("/file.bin");

    std::printf("size_mib: %lld\nreps: %d\nurl: %s\n", static_cast<long long>(sizeMiB), reps,
        qPrintable(server.url()));
    for (int rep = 0; rep < reps; ++rep) {
        for (int k = 0; k < MethodCount; ++k) {
            // The order turns each repetition, so no method always follows the same one.
            const Method method = Method((k + rep) % MethodCount);
            QFile::remove(target);
            double speed = 0;
            const double cpuStart = threadCpuSeconds();
            switch (method) {
            case Downloader: {
                const Clock::time_point start = Clock::now();
                lastPass = start;
                lastLoading = 0;
                const bool ok = downloader.DownLoadFile(server.url(), target, false, true);
                const Clock::time_point end = Clock::now();
                longestGap = std::max(longestGap, end - lastPass);
                speed = ok && lastLoading == size ? size / seconds(end - start) : 0;
                break;
            }
            case DownloaderNoPump: {
                const Clock::time_point start = Clock::now();
                lastLoading = 0;
                const bool ok = withoutPump.DownLoadFile(server.url(), target, false, true);
                speed = ok && lastLoading == size ? size / seconds(Clock::now() - start) : 0;
                break;
            }
            case Libcurl8k:
                speed = runPlainLibcurl(server.url(), target, size, false);
                break;
            case Libcurl8kStaged:
                speed = runPlainLibcurl(server.url(), target, size, true);
                break;
            case CurlCli:
                if (curlProgram.isEmpty())
                    continue;
                speed = runCurlCli(curlProgram, server.url(), target, size);
                break;
            case MethodCount:
                break;
            }
            if (speed <= 0) {
                std::fprintf(
                    stderr, "download_bench: %s failed in repetition %d\n", names[method], rep + 1);
                return 1;
            }
            speeds[method].push_back(speed);
            const double cpu = threadCpuSeconds() - cpuStart;
            if (method != CurlCli)
                cpuSeconds[method].push_back(cpu);
            std::printf("rep %d %-17s %8.1f MB/s", rep + 1, names[method], speed / 1e6);
            if (method != CurlCli) // another process: its CPU time is not this thread's
                std::printf("  client thread cpu %6.0f ms", cpu * 1e3);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    QFile::remove(target);

    double medians[MethodCount];
    for (int m = 0; m < MethodCount; ++m) {
        medians[m] = median(speeds[m]);
        std::printf("%s_MBps: %.1f\n", names[m], medians[m] / 1e6);
    }
    std::printf("pump_passes_per_download: %lld\n", static_cast<long long>(passes / reps));
    std::printf("ratio_pump_vs_nopump: %.3f\n", medians[Downloader] / medians[DownloaderNoPump]);
    std::printf("timer_ticks_during_run: %d\n", ticks);
    std::printf("ratio_vs_libcurl8k: %.3f\n", medians[Downloader] / medians[Libcurl8k]);
    std::printf(
        "ratio_vs_libcurl8k_staged: %.3f\n", medians[Downloader] / medians[Libcurl8kStaged]);
    if (medians[CurlCli] > 0)
        std::printf("ratio_vs_curl_cli: %.3f\n", medians[Downloader] / medians[CurlCli]);
    else
        std::printf("ratio_vs_curl_cli: n/a (no curl program found)\n");
    // The same comparison in the client thread's CPU time (higher is better, as above): less
    // disturbed when other programs share the machine.
    std::printf("cpu_ms_downloader: %.0f\ncpu_ms_downloader_nopump: %.0f\ncpu_ms_libcurl8k: "
                "%.0f\ncpu_ms_libcurl8k_staged: %.0f\n",
        median(cpuSeconds[Downloader]) * 1e3, median(cpuSeconds[DownloaderNoPump]) * 1e3,
        median(cpuSeconds[Libcurl8k]) * 1e3, median(cpuSeconds[Libcurl8kStaged]) * 1e3);
    std::printf("cpu_ratio_vs_libcurl8k: %.3f\n",
        median(cpuSeconds[Libcurl8k]) / median(cpuSeconds[Downloader]));
    std::printf("cpu_ratio_vs_libcurl8k_staged: %.3f\n",
        median(cpuSeconds[Libcurl8kStaged]) / median(cpuSeconds[Downloader]));
    std::printf("longest_pump_gap_ms: %.3f\n",
        std::chrono::duration<double, std::milli>(longestGap).count());
    return 0;
}
