#include "launcher/UpdateCheck.h"

#include "platform/deploy.h"
#include "platform/eventlog.h"
#include "platform/messagebox.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/tempdir.h"
#include "updater/CKvDownLoadFile.h"
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
constexpr int kUpdaterResourceId = 101;

} // namespace

UpdateCheck::UpdateCheck() = default;
UpdateCheck::~UpdateCheck() = default;

QString UpdateCheck::manifestUrl()
{
    return QStringLiteral("http://") + staticHost() + QStringLiteral("/gamehome/kest/update.txt");
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
    m_downloader->DownLoadFile(manifestUrl(), path, true, false);
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
    fetchManifest();
    QFile manifest(manifestPath());
    if (manifestPath().isEmpty() || !manifest.open(QIODevice::ReadOnly))
        return Result::Current; // nothing to compare with: silently go on
    const QByteArray bytes = manifest.read(update::kManifestSizeLimit);
    manifest.close();

    const auto value
        = update::manifestVersion(std::string_view(bytes.constData(), size_t(bytes.size())));
    if (!value)
        return Result::Current;
    const QByteArray own = programVersion().toUtf8();
    if (update::isSameVersion(*value, std::string_view(own.constData(), size_t(own.size())))) {
        if (mode == Mode::Menu)
            MsgBox(owner, kCurrent, kTitle, MsgIcon::Exclamation);
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
