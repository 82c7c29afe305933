#include "updater/CKvDownLoadFile.h"

#include "platform/eventlog.h"
#include "platform/proxy.h"
#include "updater/core/signature.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcNet, "kest.net")

namespace kest {

namespace {

using Clock = std::chrono::steady_clock;

// Received blocks are gathered here before they go to the temporary file: 32 blocks per
// write(2) instead of one. Nobody can see the temporary file before the rename, so the
// batching changes nothing observable. Measured with plain libcurl on loopback into ext4:
// 438 MB/s writing each block, 684 MB/s through this buffer, which more than pays for the
// owner's event-loop pass per block (see bench/download).
constexpr size_t kStageSize = 32 * CKvDownLoadFile::kBlockSize;

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool curlReady()
{
    // Thread-safe once: curl_global_init itself is not safe to race in every libcurl build.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

qint64 millis(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

} // namespace

// One call of DownLoadFile: the libcurl handles, the temporary file and the clocks. It lives
// on DownLoadFile's stack, so it outlives its owner when a handler deletes the owner; it then
// touches the owner no more.
class CKvDownLoadFile::Transfer final {
public:
    Transfer(CKvDownLoadFile* owner, const QString& url, const QString& target, bool hidden,
        bool raiseEvent)
        : m_owner(owner)
        , m_pump(owner->m_pump)
        , m_connectTimeout(owner->m_connectTimeout)
        , m_stallTimeout(owner->m_stallTimeout)
        , m_lowSpeedLimit(owner->m_lowSpeedLimit)
        , m_lowSpeedTime(owner->m_lowSpeedTime)
        , m_url(url)
        , m_target(target)
        , m_hidden(hidden)
        , m_raiseEvent(raiseEvent)
        , m_sizeLimit(owner->m_sizeLimit)
        , m_expectedSize(owner->m_expectedSize)
        , m_expectedSha256(owner->m_expectedSha256.toStdString())
    { }
    ~Transfer();
    Q_DISABLE_COPY_MOVE(Transfer)

    bool run();
    QString failureLine() const;

private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static int onConnected(void* self, char*, char*, int, int);

    bool prepare();
    bool waitForNetwork();
    bool aboveTheFloor(Clock::time_point now);
    // Leaves time spent in the owner's code since `start` out of every network clock.
    void leaveOut(Clock::time_point start);
    bool acceptBody(const char* data, size_t length);
    bool startBody();
    bool createTemporary();
    bool blockDone();
    bool stage(const char* data, size_t length);
    bool flushStage();
    bool finish(CURLcode result);
    // One pass of the owner's event loop; false when the owner is gone or asked to stop.
    bool pump();
    bool ownerWantsOut(const QString& where);
    bool fail(const QString& reason);
    QString logUrl() const;

    QPointer<CKvDownLoadFile> m_owner;
    const EventPump m_pump;
    const std::chrono::milliseconds m_connectTimeout;
    const std::chrono::milliseconds m_stallTimeout;
    const qint64 m_lowSpeedLimit;
    const std::chrono::milliseconds m_lowSpeedTime;
    const QString m_url;
    const QString m_target;
    const bool m_hidden;
    const bool m_raiseEvent;
    const qint64 m_sizeLimit;
    const qint64 m_expectedSize;
    const std::string m_expectedSha256;
    update::Sha256 m_digest;

    std::unique_ptr<CURLM, CurlMultiDeleter> m_multi;
    std::unique_ptr<CURL, CurlEasyDeleter> m_easy;
    std::unique_ptr<curl_slist, CurlListDeleter> m_headers;
    bool m_added = false;
    char m_curlError[CURL_ERROR_SIZE] = {};

    bool m_connected = false;
    // Start of the current wait for the network; moved on by time spent in the owner's
    // handlers, so that time never counts toward a time-out.
    Clock::time_point m_progressAt;
    Clock::time_point m_lastPumpAt;
    // The low-speed floor's current window: its start (moved on like m_progressAt) and the
    // bytes received, headers included, when it started.
    Clock::time_point m_floorAt;
    qint64 m_floorBytes = 0;
    qint64 m_received = 0;

    bool m_started = false;
    qint64 m_total = 0;
    qint64 m_accepted = 0;
    std::vector<char> m_stage;
    size_t m_staged = 0;
    off_t m_written = 0; // bytes in the temporary file

    QByteArray m_tempPath;
    int m_fd = -1;
    bool m_committed = false;

    QString m_failure;
};

CKvDownLoadFile::Transfer::~Transfer()
{
    if (m_added)
        curl_multi_remove_handle(m_multi.get(), m_easy.get());
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_tempPath.isEmpty() && !m_committed)
        ::unlink(m_tempPath.constData());
}

QString CKvDownLoadFile::Transfer::logUrl() const
{
    return addressForLog(m_url);
}

QString CKvDownLoadFile::Transfer::failureLine() const
{
    return QStringLiteral("DownLoadFile %1 -> %2: %3").arg(logUrl(), m_target, m_failure);
}

bool CKvDownLoadFile::Transfer::fail(const QString& reason)
{
    // The first cause is the one that matters: libcurl's own error after an abort from a
    // callback only says that the callback refused the data.
    if (m_failure.isEmpty())
        m_failure = reason;
    return false;
}

bool CKvDownLoadFile::Transfer::prepare()
{
    if (m_url.trimmed().isEmpty())
        return fail(QStringLiteral("empty address"));
    const QUrl url(m_url.trimmed());
    if (!url.isValid())
        return fail(QStringLiteral("malformed address: %1").arg(url.errorString()));
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return fail(QStringLiteral("not an http or https address"));
    if (url.host().isEmpty())
        return fail(QStringLiteral("address without a host"));
    if (!curlReady())
        return fail(QStringLiteral("libcurl could not be initialised"));

    m_multi.reset(curl_multi_init());
    m_easy.reset(curl_easy_init());
    m_headers.reset(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (!m_multi || !m_easy || !m_headers)
        return fail(QStringLiteral("libcurl could not allocate a transfer"));

    CURL* easy = m_easy.get();
    // Percent-encoded form: libcurl takes no raw spaces or non-ASCII bytes in an address.
    const QByteArray encoded = url.toEncoded();
    curl_easy_setopt(easy, CURLOPT_URL, encoded.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https address never continues over plain http: a redirect must not undo it.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
        scheme == QLatin1String("https") ? "https" : "http,https");
    // Certificate authorities: the system's, unless the environment names others with
    // OpenSSL's own variables (a company's inspecting proxy, a staging platform, tests).
    for (const auto& [variable, option] : { std::pair { "SSL_CERT_FILE", CURLOPT_CAINFO },
             std::pair { "SSL_CERT_DIR", CURLOPT_CAPATH } }) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            curl_easy_setopt(easy, option, value.constData());
    }
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kBlockSize));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers.get());
    // The proxy the pages use too (kest::proxyFor), spelled out so that libcurl reads none of
    // its own variables: "" is direct. The bypass list covers the hosts of redirects.
    const QByteArray proxy = proxyFor(url).curlProxy();
    const QByteArray noProxy = curlNoProxyList(ProxyInputs::live());
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // libcurl's connect timer counts wall time, the owner's handlers included; the transfer
    // keeps its own clock (waitForNetwork) and puts libcurl's out of the way.
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(INT_MAX));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_curlError);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Transfer::onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    return true;
}

