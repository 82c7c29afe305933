#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <functional>

namespace kest {

// The HTTP file downloader both programs carry, on libcurl.
//
// A transfer runs on the caller's thread. Between two blocks of at most 8192 bytes it raises
// Loading and runs one pass of the owner's event loop (the injected pump), which is how a
// cancel button reaches StopDownLoad; while it waits on the network it also runs a pass at
// least every kIdlePumpInterval, so the owner's windows stay live while a server is slow.
//
// Safer than a plain write-in-place download:
// - The body goes to a temporary dot-prefixed file in the target's folder, which replaces the
//   target (rename) only when the transfer ended cleanly: final status exactly 200 and exactly
//   Content-Length bytes. Any failure, a stop included, returns false, leaves an earlier file
//   at the target untouched and removes the temporary file.
// - Counts are 64-bit, so files over 2 GiB work.
// - A replaced file keeps the permission bits of the file it replaces (setuid, setgid and
//   sticky are dropped: the content came over the network); a new file gets 0666 less the
//   umask; with bHidden the file gets 0600 (Linux has no hidden attribute; the file
//   lives in the private temporary folder instead).
//   A symbolic link at the target is replaced by the file, not written through.
// - Each failure writes one line to the event log (kest::logEvent).
//
// Not done: no fsync before the rename. ext4 (auto_da_alloc), btrfs and others flush a file
// that replaces another by rename before the rename commits; an fsync per file doubled the
// time of a 256 MiB download on the development machine's disk.
class CKvDownLoadFile final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CKvDownLoadFile)

public:
    // One pass of the owner's event loop. Empty: defaultEventPump.
    using EventPump = std::function<void()>;

    // The largest block handed to Loading, and libcurl's receive buffer.
    static constexpr qint64 kBlockSize = 8192;
    // Redirects followed before the transfer fails; the final response's status counts.
    static constexpr long kMaxRedirects = 10;
    // Name lookup, TCP and TLS set-up of the first connection: a host that drops packets
    // fails after 15 s of waiting. (A connection after a redirect falls under the stall
    // time-out: libcurl tells when a connection is up, not when a new one begins.)
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout { 15000 };
    // No byte from an open connection for this long fails the transfer: long enough for a
    // loaded static file server or a bad mobile link, short enough that a dead one ends.
    static constexpr std::chrono::milliseconds kDefaultStallTimeout { 30000 };
    // The low-speed floor: fewer bytes than kDefaultLowSpeedLimit per second over a whole
    // kDefaultLowSpeedTime fails the transfer, however regularly they come. The stall time-out
    // alone is reset by every byte, so a server that sends one byte every 29 s would keep an
    // unattended update alive for ever. 1 KiB/s is below what a poor mobile link still
    // sustains (a 2G link gives several KiB/s), and at that rate the largest update of the
    // platform would take days: slower is no download. A minute is twice the stall time-out,
    // so a pause that the stall time-out forgives, or a mobile hand-over, costs one window
    // some bytes, not the transfer.
    static constexpr qint64 kDefaultLowSpeedLimit = 1024; // bytes per second
    static constexpr std::chrono::milliseconds kDefaultLowSpeedTime { 60000 };
    // While waiting on the network the owner's event loop gets a pass at least this often.
    static constexpr std::chrono::milliseconds kIdlePumpInterval { 20 };

    explicit CKvDownLoadFile(QObject* parent = nullptr);
    ~CKvDownLoadFile() override;

    // Fetches strURLFile (http or https) to strSaveFile. True only when the file at
    // strSaveFile now holds the complete body of a 200 response with a Content-Length.
    // bHidden: mode 0600. bRaiseEvent: raise QueryFileInfo, Loading and Complete, else none.
    // The stop flag is cleared at the start; a call made from one of this object's own
    // handlers while it transfers returns false at once.
    bool DownLoadFile(QString strURLFile, QString strSaveFile, bool bHidden, bool bRaiseEvent);
    // Ends the running transfer before its next block; no effect on a later call.
    void StopDownLoad();

    // Time-outs count only time spent waiting on the network: time in the owner's handlers
    // (the events and the pump, a modal question for instance) is left out.
    void setConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }
    std::chrono::milliseconds connectTimeout() const { return m_connectTimeout; }
    void setStallTimeout(std::chrono::milliseconds timeout) { m_stallTimeout = timeout; }
    std::chrono::milliseconds stallTimeout() const { return m_stallTimeout; }
    // The low-speed floor, counted from the connection in windows of `time` (network time
    // only, as above): fewer than bytesPerSecond * time bytes in one fails. 0: no floor.
    void setLowSpeedFloor(qint64 bytesPerSecond, std::chrono::milliseconds time)
    {
        m_lowSpeedLimit = bytesPerSecond;
        m_lowSpeedTime = time;
    }

    // A response that announces more bytes than this fails before anything is written
    // (0: no bound). Stays until changed.
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }
    // What the next transfers must deliver, as a signed manifest lists it: exactly `size`
    // bytes (the announcement is checked before anything is written; -1: any) and, when
    // sha256Hex is not empty, that SHA-256, checked before the file replaces the target.
    // Stays until changed; clearExpectedContent() ends it.
    void setExpectedContent(qint64 size, const QByteArray& sha256Hex)
    {
        m_expectedSize = size;
        m_expectedSha256 = sha256Hex;
    }
    void clearExpectedContent() { setExpectedContent(-1, {}); }
    // Takes effect from the next DownLoadFile: a running transfer keeps the pump it began with.
    void setEventPump(EventPump pump) { m_pump = std::move(pump); }
    // QCoreApplication::processEvents() once, if an application object exists.
    static void defaultEventPump();

    bool isRunning() const { return m_running; }

signals:
    // The announced Content-Length, once per call, after the status and length checks pass
    // and before the temporary file is created.
    void QueryFileInfo(qint64 dwFileTotalLen);
    // Bytes received and accepted so far in this call, after each block; strictly growing,
    // by at most kBlockSize; the last one equals the announced length on success. (The disk
    // writes are batched: the temporary file is invisible until the end anyway.)
    void Loading(qint64 dwRecivedLen);
    // Once at the end of every call, whatever the outcome.
    void Complete();

private:
    class Transfer;
    friend class Transfer;

    bool m_stop = false;
    bool m_running = false;
    std::chrono::milliseconds m_connectTimeout = kDefaultConnectTimeout;
    std::chrono::milliseconds m_stallTimeout = kDefaultStallTimeout;
    qint64 m_lowSpeedLimit = kDefaultLowSpeedLimit;
    std::chrono::milliseconds m_lowSpeedTime = kDefaultLowSpeedTime;
    EventPump m_pump;
    qint64 m_sizeLimit = 0;
    qint64 m_expectedSize = -1;
    QByteArray m_expectedSha256;
};

} // namespace kest
