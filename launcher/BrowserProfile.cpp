#include "launcher/BrowserProfile.h"

#include "launcher/BrowserPage.h"
#include "launcher/CacheMain.h"
#include "platform/deploy.h"
#include "platform/proxy.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace kest {

namespace {

QPointer<QWebEngineProfile> g_profile;
QSet<const QObject*> g_livePages;

// Runs as the application object is destroyed. Registered after the engine
// registered its own clean-up (creating the profile starts the engine), so it
// runs first: post routines run in reverse order.
void releaseProfileAtExit()
{
    if (g_livePages.isEmpty())
        delete g_profile.data();
    // With a page still alive the profile is left to the end of the process:
    // deleting it now would leave that page with a dangling profile.
    g_profile = nullptr;
}

QString storageFolder(QStandardPaths::StandardLocation location)
{
    return QDir(QStandardPaths::writableLocation(location))
        .filePath(QStringLiteral("kest/browser"));
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