bool CKvDownLoadFile::Transfer::run()
{
    if (!prepare())
        return false;
    if (curl_multi_add_handle(m_multi.get(), m_easy.get()) != CURLM_OK)
        return fail(QStringLiteral("libcurl refused the transfer"));
    m_added = true;
    m_progressAt = m_lastPumpAt = Clock::now();

    for (;;) {
        int running = 0;
        const CURLMcode code = curl_multi_perform(m_multi.get(), &running);
        if (!m_failure.isEmpty())
            return false; // a callback ended it; libcurl has stopped reading
        if (code != CURLM_OK)
            return fail(
                QStringLiteral("libcurl: %1").arg(QLatin1String(curl_multi_strerror(code))));
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE)
                return finish(message->data.result);
        }
        if (!waitForNetwork())
            return false;
    }
}

bool CKvDownLoadFile::Transfer::aboveTheFloor(Clock::time_point now)
{
    if (!m_connected || m_lowSpeedLimit <= 0 || now - m_floorAt < m_lowSpeedTime)
        return true;
    const qint64 got = m_received - m_floorBytes;
    const qint64 seconds = std::max<qint64>(1, m_lowSpeedTime.count() / 1000);
    if (got * 1000 < m_lowSpeedLimit * m_lowSpeedTime.count()) {
        return fail(QStringLiteral("%1 bytes in %2 ms, below the floor of %3 bytes/s over %4 s, "
                                   "after %5 of %6 bytes (low-speed time-out)")
                        .arg(got)
                        .arg(millis(now - m_floorAt))
                        .arg(m_lowSpeedLimit)
                        .arg(seconds)
                        .arg(m_accepted)
                        .arg(m_started ? QString::number(m_total) : QStringLiteral("?")));
    }
    m_floorAt = now;
    m_floorBytes = m_received;
    return true;
}

