// The update procedure against the demo platform (and the raw fault server for
// what the platform cannot do wrong), into a temporary install folder. Every
// case ends by looking at the whole folder, hidden files and modes included,
// and by starting the launcher the updater would start.
#include "tests/integration/update/update_fixture.h"

#include "tests/support/http_server.h"
#include "tests/support/signing.h"
#include "tests/support/tls.h"
#include "updater/CKvDownLoadFile.h"
#include "updater/UpdateProcedure.h"
#include "updater/core/manifest.h"

#include <QDir>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/mount.h>

using namespace std::chrono_literals;
using kest::CKvDownLoadFile;
using kest::UpdateProcedure;
using Outcome = kest::UpdateProcedure::Outcome;
using Step = kest::test::HttpServer::Step;

namespace kest::test {
namespace {

class UpdateProcedureTest : public UpdateTest {
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        // Short time-outs: a case that hangs by mistake ends in seconds.
        m_downloader.setConnectTimeout(3s);
        m_downloader.setStallTimeout(3s);
    }

    Outcome run(const QString& commandLine)
    {
        const auto parsed = update::parseUpdaterCommandLine(commandLine.toStdString());
        EXPECT_TRUE(parsed) << commandLine.toStdString();
        if (!parsed)
            return Outcome::NothingToDo;
        m_procedure = std::make_unique<UpdateProcedure>(*parsed, manifestPath(), m_downloader);
        QObject::connect(m_procedure.get(), &UpdateProcedure::fileStarted, &m_context,
            [this](const QString& name) { m_started << name; });
        return m_procedure->run();
    }
    Outcome run() { return run(commandLine()); }

    // What every failure and cancel owes: the folder as it was, no left-over,
    // the previous launcher named to start again, and it starts.
    void expectUntouched(const char* what)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(snapshot(installFolder()), before());
        EXPECT_EQ(m_procedure->launcherToStart(), launcherPath());
        EXPECT_EQ(runProgram(m_procedure->launcherToStart()), QStringLiteral("old-launcher"));
    }

    CKvDownLoadFile m_downloader;
    QObject m_context;
    std::unique_ptr<UpdateProcedure> m_procedure;
    QStringList m_started;
};

QByteArray manifestOf(const QStringList& urls)
{
    QByteArray bytes = "version=9.9.9\r\n";
    for (const QString& url : urls)
        bytes += "x|" + url.toUtf8() + "\r\n";
    return bytes;
}

// A tmpfs or read-only bind mount over a folder of the scratch area, taken
// away again at the end of the case.
class Mount {
public:
    Mount(const QString& folder, const char* type, const char* options, unsigned long flags)
        : m_path(QFile::encodeName(folder))
    {
        if (::mount(type ? type : m_path.constData(), m_path.constData(), type, flags, options)
            != 0) {
            m_error = std::strerror(errno);
            return;
        }
        m_mounted = true;
    }
    ~Mount()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    bool remountReadOnly()
    {
        if (::mount(nullptr, m_path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr)
            == 0)
            return true;
        m_error = std::strerror(errno);
        return false;
    }
    bool mounted() const { return m_mounted; }
    std::string error() const { return m_error; }
    Q_DISABLE_COPY_MOVE(Mount)

private:
    QByteArray m_path;
    bool m_mounted = false;
    std::string m_error;
};

// --- Success ------------------------------------------------------------------------------

TEST_F(UpdateProcedureTest, OneFileReplacesTheLauncherWhichThenStarts)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    writeManifest(manifestOf({ demo->fileUrl(QStringLiteral("kest")) }));

    ASSERT_EQ(run(), Outcome::Updated) << m_procedure->error().toStdString();
    Tree expected = before();
    expected[QStringLiteral("kest")] = after().at(QStringLiteral("kest"));
    EXPECT_EQ(snapshot(installFolder()), expected);
    EXPECT_EQ(m_started, QStringList { QStringLiteral("kest") });
    EXPECT_EQ(m_procedure->launcherToStart(), launcherPath());
    EXPECT_EQ(runProgram(m_procedure->launcherToStart()), QStringLiteral("new-launcher"));
}

