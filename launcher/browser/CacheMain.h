#pragma once

#include <QNetworkCookie>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <tuple>

class QWebEngineProfile;
class QWidget;

namespace kest {

// Keeps a copy of every cookie the profile holds that was set while this
// program ran, so that they can be put back after the engine lost them.
//
// Works around Qt WebEngine 6.4: clearHttpCache() ends by recreating the
// profile's network context, which forgets every session cookie and every
// persistent cookie not yet written to disk. The engine cannot list its
// cookies (loadAllCookies() emits nothing on 6.4), so the copy has to follow
// cookieAdded / cookieRemoved from the moment the profile exists: call watch()
// right after creating the profile. Cookies loaded from disk at start-up are
// not seen, and need not be: they are on disk and come back with the new
// network context.
class CookieKeeper final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CookieKeeper)

public:
    // The keeper of `profile`, made (and following it) on the first call.
    static CookieKeeper* watch(QWebEngineProfile* profile);

    QList<QNetworkCookie> cookies() const;

private:
    explicit CookieKeeper(QWebEngineProfile* profile);
    using Key = std::tuple<QByteArray, QString, QString>; // name, domain, path
    static Key keyOf(const QNetworkCookie& cookie);

    std::map<Key, QNetworkCookie> m_cookies;
};

// Empties the browser's HTTP cache so that pages fetch their files afresh,
// and keeps cookies (session ones included) and history. Asynchronous: `done`
// runs once the engine has finished and the cookies are back, on `context`'s
// thread, unless `context` has gone. A second request while one runs joins
// the running one.
//
// The engine does not say when its cache clearing has ended. The end is seen
// through a probe: a session cookie of a host no page visits is set before,
// and set again every kPollMs after, numbered 1, 2, 3...; while the old
// network context lives, probe n replaces probe n - 1 there (cookieRemoved of
// n - 1, then cookieAdded of n); once the context has been recreated, the
// probe was gone and cookieAdded of n comes without that removal. Should an engine keep its context
// (a later Qt), the clearing counts as done after kGiveUpMs, with a line in the event log.
void ClearBrowserCache(QWebEngineProfile* profile, QObject* context, std::function<void()> done);

// The menu's "clear cache": ClearBrowserCache, then the notice
// "缓存已清理完毕！" titled "缓存清理" with the information icon, over `owner`.
void clearCacheWithNotice(QWidget* owner);

namespace cache {
inline constexpr int kPollMs = 20;
inline constexpr int kGiveUpMs = 15000;
inline constexpr char kProbeName[] = "kest_cache_probe";
inline constexpr char kProbeHost[] = "kest-cache-probe.invalid";
} // namespace cache

} // namespace kest
