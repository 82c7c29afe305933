#include "launcher/shared/UserCopy.h"

#include "launcher/shared/EngineSide.h"
#include "platform/eventlog.h"
#include "updater/core/manifest.h"
#include "updater/core/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kest {

namespace {

// A launcher's --version answers without a display, before any window
// library starts; a copy that takes longer is taken for broken.
constexpr std::chrono::milliseconds kVersionTimeout { 5000 };
constexpr qsizetype kVersionAnswerLimit = 256;

std::string encoded(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(kVersionAnswerLimit).trimmed() : QByteArray();
}

} // namespace

QString UserCopy::folder()
{
    QString data = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    // XDG base directories: a relative path is to be ignored.
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    // Beside the browser's storage (kest/browser), not mixed with it: an
    // update names its files, and none of them may meet a folder of data.
    return QDir::cleanPath(data + QStringLiteral("/kest/program"));
}

bool UserCopy::isSystemCopy(const QString& programFolder)
{
    return QFileInfo::exists(programFolder + QLatin1Char('/') + QLatin1String(kSystemCopyMarker));
}

QString UserCopy::whyNotUpdatable(const QString& programFolder)
{
    if (isSystemCopy(programFolder))
        return QStringLiteral("%1 is a package's system-wide copy; the package manager updates it")
            .arg(programFolder);
    if (::access(QFile::encodeName(programFolder).constData(), W_OK) != 0)
        return QStringLiteral("%1 cannot be written by this user (%2)")
            .arg(programFolder, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

std::optional<QString> UserCopy::askVersion(const QString& launcher)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const QByteArray path = QFile::encodeName(launcher);
    char* const argv[]
        = { const_cast<char*>(path.constData()), const_cast<char*>("--version"), nullptr };
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return std::nullopt;
    }
    QByteArray answer;
    const auto deadline = std::chrono::steady_clock::now() + kVersionTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable { out[0], POLLIN, 0 };
        if (left.count() <= 0 || ::poll(&readable, 1, int(left.count())) <= 0)
            break;
        char bytes[128];
        const ssize_t got = ::read(out[0], bytes, sizeof bytes);
        if (got <= 0 || answer.size() > kVersionAnswerLimit)
            break;
        answer.append(bytes, got);
    }
    ::close(out[0]);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(child, &status, WNOHANG)) == 0
        && std::chrono::steady_clock::now() < deadline)
        ::usleep(2000);
    if (ended != child) {
        // Still running past its time: not a launcher that answers.
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    const QList<QByteArray> words = answer.trimmed().split(' ');
    if (words.size() != 2 || answer.count('\n') > 1)
        return std::nullopt;
    const std::string version = words.last().toStdString();
    if (!update::compareVersions(version, version))
        return std::nullopt;
    return QString::fromStdString(version);
}

UserCopy::UserCopy(
    QString systemFolder, QString launcherName, QString ownVersion, QString userFolder)
    : m_systemFolder(std::move(systemFolder))
    , m_launcherName(std::move(launcherName))
    , m_ownVersion(std::move(ownVersion))
    , m_userFolder(std::move(userFolder))
{ }

QString UserCopy::launcher() const
{
    return m_userFolder + QLatin1Char('/') + m_launcherName;
}

bool UserCopy::ensure()
{
    m_error.clear();
    const QString placedFrom = m_userFolder + QLatin1Char('/') + QLatin1String(kPlacedFromFile);
    // The launcher runs nothing but its splash without the engine library
    // beside it: a copy that lost it, or was placed by a package without
    // one, is placed again.
    const QString library = QLatin1Char('/') + QLatin1String(kEngineLibraryName);
    const bool present = isExecutableFile(launcher())
        && (QFile::exists(m_userFolder + library) || !QFile::exists(m_systemFolder + library));
    if (present && readSmallFile(placedFrom) == m_ownVersion.toUtf8()) {
        m_what = QStringLiteral("up to date");
        return true;
    }
    if (present) {
        // The package changed since the copy was last looked at: the copy may
        // have updated itself past it, or be older than what the package
        // brought now.
        const std::optional<QString> theirs = askVersion(launcher());
        const std::optional<int> order = theirs
            ? update::compareVersions(theirs->toStdString(), m_ownVersion.toStdString())
            : std::nullopt;
        if (order && *order >= 0) {
            m_what = QStringLiteral("checked, version %1").arg(*theirs);
            return recordPlacedFrom();
        }
    }
    if (!place())
        return false;
    m_what = QStringLiteral("placed version %1").arg(m_ownVersion);
    return recordPlacedFrom();
}

bool UserCopy::place()
{
    if (!QDir().mkpath(m_userFolder)) {
        m_error = QStringLiteral("cannot create %1").arg(m_userFolder);
        return false;
    }
    update::InstallTransaction transaction(encoded(m_userFolder));
    if (!transaction.begin()) {
        m_error = QString::fromStdString(transaction.error());
        return false;
    }
    std::vector<std::string> names;
    const QFileInfoList entries
        = QDir(m_systemFolder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        const std::string plain = encoded(name);
        if (name == QLatin1String(kSystemCopyMarker) || name == m_launcherName
            || !update::InstallTransaction::isPlainFileName(plain))
            continue;
        names.push_back(plain);
    }
    names.push_back(encoded(m_launcherName)); // last, as an update places it
    for (const std::string& name : names) {
        const QString from = m_systemFolder + QLatin1Char('/') + QFile::decodeName(name.c_str());
        const QString to = QFile::decodeName(transaction.stagedPath(name).c_str());
        if (!QFile::copy(from, to)) {
            transaction.rollback();
            m_error = QStringLiteral("cannot copy %1 to %2").arg(from, to);
            return false;
        }
    }
    if (!transaction.commit(names, true)) {
        m_error = QString::fromStdString(transaction.error());
        return false;
    }
    return true;
}

bool UserCopy::recordPlacedFrom()
{
    QSaveFile file(m_userFolder + QLatin1Char('/') + QLatin1String(kPlacedFromFile));
    if (!file.open(QIODevice::WriteOnly) || file.write(m_ownVersion.toUtf8() + '\n') < 0
        || !file.commit()) {
        // The copy is fine; the next start only asks its version again.
        logEvent(QStringLiteral("per-user copy: cannot record the package version in %1")
                     .arg(file.fileName()));
    }
    return true;
}

} // namespace kest