TEST_F(UpdateProcedureTest, TwoFilesArriveInOrderWithProgressAndKeepTheirModes)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo)); // the platform's own manifest, as the launcher keeps it
    std::vector<qint64> totals;
    qint64 lastLoading = 0;
    bool growing = true;
    QObject::connect(&m_downloader, &CKvDownLoadFile::QueryFileInfo, &m_context,
        [&](qint64 total) { totals.push_back(total), lastLoading = 0; });
    QObject::connect(&m_downloader, &CKvDownLoadFile::Loading, &m_context, [&](qint64 received) {
        growing = growing && received > lastLoading;
        lastLoading = received;
    });

    ASSERT_EQ(run(), Outcome::Updated) << m_procedure->error().toStdString();
    EXPECT_EQ(snapshot(installFolder()), after()); // data.pak kept 0640, kest 0755
    EXPECT_EQ(m_started, (QStringList { QStringLiteral("data.pak"), QStringLiteral("kest") }));
    EXPECT_EQ(totals, (std::vector<qint64> { newData().size(), after().at("kest").bytes.size() }));
    EXPECT_TRUE(growing);
    EXPECT_EQ(runProgram(m_procedure->launcherToStart()), QStringLiteral("new-launcher"));
}

// A launcher that did not exist yet (a first install of this name) gets its
// exec bit; the manifest's odd but readable forms all update.
TEST_F(UpdateProcedureTest, ReadableOddManifestsUpdateAndANewLauncherIsRunnable)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    const QByteArray data = "x|" + demo->fileUrl(QStringLiteral("data.pak")).toUtf8();
    const QByteArray kest = "x|" + demo->fileUrl(QStringLiteral("kest")).toUtf8();
    const std::pair<const char*, QByteArray> manifests[] = {
        { "CR-only line ends", "version=9.9.9\r" + data + "\r" + kest },
        { "two version lines", "version=9.9.9\r\nVERSION=1.0.0\r\n" + data + "\r\n" + kest },
        { "no version line", data + "\r\n" + kest + "\r\n" },
        { "lines without a bar and non-ASCII notes",
            "version=9.9.9\r\n更新说明\r\n\r\n" + data + "\r\n" + QByteArray(100000, 'n') + "\r\n"
                + kest + "\r\n" },
    };
    for (const auto& [what, manifest] : manifests) {
        SCOPED_TRACE(what);
        QFile::remove(launcherPath());
        writeFile(installFolder() + QStringLiteral("/data.pak"), kOldData, 0640);
        writeManifest(manifest);
        m_started.clear();
        ASSERT_EQ(run(), Outcome::Updated) << m_procedure->error().toStdString();
        EXPECT_EQ(m_started, (QStringList { QStringLiteral("data.pak"), QStringLiteral("kest") }));
        const Tree tree = snapshot(installFolder());
        EXPECT_EQ(tree.size(), 2u);
        EXPECT_EQ(tree.at(QStringLiteral("data.pak")), after().at(QStringLiteral("data.pak")));
        EXPECT_NE(tree.at(QStringLiteral("kest")).mode & 0100, 0);
        EXPECT_EQ(runProgram(launcherPath()), QStringLiteral("new-launcher"));
    }
}