void CKvDownLoadFile::Transfer::leaveOut(Clock::time_point start)
{
    const Clock::duration spent = Clock::now() - start;
    m_progressAt += spent;
    m_floorAt += spent;
}

bool CKvDownLoadFile::Transfer::waitForNetwork()
{
    const Clock::time_point now = Clock::now();
    if (!aboveTheFloor(now))
        return false;
    const std::chrono::milliseconds limit = m_connected ? m_stallTimeout : m_connectTimeout;
    const Clock::duration waited = now - m_progressAt;
    if (waited >= limit) {
        return fail(m_connected
                ? QStringLiteral("no data for %1 ms after %2 of %3 bytes (stall time-out)")
                      .arg(millis(waited))
                      .arg(m_accepted)
                      .arg(m_started ? QString::number(m_total) : QStringLiteral("?"))
                : QStringLiteral("no connection after %1 ms (connect time-out)")
                      .arg(millis(waited)));
    }
    const Clock::duration sincePump = now - m_lastPumpAt;
    if (sincePump >= kIdlePumpInterval)
        return pump();

    const Clock::duration wait
        = std::min<Clock::duration>(limit - waited, kIdlePumpInterval - sincePump);
    // Rounded up, so a short remainder does not turn into a busy loop of zero-time polls.
    const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    const CURLMcode code
        = curl_multi_poll(m_multi.get(), nullptr, 0, static_cast<int>(waitMs), nullptr);
    if (code != CURLM_OK)
        return fail(QStringLiteral("libcurl: %1").arg(QLatin1String(curl_multi_strerror(code))));
    return true;
}

bool CKvDownLoadFile::Transfer::pump()
{
    const Clock::time_point start = Clock::now();
    if (m_pump)
        m_pump();
    else
        defaultEventPump();
    leaveOut(start);
    m_lastPumpAt = Clock::now();
    return !ownerWantsOut(QStringLiteral("an event-loop pass"));
}

bool CKvDownLoadFile::Transfer::ownerWantsOut(const QString& where)
{
    if (!m_owner) {
        fail(QStringLiteral("the downloader was destroyed during %1").arg(where));
        return true;
    }
    if (m_owner->m_stop) {
        fail(QStringLiteral("stopped by the owner after %1 of %2 bytes")
                 .arg(m_accepted)
                 .arg(m_started ? QString::number(m_total) : QStringLiteral("?")));
        return true;
    }
    return false;
}

size_t CKvDownLoadFile::Transfer::onHeader(char*, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    transfer->m_progressAt = Clock::now();
    transfer->m_received += static_cast<qint64>(size * count);
    return size * count;
}

int CKvDownLoadFile::Transfer::onConnected(void* self, char*, char*, int, int)
{
    auto* transfer = static_cast<Transfer*>(self);
    transfer->m_connected = true;
    transfer->m_progressAt = transfer->m_floorAt = Clock::now();
    transfer->m_floorBytes = transfer->m_received; // each connection gets a whole window
    return CURL_PREREQFUNC_OK;
}

size_t CKvDownLoadFile::Transfer::onBody(char* data, size_t size, size_t count, void* self)
{
    const size_t length = size * count;
    // Any other count than the one offered makes libcurl end the transfer without reading on.
    return static_cast<Transfer*>(self)->acceptBody(data, length) ? length : 0;
}

