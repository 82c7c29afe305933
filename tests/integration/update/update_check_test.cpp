// The launcher's update check against the demo platform (and the raw fault
// server for a static server that stalls), on Qt's offscreen platform: what
// it asks, what it says, and that a dead server only costs seconds.
#include "tests/integration/update/update_fixture.h"

#include "launcher/shared/UpdateCheck.h"
#include "platform/deploy.h"
#include "tests/support/http_server.h"
#include "tests/support/signing.h"
#include "tests/support/testenv.h"
#include "tests/support/tls.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>

#include <iostream>
#include <sys/stat.h>

using kest::UpdateCheck;
using Result = kest::UpdateCheck::Result;
using Step = kest::test::HttpServer::Step;

namespace kest::test {
namespace {

const QString kQuestion = QStringLiteral("发现有新版本，是否现在更新！");
const QString kCurrentText = QStringLiteral("当前版本已是最新，无需更新！");
const QString kCannotStart = QStringLiteral("无法启动更新程序！");

class UpdateCheckTest : public UpdateTest {
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder()));
        m_boxes.answerFor = [this](const QString&) { return m_answer; };
    }
    void TearDown() override
    {
        qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
        qunsetenv("KEST_STATIC_HOST");
        UpdateTest::TearDown();
    }
    void useHost(const QString& host) { qputenv("KEST_STATIC_HOST", host.toUtf8()); }
    std::unique_ptr<DemoServer> demoNaming(const QString& version)
    {
        auto demo = std::make_unique<DemoServer>(
            QStringList { QStringLiteral("--version"), version, QStringLiteral("--file"),
                QStringLiteral("kest=") + servedPath(QStringLiteral("kest")) });
        useHost(demo->host());
        return demo;
    }

    QByteArray m_oldRuntime;
    MessageBoxAnswerer m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::No;
    UpdateCheck m_check;
};