// A name in the platform's own code page (GBK "中文.pak", not UTF-8) is carried as bytes:
// the server is asked for those bytes, and the file gets exactly that name.
TEST_F(UpdateProcedureTest, ANameThatIsNotUtf8IsFetchedAndInstalledByteForByte)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    HttpServer files;
    ASSERT_TRUE(files.start());
    constexpr qint64 kLength = 5000;
    files.route(QStringLiteral("/files/%D6%D0%CE%C4.pak"),
        { Step::head(200, kLength), Step::body(0, kLength) });
    const QByteArray gbkName = "\xd6\xd0\xce\xc4.pak";
    writeManifest("version=9.9.9\r\nx|" + files.url(QStringLiteral("/files/")).toLatin1() + gbkName
        + "\r\nx|" + demo->fileUrl(QStringLiteral("kest")).toUtf8() + "\r\n");

    ASSERT_EQ(run(), Outcome::Updated) << m_procedure->error().toStdString();
    EXPECT_EQ(files.requestCount(QStringLiteral("/files/%D6%D0%CE%C4.pak")), 1);
    EXPECT_EQ(m_started, (QStringList { QStringLiteral("中文.pak"), QStringLiteral("kest") }));
    const std::string installed
        = QFile::encodeName(installFolder()).toStdString() + "/" + gbkName.toStdString();
    std::ifstream in(installed, std::ios::binary);
    ASSERT_TRUE(in) << "no file named by the manifest's bytes";
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(QByteArray::fromStdString(bytes), patternBytes(0, kLength));
    EXPECT_FALSE(QFile::exists(installFolder() + QStringLiteral("/.kest-update")));
    EXPECT_EQ(runProgram(launcherPath()), QStringLiteral("new-launcher"));
}

// --- Cancel and server faults ---------------------------------------------------------------

TEST_F(UpdateProcedureTest, CancelMidFileLeavesTheFolderAsItWas)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));
    // Stopped from a Loading handler in the middle of the first file, as the
    // close button's "Yes" does from the downloader's event pass.
    QObject::connect(&m_downloader, &CKvDownLoadFile::Loading, &m_context, [this](qint64 got) {
        if (got >= 5 * CKvDownLoadFile::kBlockSize)
            m_procedure->cancel();
    });
    EXPECT_EQ(run(), Outcome::Cancelled);
    EXPECT_TRUE(m_procedure->isCancelled());
    EXPECT_EQ(m_started, QStringList { QStringLiteral("data.pak") }); // the launcher not begun
    expectUntouched("cancelled");
}

TEST_F(UpdateProcedureTest, ServerFaultsOnTheSecondFileLeaveTheFolderAsItWas)
{
    HttpServer faults;
    ASSERT_TRUE(faults.start());
    const qint64 length = 100000;
    faults.route(QStringLiteral("/reset/kest"),
        { Step::head(200, length), Step::body(0, 40000), Step::pause(50), Step::reset() });
    faults.route(QStringLiteral("/stall/kest"),
        { Step::head(200, length), Step::body(0, 40000), Step::hold() });
    faults.route(QStringLiteral("/short/kest"), { Step::head(200, length), Step::body(0, 40000) });
    // The platform serves data.pak but has no kest: a 404 on the second file.
    const auto demo = std::make_unique<DemoServer>(QStringList { QStringLiteral("--file"),
        QStringLiteral("data.pak=") + servedPath(QStringLiteral("data.pak")) });
    ASSERT_TRUE(demo->isRunning());
    m_downloader.setStallTimeout(1s);

    struct Fault {
        const char* name;
        QString url;
        QString logged; // what the event log must name
    };
    const Fault cases[] = {
        { "404", demo->fileUrl(QStringLiteral("kest")), QStringLiteral("HTTP status 404") },
        { "reset mid-body", faults.url(QStringLiteral("/reset/kest")),
            QStringLiteral("40000 of 100000") },
        { "stall", faults.url(QStringLiteral("/stall/kest")), QStringLiteral("stall time-out") },
        { "body shorter than announced", faults.url(QStringLiteral("/short/kest")),
            QStringLiteral("40000 of 100000") },
        { "nothing listening", QStringLiteral("http://127.0.0.1:1/kest"),
            QStringLiteral("libcurl error") },
    };
    for (const Fault& fault : cases) {
        SCOPED_TRACE(fault.name);
        writeManifest(manifestOf({ demo->fileUrl(QStringLiteral("data.pak")), fault.url }));
        const qsizetype logBefore = eventLog().size();
        m_started.clear();
        EXPECT_EQ(run(), Outcome::Failed);
        EXPECT_EQ(m_started, (QStringList { QStringLiteral("data.pak"), QStringLiteral("kest") }));
        const QString logged = eventLog().mid(logBefore);
        EXPECT_TRUE(logged.contains(fault.logged)) << logged.toStdString();
        EXPECT_TRUE(logged.contains(QStringLiteral("update failed"))) << logged.toStdString();
        expectUntouched(fault.name);
    }
}