bool CKvDownLoadFile::Transfer::acceptBody(const char* data, size_t length)
{
    m_progressAt = Clock::now();
    m_received += static_cast<qint64>(length);
    if (!m_started && !startBody())
        return false;
    if (static_cast<qint64>(length) > m_total - m_accepted)
        return fail(QStringLiteral("more bytes than the announced %1").arg(m_total));

    // libcurl hands over what one read gave; blocks are cut at multiples of kBlockSize so that
    // every Loading but the last reports a full block, as WinINet's blocking reads did.
    while (length > 0) {
        const qint64 room = kBlockSize - m_accepted % kBlockSize;
        const size_t piece = std::min<size_t>(length, static_cast<size_t>(room));
        if (!stage(data, piece))
            return false;
        if (!m_expectedSha256.empty())
            m_digest.update(std::string_view(data, piece));
        m_accepted += static_cast<qint64>(piece);
        data += piece;
        length -= piece;
        if ((m_accepted % kBlockSize == 0 || m_accepted == m_total) && !blockDone())
            return false; // the rest of this read is dropped unwritten
    }
    return true;
}

bool CKvDownLoadFile::Transfer::startBody()
{
    long status = 0;
    curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        return fail(QStringLiteral("HTTP status %1").arg(status));
    curl_off_t length = -1;
    curl_easy_getinfo(m_easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length <= 0) {
        return fail(QStringLiteral(
            "no Content-Length (chunked or close-delimited body): the end cannot be checked"));
    }
    if (m_sizeLimit > 0 && length > m_sizeLimit) {
        return fail(QStringLiteral("%1 bytes announced, more than the %2 allowed")
                        .arg(length)
                        .arg(m_sizeLimit));
    }
    if (m_expectedSize >= 0 && length != m_expectedSize) {
        return fail(QStringLiteral("%1 bytes announced, the manifest lists %2")
                        .arg(length)
                        .arg(m_expectedSize));
    }
    m_started = true;
    m_total = length;
    if (m_raiseEvent) {
        const Clock::time_point start = Clock::now();
        emit m_owner->QueryFileInfo(m_total);
        leaveOut(start);
    }
    if (ownerWantsOut(QStringLiteral("QueryFileInfo")))
        return false;
    return createTemporary();
}

bool CKvDownLoadFile::Transfer::createTemporary()
{
    const QByteArray target = QFile::encodeName(m_target);
    struct stat st { };
    if (!target.isEmpty() && ::stat(target.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return fail(QStringLiteral("the target is a folder"));
    const QFileInfo info(m_target);
    if (info.fileName().isEmpty())
        return fail(QStringLiteral("the target names no file"));

    // ".<name>.<random>.part" beside the target, so the rename stays within one file system;
    // the name is cut so that the whole stays within NAME_MAX.
    const QByteArray folder = QFile::encodeName(info.path());
    const QByteArray base = QFile::encodeName(info.fileName()).left(NAME_MAX - 20);
    const mode_t mode = m_hidden ? 0600 : 0666; // open(2) takes the umask off
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray path = folder + "/." + base + '.'
            + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".part";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            m_fd = fd;
            m_tempPath = path;
            m_stage.resize(kStageSize);
            return true;
        }
        if (errno != EEXIST) {
            return fail(QStringLiteral("cannot create a file in %1: %2")
                            .arg(QFile::decodeName(folder), errnoText(errno)));
        }
    }
    return fail(QStringLiteral("no free temporary name in %1").arg(QFile::decodeName(folder)));
}

bool CKvDownLoadFile::Transfer::stage(const char* data, size_t length)
{
    if (m_staged + length > m_stage.size() && !flushStage())
        return false;
    std::memcpy(m_stage.data() + m_staged, data, length);
    m_staged += length;
    return true;
}

bool CKvDownLoadFile::Transfer::flushStage()
{
    size_t done = 0;
    while (done < m_staged) {
        const ssize_t written = ::write(m_fd, m_stage.data() + done, m_staged - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(
                QStringLiteral("cannot write the temporary file: %1").arg(errnoText(errno)));
        }
        done += static_cast<size_t>(written);
    }
    // Start writing these bytes to the disk now, without waiting: an owner that makes the
    // file durable before it renames it (the updater does) then finds little left to wait
    // for, as the disk works while the network does. No effect on what the file holds.
    if (!m_hidden)
        ::sync_file_range(m_fd, m_written, static_cast<off_t>(m_staged), SYNC_FILE_RANGE_WRITE);
    m_written += static_cast<off_t>(m_staged);
    m_staged = 0;
    return true;
}

