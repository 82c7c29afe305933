#include "launcher/login/LoginPage.h"

#include "launcher/shared/AppLinks.h"
#include "platform/eventlog.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <string_view>

namespace kest {

namespace {

const QByteArray kAppScheme = QByteArrayLiteral("app");

// Chromium's net::ERR_ABORTED: a load replaced or stopped by another one.
constexpr int kErrAborted = -3;

std::u16string_view utf16(const QString& text)
{
    return { reinterpret_cast<const char16_t*>(text.utf16()),
        static_cast<std::size_t>(text.size()) };
}

QString fromUtf16(std::u16string_view text)
{
    return QString(
        reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// App links are carried out by the page, never loaded: every request that
// still reaches the scheme is refused.
class AppSchemeRefusal final : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

// Reports the target of each navigation that names an app link, and cancels
// that navigation. Anchors are read at their click, through getAttribute, so
// the text is exactly what the page wrote; other navigations (script
// assignments, forms, refreshes) through the Navigation API, whose destination
// keeps "|" and case. The listener sits on the window in the bubbling phase, so
// a page that handles and cancels its own click is left alone. The console
// function is taken before any page script can replace it.
constexpr char kLinkScript[] = R"JS((function () {
    'use strict';
    const report = console.debug.bind(console);
    const tag = %1;
    const links = %2;
    function isAppLink(target) {
        if (typeof target !== 'string')
            return false;
        const lower = target.replace(/[A-Z]+/g, function (s) { return s.toLowerCase(); });
        return links.some(function (l) { return lower.indexOf(l) !== -1; });
    }
    window.addEventListener('click', function (e) {
        if (e.defaultPrevented || e.button !== 0 || !e.target || !e.target.closest)
            return;
        const anchor = e.target.closest('a[href], area[href]');
        const target = anchor ? anchor.getAttribute('href') : null;
        if (isAppLink(target)) {
            e.preventDefault();
            report(tag + target);
        }
    });
    if (window.navigation) {
        window.navigation.addEventListener('navigate', function (e) {
            const target = e.destination.url;
            if (!e.defaultPrevented && e.cancelable && isAppLink(target)) {
                e.preventDefault();
                report(tag + target);
            }
        });
    }
})();)JS";

QString jsString(const QString& text)
{
    QString out = QStringLiteral("'");
    for (const QChar c : text) {
        if (c == u'\'' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'\'';
}

// The injected script; its reports begin with `tag`.
QString linkScript(const QString& tag)
{
    QStringList links;
    for (const std::u16string_view link : kAppLinkTexts)
        links << jsString(fromUtf16(link));
    return QString::fromUtf8(kLinkScript)
        .arg(jsString(tag),
            QString(QLatin1Char('[') + links.join(QLatin1Char(',')) + QLatin1Char(']')));
}

} // namespace

void LoginPage::registerAppScheme()
{
    if (QWebEngineUrlScheme::schemeByName(kAppScheme).name() == kAppScheme)
        return;
    // No flags: a local scheme would be blocked from web pages before any
    // script sees the navigation; path syntax keeps the target's text as is.
    QWebEngineUrlScheme scheme(kAppScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void LoginPage::installAppSchemeHandler(QWebEngineProfile* profile)
{
    if (profile && !profile->urlSchemeHandler(kAppScheme))
        profile->installUrlSchemeHandler(kAppScheme, new AppSchemeRefusal(profile));
}

LoginPage::LoginPage(QWebEngineProfile* profile, QObject* parent)
    : BrowserPage(profile, parent)
    , m_tag(QStringLiteral("kest-app-link:%1:")
                .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0')))
{
    installAppSchemeHandler(profile);

    QWebEngineScript script;
    script.setName(QStringLiteral("kest-app-links"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(linkScript(m_tag));
    scripts().insert(script);

    // A failed load must leave no engine error page of its own behind: the
    // login windows show the platform's page or nothing.
    settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);

    connect(this, &QWebEnginePage::loadingChanged, this, &LoginPage::onLoadingChanged);
    connect(this, &QWebEnginePage::renderProcessTerminated, this,
        [this](RenderProcessTerminationStatus status, int exitCode) {
            if (status != NormalTerminationStatus)
                emit connectionFailed(
                    QStringLiteral("the login page's renderer ended (status %1, code %2)")
                        .arg(int(status))
                        .arg(exitCode));
        });
}

LoginPage::~LoginPage() = default;

bool LoginPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (url.scheme() != QLatin1String(kAppScheme))
        return BrowserPage::acceptNavigationRequest(url, type, isMainFrame);
    // The script did not see this one (a frame's first address, a redirect,
    // a new window). QUrl keeps the text of "app://exitgame" and
    // "app://minimize"; of a loadgame target it keeps no "|" in this form,
    // so that link is refused rather than opening a damaged address.
    carryOut(url.toString(QUrl::FullyEncoded));
    return false;
}

void LoginPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
    const QString& message, int lineNumber, const QString& sourceID)
{
    if (message.startsWith(m_tag)) {
        carryOut(message.mid(m_tag.size()));
        return;
    }
    BrowserPage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

void LoginPage::carryOut(const QString& target)
{
    const AppLink link = matchAppLink(utf16(target));
    switch (link.kind) {
    case AppLinkKind::None:
        logEvent(QStringLiteral("app link not understood: %1").arg(addressForLog(target)));
        return;
    case AppLinkKind::ExitGame:
        emit exitGameRequested();
        return;
    case AppLinkKind::Minimize:
        emit minimizeRequested();
        return;
    case AppLinkKind::LoadGame:
        switch (link.problem) {
        case LoadGameProblem::None:
            emit loadGameRequested(fromUtf16(link.gameAddress));
            return;
        case LoadGameProblem::NoAddress:
            logEvent(QStringLiteral("loadgame link without a game address, ignored: %1")
                         .arg(addressForLog(target)));
            return;
        case LoadGameProblem::NotWebAddress:
            logEvent(QStringLiteral("loadgame link whose address is not a web address, ignored: %1")
                         .arg(addressForLog(target)));
            return;
        case LoadGameProblem::AddressTooLong:
            logEvent(QStringLiteral("loadgame link whose address is too long (%1 characters), "
                                    "ignored: %2")
                         .arg(target.size())
                         .arg(addressForLog(target)));
            return;
        }
        return;
    }
}

void LoginPage::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        ++m_loadsStarted;
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorCode() == kErrAborted)
            return;
        // An error status (4xx, 5xx) is a failed load whatever its body: a
        // long error page is no login page either.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            emit connectionFailed(QStringLiteral("%1 answered HTTP status %2")
                                      .arg(addressForLog(info.url().toString()))
                                      .arg(info.errorCode()));
            return;
        }
        emit connectionFailed(QStringLiteral("%1 did not load: %2")
                                  .arg(addressForLog(info.url().toString()), info.errorString()));
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        checkDocument(info.url().toString());
        return;
    }
}

void LoginPage::checkDocument(const QString& address)
{
    // The length is asked in an isolated world, where the page's own scripts
    // cannot redefine what innerHTML reports.
    const std::uint64_t load = m_loadsStarted;
    // The engine answers pending calls with no result while the base page is
    // being destroyed, when this object is no longer a LoginPage: the guard
    // is a QObject pointer, so testing it never casts to LoginPage.
    QPointer<QObject> guard(this);
    LoginPage* self = this;
    runJavaScript(QStringLiteral("document.documentElement ? "
                                 "document.documentElement.innerHTML.length : 0"),
        QWebEngineScript::ApplicationWorld, [guard, self, load, address](const QVariant& result) {
            // No result: the page is being destroyed. Another load started
            // meanwhile: the document asked may be its successor, which
            // reports its own completion.
            if (!result.isValid() || guard.isNull() || self->m_loadsStarted != load)
                return;
            const qint64 length = result.toLongLong();
            if (isLoginPageLongEnough(length))
                emit self->loginPageArrived();
            else
                emit self->connectionFailed(
                    QStringLiteral("%1 is too short to be the login page (%2 characters)")
                        .arg(addressForLog(address))
                        .arg(length));
        });
}

} // namespace kest