// --- The install folder -----------------------------------------------------------------------

TEST_F(UpdateProcedureTest, DiskFullLeavesTheFolderAsItWas)
{
    const QString small = m_scratch.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(small));
    Mount tmpfs(small, "tmpfs", "size=64k", 0);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here (" << tmpfs.error()
                     << "); the downloader's own tests cover a failing write";
    const QString folder = small + QStringLiteral("/install");
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/kest"), launcherScript("old-launcher"), 0755);
    writeFile(folder + QStringLiteral("/data.pak"), kOldData, 0640);
    const Tree was = snapshot(folder);
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo)); // data.pak alone (300000 bytes) does not fit in 64 KiB

    EXPECT_EQ(
        run(folder + QStringLiteral("|") + folder + QStringLiteral("/kest")), Outcome::Failed);
    EXPECT_TRUE(eventLog().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << eventLog().toStdString();
    EXPECT_EQ(snapshot(folder), was);
    EXPECT_EQ(runProgram(m_procedure->launcherToStart()), QStringLiteral("old-launcher"));
}

TEST_F(UpdateProcedureTest, AnInstallFolderThatCannotBeWrittenIsLeftAlone)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));
    {
        // Root ignores mode bits: a read-only bind mount makes the folder unwritable.
        Mount bind(installFolder(), nullptr, nullptr, MS_BIND);
        if (!bind.mounted() || !bind.remountReadOnly())
            GTEST_SKIP() << "no read-only bind mount here: " << bind.error();
        EXPECT_EQ(run(), Outcome::Failed);
        EXPECT_TRUE(eventLog().contains(QStringLiteral("Read-only file system")))
            << eventLog().toStdString();
        EXPECT_EQ(demo->fileRequests(), 0); // refused before any download
        expectUntouched("read-only");
    }
    EXPECT_EQ(snapshot(installFolder()), before());
}

TEST_F(UpdateProcedureTest, AnInstallFolderThatIsNotThereIsNotCreated)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(fetchManifest(*demo));
    const QString gone = m_scratch.filePath(QStringLiteral("gone"));
    EXPECT_EQ(run(gone + QStringLiteral("|") + gone + QStringLiteral("/kest")), Outcome::Failed);
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(demo->fileRequests(), 0);
    EXPECT_EQ(m_procedure->launcherToStart(), gone + QStringLiteral("/kest"));
}

// --- Manifests ---------------------------------------------------------------------------------

