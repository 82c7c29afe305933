#include "launcher/browser/CookieKeeper.h"

#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace kest {

namespace cache {

bool isProbe(const QNetworkCookie& cookie)
{
    return cookie.name() == cache::kProbeName;
}

} // namespace cache

CookieKeeper::CookieKeeper(QWebEngineProfile* profile)
    : QObject(profile)
{
    QWebEngineCookieStore* store = profile->cookieStore();
    // A replaced cookie arrives as cookieRemoved of the old one, then
    // cookieAdded of the new one.
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& cookie) {
        if (!cache::isProbe(cookie))
            m_cookies[keyOf(cookie)] = cookie;
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
        [this](const QNetworkCookie& cookie) { m_cookies.erase(keyOf(cookie)); });
}

CookieKeeper* CookieKeeper::watch(QWebEngineProfile* profile)
{
    if (!profile)
        return nullptr;
    if (auto* keeper = profile->findChild<CookieKeeper*>(QString(), Qt::FindDirectChildrenOnly))
        return keeper;
    return new CookieKeeper(profile);
}

QList<QNetworkCookie> CookieKeeper::cookies() const
{
    QList<QNetworkCookie> list;
    for (const auto& [key, cookie] : m_cookies)
        list << cookie;
    return list;
}

CookieKeeper::Key CookieKeeper::keyOf(const QNetworkCookie& cookie)
{
    return { cookie.name(), cookie.domain(), cookie.path() };
}

} // namespace kest