TEST_F(UpdateCheckTest, AtStartUpTheSameVersionIsSilentAndAnotherOneIsOffered)
{
    {
        const auto demo = demoNaming(programVersion());
        ASSERT_TRUE(demo->isRunning());
        EXPECT_EQ(m_check.startupCheck(), Result::Current);
        EXPECT_TRUE(m_boxes.shown.empty());
        // The copy the updater will read: private to the user.
        struct stat st { };
        ASSERT_EQ(::stat(QFile::encodeName(manifestPath()).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    {
        // An older version is offered too: only an exact match is current.
        const auto demo = demoNaming(QStringLiteral("0.9.9"));
        ASSERT_TRUE(demo->isRunning());
        EXPECT_EQ(m_check.startupCheck(), Result::Declined);
        ASSERT_EQ(m_boxes.shown.size(), 1u);
        EXPECT_EQ(m_boxes.shown[0].title, QStringLiteral("提示"));
        EXPECT_EQ(m_boxes.shown[0].text, kQuestion);
        EXPECT_EQ(m_boxes.shown[0].icon, QMessageBox::Question);
        QStringList buttons = m_boxes.shown[0].buttons;
        buttons.sort();
        EXPECT_EQ(buttons, QStringList({ QStringLiteral("否"), QStringLiteral("是") }));
    }
}

TEST_F(UpdateCheckTest, FromTheMenuTheSameVersionIsSaidToBeCurrent)
{
    const auto demo = demoNaming(programVersion());
    ASSERT_TRUE(demo->isRunning());
    EXPECT_EQ(m_check.menuCheck(nullptr), Result::Current);
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text, kCurrentText);
    EXPECT_EQ(m_boxes.shown[0].icon, QMessageBox::Warning);
}

// This test program carries no updater (resource UPDATE 101), so writing it
// fails for real: the player is told, and the launcher carries on.
TEST_F(UpdateCheckTest, AnUpdaterThatCannotBeWrittenIsToldAndTheLauncherGoesOn)
{
    const auto demo = demoNaming(QStringLiteral("9.9.9"));
    ASSERT_TRUE(demo->isRunning());
    m_answer = QMessageBox::Yes;
    EXPECT_EQ(m_check.startupCheck(), Result::UpdaterFailed);
    ASSERT_EQ(m_boxes.shown.size(), 2u);
    EXPECT_EQ(m_boxes.shown[1].title, QStringLiteral("提示"));
    EXPECT_EQ(m_boxes.shown[1].text, kCannotStart);
    EXPECT_EQ(m_boxes.shown[1].icon, QMessageBox::Warning);
    EXPECT_FALSE(QFile::exists(tempDir() + QStringLiteral("Update")));
    EXPECT_TRUE(eventLog().contains(QStringLiteral("cannot write or start the updater")));
}

// The platform's key built in: the question comes only for a manifest it
// signed, naming a version that is not older; anything else is a line in the
// event log and a silent start-up.
TEST_F(UpdateCheckTest, WithAKeyOnlyASignedNewerManifestIsOffered)
{
    const SigningKey key;
    const SigningKey other;
    ASSERT_TRUE(key.isValid() && other.isValid()) << "minisign is needed (scripts/setup)";
    qputenv("KEST_UPDATE_PUBKEY", key.publicLine());
    const auto unsetKey = qScopeGuard([] { qunsetenv("KEST_UPDATE_PUBKEY"); });
    const QString manifest = publishedFolder() + QStringLiteral("/update.txt");
    const QString signature = manifest + QStringLiteral(".minisig");
    QDir().mkpath(publishedFolder());
    writeFile(manifest, "");
    writeFile(signature, "");
    const auto demo = startDemo({ QStringLiteral("--manifest-file"), manifest,
        QStringLiteral("--signature-file"), signature });
    ASSERT_TRUE(demo->isRunning());
    useHost(demo->host());

    struct Case {
        const char* name;
        std::function<bool()> publishOnServer;
        bool offered;
    };
    const Case cases[] = {
        { "signed by the key", [&] { return publish(*demo, QStringLiteral("9.9.9"), &key); },
            true },
        { "signed by another key", [&] { return publish(*demo, QStringLiteral("9.9.9"), &other); },
            false },
        { "not signed (no signature on the server)",
            [&] { return publish(*demo, QStringLiteral("9.9.9"), nullptr); }, false },
        { "an older signed version replayed",
            [&] { return publish(*demo, QStringLiteral("0.0.1"), &key); }, false },
        { "a new manifest beside the old signature",
            [&] {
                const bool ok = publish(*demo, QStringLiteral("9.9.9"), &key);
                writeFile(manifest, readFile(manifest).replace("9.9.9", "9.9.8"));
                return ok;
            },
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.shown.clear();
        ASSERT_TRUE(c.publishOnServer());
        const qsizetype logBefore = eventLog().size();
        EXPECT_EQ(m_check.startupCheck(), c.offered ? Result::Declined : Result::Current);
        EXPECT_EQ(m_boxes.shown.size(), c.offered ? 1u : 0u);
        EXPECT_EQ(
            eventLog().mid(logBefore).contains(QLatin1String("no update offered")), !c.offered)
            << eventLog().mid(logBefore).toStdString();
    }
}

// Without a key the updater still refuses a manifest it cannot act on; the
// launcher no longer asks for it (a bare-LF manifest asked at every start).
TEST_F(UpdateCheckTest, AManifestTheUpdaterWouldRefuseIsNotOffered)
{
    const QString manifest = m_scratch.filePath(QStringLiteral("refused.txt"));
    writeFile(manifest, "");
    const auto demo = startDemo({ QStringLiteral("--manifest-file"), manifest });
    ASSERT_TRUE(demo->isRunning());
    useHost(demo->host());
    const QByteArray kest = "x|" + demo->fileUrl(QStringLiteral("kest")).toUtf8();
    const std::pair<const char*, QByteArray> manifests[] = {
        { "bare LF line ends", "version=9.9.9\n" + kest + "\n" },
        { "an ftp address", "version=9.9.9\r\nx|ftp://127.0.0.1/kest\r\n" },
        { "no file line", "version=9.9.9\r\n" },
    };
    for (const auto& [what, bytes] : manifests) {
        SCOPED_TRACE(what);
        writeFile(manifest, bytes);
        EXPECT_EQ(m_check.startupCheck(), Result::Current);
        EXPECT_EQ(m_check.menuCheck(nullptr), Result::Current);
        EXPECT_TRUE(m_boxes.shown.empty());
        EXPECT_TRUE(eventLog().contains(QLatin1String("no update offered")));
    }
}

// An https static server is believed only with a certificate the system (or
// SSL_CERT_FILE) trusts; an untrusted one is a failed fetch, never a question.
TEST_F(UpdateCheckTest, OverHttpsOnlyACertifiedServerIsBelieved)
{
    const TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << "the openssl tool is needed (scripts/setup)";
    const auto demo = startDemo(certificates.demoArguments());
    ASSERT_TRUE(demo->isRunning());
    useHost(QStringLiteral("https://") + demo->host());
    const auto unsetAuthority = qScopeGuard([] { qunsetenv("SSL_CERT_FILE"); });

    qunsetenv("SSL_CERT_FILE");
    EXPECT_EQ(m_check.startupCheck(), Result::Current);
    EXPECT_TRUE(m_boxes.shown.empty());
    EXPECT_FALSE(QFile::exists(manifestPath()));
    EXPECT_TRUE(eventLog().contains(
        QStringLiteral("https://") + demo->host() + QStringLiteral("/gamehome/kest/update.txt")))
        << eventLog().toStdString();

    qputenv("SSL_CERT_FILE", QFile::encodeName(certificates.authorityFile()));
    EXPECT_EQ(m_check.startupCheck(), Result::Declined);
    EXPECT_EQ(m_boxes.shown.size(), 1u);
    const QByteArray httpsFile = "|https://" + demo->host().toUtf8();
    EXPECT_TRUE(readFile(manifestPath()).contains(httpsFile));
}

TEST_F(UpdateCheckTest, WithoutAnyManifestTheCheckEndsSilently)
{
    HttpServer server; // answers 404 to everything
    ASSERT_TRUE(server.start());
    useHost(QStringLiteral("127.0.0.1:%1").arg(server.port()));
    EXPECT_EQ(m_check.startupCheck(), Result::Current);
    EXPECT_EQ(m_check.menuCheck(nullptr), Result::Current);
    EXPECT_TRUE(m_boxes.shown.empty());
    EXPECT_FALSE(QFile::exists(manifestPath()));
}

// A static server that accepts and never answers, or never accepts: the
// fetch gives up within its bounds and the copy of an earlier check is read.
TEST_F(UpdateCheckTest, ADeadStaticServerCostsSecondsAndTheEarlierCopyIsRead)
{
    writeManifest("version=" + programVersion().toUtf8() + "\r\n");
    HttpServer stalled;
    ASSERT_TRUE(stalled.start());
    stalled.route(QStringLiteral("/gamehome/kest/update.txt"), { Step::hold() });
    SilentPort silent;
    ASSERT_TRUE(silent.isValid());

    // The whole fetch's bound and the stall bound are equal: either may end it.
    const std::pair<QString, QRegularExpression> servers[] = {
        { QStringLiteral("127.0.0.1:%1").arg(stalled.port()),
            QRegularExpression(
                QStringLiteral("update.txt.*(stopped by the owner|stall time-out)")) },
        { QStringLiteral("127.0.0.1:%1").arg(silent.port()),
            QRegularExpression(QStringLiteral("update.txt.*connect time-out")) },
    };
    for (const auto& [host, cause] : servers) {
        SCOPED_TRACE(host.toStdString());
        useHost(host);
        const qsizetype logBefore = eventLog().size();
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(m_check.startupCheck(), Result::Current);
        // Reported, not asserted: timing belongs to the benchmarks.
        std::cout << "[ measured ] start-up check against " << host.toStdString() << ": "
                  << clock.elapsed() << " ms\n";
        EXPECT_TRUE(eventLog().mid(logBefore).contains(cause)) << eventLog().toStdString();
        EXPECT_TRUE(m_boxes.shown.empty());
    }
}

} // namespace
} // namespace kest::test