TEST_F(UpdateProcedureTest, DamagedManifestsAreRefusedBeforeAnythingIsWritten)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    const QByteArray kest = "x|" + demo->fileUrl(QStringLiteral("kest")).toUtf8();
    const QByteArray data = "x|" + demo->fileUrl(QStringLiteral("data.pak")).toUtf8();
    const QByteArray base = "x|http://" + demo->host().toUtf8() + "/gamehome/kest/files/";
    const std::pair<const char*, QByteArray> manifests[] = {
        { "empty", "" },
        { "only a version line", "version=9.9.9\r\n" },
        { "bare LF line ends", "version=9.9.9\n" + data + "\n" + kest + "\n" },
        { "bare LF without a version line", data + "\n" + kest + "\n" },
        { "lines without a bar only", "version=9.9.9\r\nno bar here\r\n" },
        { "a very long line without a bar", QByteArray(500000, 'a') },
        { "more bytes than a manifest holds",
            "version=9.9.9\r\n" + kest + "\r\n" + QByteArray(2 << 20, '\n') },
        { "binary junk", QByteArray("\x00\xff\x01|\x02\r\n\x7f|\x80\x81", 11) },
        { "non-ASCII URL scheme", "version=9.9.9\r\nx|超文本://h/kest\r\n" },
        { "an ftp URL", "version=9.9.9\r\n" + data + "\r\nx|ftp://127.0.0.1/kest\r\n" },
        { "a file URL", "version=9.9.9\r\nx|file:///bin/sh\r\n" + kest + "\r\n" },
        { "empty name", "version=9.9.9\r\n" + base + "\r\n" + kest + "\r\n" },
        { "name .", "version=9.9.9\r\n" + data + "\r\n" + base + ".\r\n" },
        { "name ..", "version=9.9.9\r\n" + base + "..\r\n" + kest + "\r\n" },
        { "the staging folder's name", "version=9.9.9\r\n" + base + ".kest-update\r\n" + kest },
    };
    for (const auto& [what, manifest] : manifests) {
        SCOPED_TRACE(what);
        writeManifest(manifest);
        const qsizetype logBefore = eventLog().size();
        EXPECT_EQ(run(), Outcome::Failed);
        EXPECT_TRUE(eventLog().mid(logBefore).contains(QStringLiteral("the manifest")))
            << eventLog().mid(logBefore).left(300).toStdString();
        EXPECT_TRUE(m_started.isEmpty());
        expectUntouched(what);
    }
    EXPECT_EQ(demo->fileRequests(), 0);
}

// --- Signed updates ----------------------------------------------------------------------------

// The platform's key built in (through the environment, as the hosts are).
class SignedUpdateTest : public UpdateProcedureTest {
protected:
    void SetUp() override
    {
        UpdateProcedureTest::SetUp();
        ASSERT_TRUE(m_key.isValid()) << "minisign is needed (scripts/setup)";
        qputenv("KEST_UPDATE_PUBKEY", m_key.publicLine());
    }
    void TearDown() override
    {
        qunsetenv("KEST_UPDATE_PUBKEY");
        UpdateProcedureTest::TearDown();
    }
    SigningKey m_key;
};

TEST_F(SignedUpdateTest, OnlyWhatTheSignatureVouchesForIsInstalled)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    const SigningKey other;
    const QString data = servedPath(QStringLiteral("data.pak"));
    struct Case {
        const char* name;
        std::function<bool()> publishAndTamper;
        const char* logged; // in the failure's event-log line
    };
    const Case cases[] = {
        { "another key", [&] { return publish(*demo, QStringLiteral("9.9.9"), &other); },
            "another key" },
        { "no signature", [&] { return publish(*demo, QStringLiteral("9.9.9"), nullptr); },
            "not signed" },
        { "an older version replayed",
            [&] { return publish(*demo, QStringLiteral("0.0.1"), &m_key); }, "older" },
        { "a file altered on the server after signing (same size)",
            [&] {
                const bool ok = publish(*demo, QStringLiteral("9.9.9"), &m_key);
                QByteArray bytes = readFile(data);
                bytes[1000] = char(bytes[1000] ^ 0x5a);
                writeFile(data, bytes);
                return ok;
            },
            "SHA-256" },
        { "a file grown on the server after signing",
            [&] {
                const bool ok = publish(*demo, QStringLiteral("9.9.9"), &m_key);
                writeFile(data, readFile(data) + "more");
                return ok;
            },
            "the manifest lists" },
    };
    const QByteArray original = readFile(data);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(data, original);
        ASSERT_TRUE(c.publishAndTamper());
        placePublished();
        const qsizetype logBefore = eventLog().size();
        EXPECT_EQ(run(), Outcome::Failed);
        EXPECT_TRUE(eventLog().mid(logBefore).contains(QLatin1String(c.logged)))
            << eventLog().mid(logBefore).left(400).toStdString();
        expectUntouched(c.name);
    }

    writeFile(data, original);
    ASSERT_TRUE(publish(*demo, QStringLiteral("9.9.9"), &m_key));
    placePublished();
    EXPECT_EQ(run(), Outcome::Updated);
    EXPECT_EQ(snapshot(installFolder()), after());
    EXPECT_EQ(runProgram(m_procedure->launcherToStart()), QStringLiteral("new-launcher"));
}

