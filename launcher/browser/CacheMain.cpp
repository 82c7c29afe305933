#include "launcher/browser/CacheMain.h"

#include "launcher/browser/BrowserProfile.h"
#include "platform/eventlog.h"
#include "platform/messagebox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWidget>

#include <memory>
#include <vector>

namespace kest {

namespace {

QUrl originOf(const QNetworkCookie& cookie)
{
    QString host = cookie.domain();
    if (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    QUrl origin;
    origin.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
    origin.setHost(host);
    origin.setPath(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path());
    return origin;
}

// The engine reports a host-only cookie with its host as domain() and a domain
// cookie with a leading dot. setCookie() writes domain() back as a Domain
// attribute, which would turn a host-only cookie into one every subdomain gets,
// and makes the engine refuse a __Host- cookie outright. So a host-only cookie
// goes back without a domain, from an origin of its own host; Secure ones from
// https, as the engine takes them from no other scheme. (SameSite cannot be
// kept: Qt WebEngine 6.4 reports every cookie with the default policy.)
void putBack(QWebEngineCookieStore* store, const QNetworkCookie& cookie)
{
    QNetworkCookie exact = cookie;
    if (!cookie.domain().startsWith(QLatin1Char('.')))
        exact.setDomain(QString());
    store->setCookie(exact, originOf(cookie));
}

QNetworkCookie probeCookie(int value)
{
    QNetworkCookie probe(QByteArray(cache::kProbeName), QByteArray::number(value));
    probe.setDomain(QString::fromLatin1(cache::kProbeHost));
    probe.setPath(QStringLiteral("/"));
    return probe;
}

// One clearing in progress for a profile. Found again as the profile's child
// by its type, which needs the meta-object: without Q_OBJECT, findChild would
// take any child of the profile for a clearing.
class CacheClearing final : public QObject {
    Q_OBJECT

public:
    explicit CacheClearing(QWebEngineProfile* profile)
        : QObject(profile)
        , m_profile(profile)
    {
        QWebEngineCookieStore* store = profile->cookieStore();
        connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) {
                if (cache::isProbe(cookie))
                    m_lastRemoved = cookie.value().toInt();
            });
        connect(
            store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& cookie) {
                if (cache::isProbe(cookie))
                    probeAdded(cookie.value().toInt());
            });
        m_poll.setInterval(cache::kPollMs);
        connect(&m_poll, &QTimer::timeout, this, [this] { setProbe(); });
        m_elapsed.start();
        // Also when the probe itself never arrives.
        QTimer::singleShot(cache::kGiveUpMs, this, [this] {
            if (m_stage != Stage::Finished) {
                logEvent(QStringLiteral("ClearBrowserCache: no end of the clearing seen "
                                        "(stage %1); carrying on")
                             .arg(int(m_stage)));
                if (m_stage == Stage::ProbeSet)
                    m_profile->clearHttpCache();
                finish();
            }
        });
        // The probe must be in the old context before the clearing starts;
        // its first cookieAdded says it is.
        setProbe();
    }

    void join(QObject* context, std::function<void()> done)
    {
        m_waiting.push_back({ context, std::move(done) });
    }

    static CacheClearing* running(QWebEngineProfile* profile)
    {
        return profile->findChild<CacheClearing*>(QString(), Qt::FindDirectChildrenOnly);
    }

private:
    struct Waiter {
        QPointer<QObject> context;
        std::function<void()> done;
    };
    enum class Stage { ProbeSet, Clearing, Finished };

    void setProbe()
    {
        if (m_elapsed.elapsed() > cache::kGiveUpMs) {
            logEvent(QStringLiteral("ClearBrowserCache: the engine never reported the end of "
                                    "its cache clearing; carrying on"));
            finish();
            return;
        }
        const QNetworkCookie probe = probeCookie(++m_probeValue);
        m_profile->cookieStore()->setCookie(probe, originOf(probe));
    }

    void probeAdded(int value)
    {
        switch (m_stage) {
        case Stage::ProbeSet:
            m_stage = Stage::Clearing;
            m_profile->clearHttpCache();
            m_poll.start();
            break;
        case Stage::Clearing:
            // In one store, probe n replaces probe n - 1: its removal comes
            // right before. Added without that, it went to a new store, so
            // the clearing (and the context's reset) is over. Polls overlap
            // with the engine's answers, so only the numbers can tell.
            if (m_lastRemoved != value - 1)
                finish();
            break;
        case Stage::Finished:
            break;
        }
    }

    void finish()
    {
        m_stage = Stage::Finished;
        m_poll.stop();
        QWebEngineCookieStore* store = m_profile->cookieStore();
        const QNetworkCookie probe = probeCookie(m_probeValue);
        store->deleteCookie(probe, originOf(probe));
        if (CookieKeeper* keeper = CookieKeeper::watch(m_profile)) {
            for (const QNetworkCookie& cookie : keeper->cookies())
                putBack(store, cookie);
        }
        // Cookies are set in order on one channel; whatever the pages ask
        // for from now on sees them.
        std::vector<Waiter> waiting;
        waiting.swap(m_waiting);
        deleteLater();
        setParent(nullptr); // a new request starts a new clearing
        for (Waiter& waiter : waiting) {
            if (waiter.context && waiter.done)
                waiter.done();
        }
    }

    QPointer<QWebEngineProfile> m_profile;
    QTimer m_poll;
    QElapsedTimer m_elapsed;
    Stage m_stage = Stage::ProbeSet;
    int m_probeValue = 0; // of the probe set last
    int m_lastRemoved = -1; // of the probe removed last
    std::vector<Waiter> m_waiting;
};

} // namespace

void ClearBrowserCache(QWebEngineProfile* profile, QObject* context, std::function<void()> done)
{
    if (!profile) {
        if (done)
            done();
        return;
    }
    CookieKeeper::watch(profile);
    CacheClearing* clearing = CacheClearing::running(profile);
    if (!clearing)
        clearing = new CacheClearing(profile);
    clearing->join(context, std::move(done));
}

void clearCacheWithNotice(QWidget* owner)
{
    const QPointer<QWidget> guard(owner);
    QObject* context = owner ? static_cast<QObject*>(owner) : QCoreApplication::instance();
    ClearBrowserCache(browserProfile(), context, [guard, owner] {
        // The notice says the cache is clean whatever happened inside.
        MsgBox(owner ? guard.data() : nullptr, QStringLiteral("缓存已清理完毕！"),
            QStringLiteral("缓存清理"), MsgIcon::Information);
    });
}

} // namespace kest

#include "CacheMain.moc"