bool CKvDownLoadFile::Transfer::blockDone()
{
    if (m_raiseEvent) {
        const Clock::time_point start = Clock::now();
        emit m_owner->Loading(m_accepted);
        leaveOut(start);
        if (!m_owner)
            return fail(QStringLiteral("the downloader was destroyed during Loading"));
    }
    // The order owners rely on: the event, one pass of the owner's event loop, then the stop test.
    if (!pump())
        return false;
    m_progressAt = Clock::now();
    return true;
}

bool CKvDownLoadFile::Transfer::finish(CURLcode result)
{
    if (result != CURLE_OK) {
        const QString detail = m_curlError[0] ? QString::fromLocal8Bit(m_curlError)
                                              : QLatin1String(curl_easy_strerror(result));
        if (!m_started)
            return fail(QStringLiteral("libcurl error %1: %2").arg(result).arg(detail));
        return fail(QStringLiteral("libcurl error %1 after %2 of %3 bytes: %4")
                        .arg(result)
                        .arg(m_accepted)
                        .arg(m_total)
                        .arg(detail));
    }
    long status = 0;
    curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        return fail(QStringLiteral("HTTP status %1").arg(status));
    if (!m_started) {
        curl_off_t length = -1;
        curl_easy_getinfo(m_easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        return fail(length < 0 ? QStringLiteral("no Content-Length and no body")
                               : QStringLiteral("empty body (Content-Length 0): nothing to save"));
    }
    if (m_accepted != m_total)
        return fail(QStringLiteral("%1 of %2 bytes received").arg(m_accepted).arg(m_total));
    if (!flushStage())
        return false;
    if (!m_expectedSha256.empty()) {
        const std::string received = m_digest.hexDigest();
        if (received != m_expectedSha256) {
            return fail(QStringLiteral("SHA-256 %1 differs from the manifest's %2")
                            .arg(QString::fromStdString(received),
                                QString::fromStdString(m_expectedSha256)));
        }
    }

    const QByteArray target = QFile::encodeName(m_target);
    struct stat st { };
    std::optional<mode_t> mode; // none: keep what open(2) gave, 0666 less the umask
    if (m_hidden)
        mode = 0600;
    else if (::lstat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 0777;
    if (mode && ::fchmod(m_fd, *mode) != 0)
        return fail(QStringLiteral("cannot set the file mode: %1").arg(errnoText(errno)));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(QStringLiteral("cannot close the temporary file: %1").arg(errnoText(errno)));
    if (::rename(m_tempPath.constData(), target.constData()) != 0)
        return fail(QStringLiteral("cannot move the file into place: %1").arg(errnoText(errno)));
    m_committed = true;
    return true;
}

CKvDownLoadFile::CKvDownLoadFile(QObject* parent)
    : QObject(parent)
{ }

CKvDownLoadFile::~CKvDownLoadFile() = default;

void CKvDownLoadFile::defaultEventPump()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void CKvDownLoadFile::StopDownLoad()
{
    m_stop = true;
}

bool CKvDownLoadFile::DownLoadFile(
    QString strURLFile, QString strSaveFile, bool bHidden, bool bRaiseEvent)
{
    if (m_running) {
        // Re-entered from one of its own handlers: the running transfer owns the handles.
        logEvent(QStringLiteral("DownLoadFile %1 -> %2: refused, a download is running")
                     .arg(addressForLog(strURLFile), strSaveFile));
        if (bRaiseEvent)
            emit Complete();
        return false;
    }
    m_stop = false;
    m_running = true;
    const QPointer<CKvDownLoadFile> self(this);
    bool ok = false;
    {
        Transfer transfer(this, strURLFile, strSaveFile, bHidden, bRaiseEvent);
        ok = transfer.run();
        if (!ok)
            logEvent(transfer.failureLine());
        else
            qCDebug(lcNet) << "downloaded" << strURLFile << "to" << strSaveFile;
    } // the temporary file is gone from here on unless it became the target
    if (!self)
        return false;
    m_running = false;
    if (bRaiseEvent)
        emit Complete();
    return ok;
}

} // namespace kest
