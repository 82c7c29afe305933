#pragma once

#include <QNetworkCookie>
#include <QObject>

#include <map>
#include <tuple>

class QWebEngineProfile;

namespace kest {

// The cache clearing's probe cookie (see ClearBrowserCache): the keeper
// leaves it out.
namespace cache {
inline constexpr int kPollMs = 20;
inline constexpr int kGiveUpMs = 15000;
inline constexpr char kProbeName[] = "kest_cache_probe";
inline constexpr char kProbeHost[] = "kest-cache-probe.invalid";
bool isProbe(const QNetworkCookie& cookie);
} // namespace cache

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

} // namespace kest
