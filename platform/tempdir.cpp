#include "platform/tempdir.h"

#include "platform/eventlog.h"

#include <QByteArray>
#include <QDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kest {

QString privateTempDirUnder(const QString& base, const QString& leaf)
{
    QString root = base;
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    const QString path = root + QLatin1Char('/') + leaf;
    const QByteArray native = QFile::encodeName(path);

    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        logEvent(QStringLiteral("GetTempDir: cannot create %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    struct stat st { };
    if (::lstat(native.constData(), &st) != 0) {
        logEvent(QStringLiteral("GetTempDir: cannot examine %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
        logEvent(QStringLiteral("GetTempDir: refused %1: not a plain folder").arg(path));
        return {};
    }
    if (st.st_uid != ::geteuid()) {
        logEvent(QStringLiteral("GetTempDir: refused %1: owned by user %2, not by %3")
                     .arg(path)
                     .arg(st.st_uid)
                     .arg(::geteuid()));
        return {};
    }
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        logEvent(QStringLiteral("GetTempDir: refused %1: cannot make it private").arg(path));
        return {};
    }
    return path + QLatin1Char('/');
}

namespace {

// The runtime folder as the basedir rules have it: a folder of this user's own,
// mode 0700. Under sudo -E, or in a session set up wrongly, the variable names
// another user's or root's folder, or one anybody may write.
bool isOwnRuntimeFolder(const QByteArray& folder)
{
    struct stat st { };
    QString why;
    if (::stat(folder.constData(), &st) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISDIR(st.st_mode))
        why = QStringLiteral("not a folder");
    else if (st.st_uid != ::geteuid())
        why = QStringLiteral("owned by user %1, not by %2").arg(st.st_uid).arg(::geteuid());
    else if ((st.st_mode & 077) != 0)
        why = QStringLiteral("mode %1, not 0700").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    if (why.isEmpty())
        return true;
    logEvent(QStringLiteral("GetTempDir: XDG_RUNTIME_DIR %1 not used: %2")
                 .arg(QFile::decodeName(folder), why));
    return false;
}

} // namespace

QString GetTempDir()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isOwnRuntimeFolder(runtime))
        return privateTempDirUnder(QFile::decodeName(runtime), QStringLiteral("kest"));
    QByteArray tmp = qgetenv("TMPDIR");
    if (tmp.isEmpty())
        tmp = "/tmp";
    return privateTempDirUnder(QFile::decodeName(tmp), QStringLiteral("kest-%1").arg(::geteuid()));
}

} // namespace kest
