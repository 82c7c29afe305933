#include "launcher/browser/BrowserProfile.h"

#include "launcher/browser/BrowserPage.h"
#include "launcher/browser/CookieKeeper.h"
#include "platform/deploy.h"
#include "platform/proxy.h"

#include "platform/eventlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kest {

namespace {

QPointer<QWebEngineProfile> g_profile;
QSet<const QObject*> g_livePages;

// Runs as the application object is destroyed, when nobody released the
// profile before. Registered after the engine registered its own clean-up
// (creating the profile starts the engine), so it runs first: post routines
// run in reverse order.
void releaseProfileAtExit()
{
    releaseBrowserProfile();
}

// The profile's folders hold the session cookies: this user's alone (0700),
// whatever the umask, and put right when an earlier version made them open.
QString storageFolder(QStandardPaths::StandardLocation location)
{
    const QString parent
        = QDir(QStandardPaths::writableLocation(location)).filePath(QStringLiteral("kest"));
    const QString folder = parent + QStringLiteral("/browser");
    QDir().mkpath(parent);
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        logEvent(QStringLiteral("browser profile: cannot create %1: %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st { };
    if (::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        logEvent(QStringLiteral("browser profile: cannot make %1 private: %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    return folder;
}

} // namespace

QWebEngineProfile* browserProfile()
{
    if (g_profile)
        return g_profile;
    if (!QCoreApplication::instance())
        return nullptr;
    // The engine starts with the first profile and reads its proxy then: the
    // pages go the way the update downloads go.
    routeBrowserThroughProxy(QUrl(hostOrigin(loginHost()) + QLatin1Char('/')));
    auto* profile = new QWebEngineProfile(QStringLiteral("kest"));
    profile->setPersistentStoragePath(storageFolder(QStandardPaths::GenericDataLocation));
    profile->setCachePath(storageFolder(QStandardPaths::GenericCacheLocation));
    g_profile = profile;
    BrowserPage::refuseUnknownSchemes(profile);
    // From the first moment: a cookie the keeper never saw would be lost to
    // the next cache clearing.
    CookieKeeper::watch(profile);
    qAddPostRoutine(releaseProfileAtExit);
    return profile;
}

void releaseBrowserProfile()
{
    if (g_livePages.isEmpty())
        delete g_profile.data();
    g_profile = nullptr;
}

void trackBrowserPage(QWebEnginePage* page)
{
    if (!page || g_livePages.contains(page))
        return;
    g_livePages.insert(page);
    const QObject* key = page;
    QObject::connect(page, &QObject::destroyed, QCoreApplication::instance(),
        [key] { g_livePages.remove(key); });
}

} // namespace kest
