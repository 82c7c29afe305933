#pragma once

#include "tests/integration/downloader/local_web_server.h"
#include "tests/support/http_server.h"
#include "tests/support/testenv.h"
#include "updater/CKvDownLoadFile.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace kest::test {

// What the downloader raised, in order.
struct DownloadEvent {
    enum class Kind { QueryFileInfo, Loading, Complete };
    Kind kind;
    qint64 value = 0;
    bool operator==(const DownloadEvent&) const = default;
};

inline void PrintTo(const DownloadEvent& event, std::ostream* out)
{
    static const char* const names[] = { "QueryFileInfo", "Loading", "Complete" };
    *out << names[static_cast<int>(event.kind)] << '(' << event.value << ')';
}

inline DownloadEvent queryFileInfo(qint64 length)
{
    return { DownloadEvent::Kind::QueryFileInfo, length };
}
inline DownloadEvent loading(qint64 received)
{
    return { DownloadEvent::Kind::Loading, received };
}
inline DownloadEvent complete()
{
    return { DownloadEvent::Kind::Complete, 0 };
}

// A downloader wired to an event recorder and a counting pump, both servers, a scratch folder
// for targets, and the event log sink pointed at a file the test can read.
class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_scratch.isValid());
        ASSERT_TRUE(QDir().mkpath(outDir()));
        addDownloadRoutes(m_web);
        ASSERT_TRUE(m_web.start());
        ASSERT_TRUE(m_faults.start());
        resetDownloader();
    }

    void TearDown() override { m_faults.stop(); }

    void resetDownloader()
    {
        m_downloader = std::make_unique<CKvDownLoadFile>();
        // Short time-outs: a test that hangs by mistake ends in seconds, not minutes.
        m_downloader->setConnectTimeout(std::chrono::milliseconds(3000));
        m_downloader->setStallTimeout(std::chrono::milliseconds(3000));
        m_downloader->setEventPump([this] {
            ++m_pumps;
            if (m_onPump)
                m_onPump();
            CKvDownLoadFile::defaultEventPump();
        });
        CKvDownLoadFile* downloader = m_downloader.get();
        QObject::connect(
            downloader, &CKvDownLoadFile::QueryFileInfo, &m_context, [this](qint64 length) {
                m_events.push_back(queryFileInfo(length));
                if (m_onQueryFileInfo)
                    m_onQueryFileInfo(length);
            });
        QObject::connect(
            downloader, &CKvDownLoadFile::Loading, &m_context, [this](qint64 received) {
                m_events.push_back(loading(received));
                if (m_onLoading)
                    m_onLoading(received);
            });
        QObject::connect(downloader, &CKvDownLoadFile::Complete, &m_context,
            [this] { m_events.push_back(complete()); });
    }

    bool download(
        const QString& url, const QString& target, bool hidden = false, bool raiseEvent = true)
    {
        m_events.clear();
        m_pumps = 0;
        return m_downloader->DownLoadFile(url, target, hidden, raiseEvent);
    }

    QString outDir() const { return m_scratch.path() + QStringLiteral("/out"); }
    QString outPath(const QString& name) const { return outDir() + QLatin1Char('/') + name; }

    QStringList logLines() const { return m_log.lines(); }

    // Everything in the target folder, dot files included: no temporary file may stay behind.
    QStringList outEntries() const
    {
        return QDir(outDir()).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    static void writeFile(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    // The events a clean download of length bytes raises.
    static std::vector<DownloadEvent> cleanEvents(qint64 length)
    {
        std::vector<DownloadEvent> events { queryFileInfo(length) };
        for (qint64 at = 0; at < length;) {
            at = std::min(at + CKvDownLoadFile::kBlockSize, length);
            events.push_back(loading(at));
        }
        events.push_back(complete());
        return events;
    }

    QTemporaryDir m_scratch;
    EventLog m_log;
    HttpServer m_web;
    HttpServer m_faults;
    QObject m_context;
    std::unique_ptr<CKvDownLoadFile> m_downloader;
    std::vector<DownloadEvent> m_events;
    int m_pumps = 0;
    std::function<void()> m_onPump;
    std::function<void(qint64)> m_onQueryFileInfo;
    std::function<void(qint64)> m_onLoading;
};

} // namespace kest::test
