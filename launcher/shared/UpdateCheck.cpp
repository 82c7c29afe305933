#include "launcher/shared/UpdateCheck.h"

#include "launcher/shared/UserCopy.h"
#include "platform/deploy.h"
#include "platform/eventlog.h"
#include "platform/messagebox.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/tempdir.h"
#include "updater/CKvDownLoadFile.h"
#include "updater/LocalManifest.h"
#include "updater/core/manifest.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <chrono>
#include <optional>
#include <string>

namespace kest {

namespace {

const QString kTitle = QStringLiteral("提示");
const QString kNewVersion = QStringLiteral("发现有新版本，是否现在更新！");
const QString kCurrent = QStringLiteral("当前版本已是最新，无需更新！");
const QString kCannotStart = QStringLiteral("无法启动更新程序！");
const QString kCannotUpdateHere = QStringLiteral("程序所在的文件夹不可写入，无法在此更新！");
constexpr int kUpdaterResourceId = 101;

} // namespace

UpdateCheck::UpdateCheck() = default;
UpdateCheck::~UpdateCheck() = default;

QString UpdateCheck::manifestUrl()
{
    return hostOrigin(staticHost()) + QStringLiteral("/gamehome/kest/update.txt");
}

QString UpdateCheck::manifestPath()
{
    const QString dir = GetTempDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("update.txt");
}

void UpdateCheck::fetchManifest()
{
    const QString path = manifestPath();
    if (path.isEmpty())
        return;
    if (!m_downloader)
        m_downloader = std::make_unique<CKvDownLoadFile>();
    m_downloader->setConnectTimeout(std::chrono::milliseconds(kConnectTimeoutMs));
    // A broken or hostile server cannot make the launcher take more than a
    // manifest holds.
    m_downloader->setSizeLimit(update::kManifestSizeLimit);
    m_downloader->setStallTimeout(std::chrono::milliseconds(kTotalTimeoutMs));
    // The whole fetch is bounded too: the pump runs at least every few
    // milliseconds while the downloader waits, and stops it at the deadline.
    QElapsedTimer clock;
    clock.start();
    CKvDownLoadFile* downloader = m_downloader.get();
    m_downloader->setEventPump([downloader, &clock] {
        CKvDownLoadFile::defaultEventPump();
        if (clock.elapsed() > kTotalTimeoutMs)
            downloader->StopDownLoad();
    });
    // The result is not needed: a failed fetch leaves the copy of an earlier
    // check, which is read instead.
    const bool fetched = m_downloader->DownLoadFile(manifestUrl(), path, true, false);
    if (deploymentUpdateTrust().signedOnly) {
        // The signature follows the manifest it was fetched with. When the
        // manifest could not be fetched, the pair of an earlier check stays
        // as it was; a new manifest without a new signature fails the check.
        const QString signature = signaturePath(path);
        if (fetched
            && !m_downloader->DownLoadFile(
                manifestUrl() + QStringLiteral(".minisig"), signature, true, false))
            QFile::remove(signature);
    }
    m_downloader->setEventPump({});
}

UpdateCheck::Result UpdateCheck::startupCheck(QWidget* owner)
{
    return check(Mode::Startup, owner);
}

UpdateCheck::Result UpdateCheck::menuCheck(QWidget* owner)
{
    return check(Mode::Menu, owner);
}

UpdateCheck::Result UpdateCheck::check(Mode mode, QWidget* owner)
{
    // Never a question whose yes is bound to fail: the updater would have
    // to replace the program where it cannot.
    if (const QString why = UserCopy::whyNotUpdatable(QCoreApplication::applicationDirPath());
        !why.isEmpty()) {
        logInfo(QStringLiteral("update check: no update offered: %1").arg(why));
        if (mode == Mode::Menu)
            MsgBox(owner, kCannotUpdateHere, kTitle, MsgIcon::Exclamation);
        return Result::Current;
    }
    fetchManifest();
    const LocalManifest local = readLocalManifest(manifestPath());
    if (!local.found)
        return Result::Current; // nothing to compare with: silently go on

    // The version is known only once the signature, where one is required,
    // holds.
    const std::optional<std::string>& value = local.verdict.version;
    const QByteArray own = programVersion().toUtf8();
    if (value
        && update::isSameVersion(*value, std::string_view(own.constData(), size_t(own.size())))) {
        if (mode == Mode::Menu)
            MsgBox(owner, kCurrent, kTitle, MsgIcon::Exclamation);
        return Result::Current;
    }
    if (!local.verdict.accepted) {
        // Never offer what the updater would refuse, and never ask on the
        // word of a manifest that is not the platform's.
        if (local.verdict.refusal == update::Refusal::Unsigned || value)
            logEvent(QStringLiteral("update check: no update offered: %1")
                         .arg(QString::fromStdString(local.verdict.why)));
        return Result::Current;
    }
    if (MsgBox(owner, kNewVersion, kTitle, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return Result::Declined;
    if (!writeAndStartUpdater(owner))
        return Result::UpdaterFailed;
    return Result::UpdaterStarted;
}

bool UpdateCheck::writeAndStartUpdater(QWidget* owner)
{
    const QString dir = GetTempDir();
    const QString updater = dir + QStringLiteral("Update") + QString::fromLatin1(kExecutableSuffix);
    const QString launcher = QCoreApplication::applicationFilePath();
    const std::optional<std::string> commandLine
        = update::buildUpdaterCommandLine(QFile::encodeName(launcher).toStdString());
    if (!commandLine)
        logEvent(QStringLiteral("update: the updater cannot be told where %1 lives").arg(launcher));
    const bool ok = commandLine && !dir.isEmpty()
        && SaveResToFile(kUpdaterResourceId, QStringLiteral("UPDATE"), updater,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        && startProgram(updater, { QFile::decodeName(QByteArray::fromStdString(*commandLine)) });
    if (!ok) {
        logEvent(QStringLiteral("update: cannot write or start the updater at %1").arg(updater));
        MsgBox(owner, kCannotStart, kTitle, MsgIcon::Exclamation);
    }
    return ok;
}

} // namespace kest