TEST_F(SignedUpdateTest, UnchangedFilesAreNeitherFetchedNorReplaced)
{
    const auto demo = startDemo();
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(publish(*demo, QStringLiteral("9.9.9"), &m_key));
    placePublished();
    const QString data = QStringLiteral("/gamehome/kest/files/data.pak");
    const QString kest = QStringLiteral("/gamehome/kest/files/kest");

    // Only the launcher changed: data.pak is already the new one.
    writeFile(installFolder() + QStringLiteral("/data.pak"), newData(), 0640);
    EXPECT_EQ(run(), Outcome::Updated);
    EXPECT_EQ(m_started, QStringList { QStringLiteral("kest") });
    EXPECT_EQ(demo->requestsFor(data), 0);
    EXPECT_EQ(demo->requestsFor(kest), 1);
    EXPECT_EQ(snapshot(installFolder()), after());

    // Nothing changed: nothing is fetched, the launcher is started as it is.
    m_started.clear();
    EXPECT_EQ(run(), Outcome::Updated);
    EXPECT_TRUE(m_started.isEmpty());
    EXPECT_EQ(demo->requestsFor(kest), 1);
    EXPECT_EQ(snapshot(installFolder()), after());
    EXPECT_EQ(runProgram(m_procedure->launcherToStart()), QStringLiteral("new-launcher"));

    // Only data.pak changed: it is not made executable as a launcher would be.
    writeFile(installFolder() + QStringLiteral("/data.pak"), kOldData, 0640);
    EXPECT_EQ(run(), Outcome::Updated);
    EXPECT_EQ(m_started, QStringList { QStringLiteral("data.pak") });
    EXPECT_EQ(demo->requestsFor(data), 1);
    EXPECT_EQ(snapshot(installFolder()), after());
}

TEST_F(SignedUpdateTest, OverHttpsTheFilesComeFromTheCertifiedServer)
{
    const TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << "the openssl tool is needed (scripts/setup)";
    const auto demo = startDemo(certificates.demoArguments());
    ASSERT_TRUE(demo->isRunning());
    ASSERT_TRUE(publishRelease(m_scratch.filePath(QStringLiteral("served")),
        QStringLiteral("https://") + demo->host() + QStringLiteral("/gamehome/kest/files"),
        QStringLiteral("9.9.9"), publishedFolder(), &m_key));
    placePublished();
    const auto unsetAuthority = qScopeGuard([] { qunsetenv("SSL_CERT_FILE"); });

    qunsetenv("SSL_CERT_FILE"); // the test authority is unknown: nothing is fetched
    EXPECT_EQ(run(), Outcome::Failed);
    expectUntouched("untrusted certificate");

    qputenv("SSL_CERT_FILE", QFile::encodeName(certificates.authorityFile()));
    EXPECT_EQ(run(), Outcome::Updated);
    EXPECT_EQ(snapshot(installFolder()), after());
    EXPECT_EQ(demo->fileRequests(), 2);
}

TEST_F(UpdateProcedureTest, AMissingManifestEndsQuietly)
{
    ASSERT_FALSE(QFile::exists(manifestPath()));
    EXPECT_EQ(run(), Outcome::NothingToDo);
    EXPECT_EQ(snapshot(installFolder()), before());
}

} // namespace
} // namespace kest::test
