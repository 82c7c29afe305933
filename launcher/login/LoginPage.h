#pragma once

#include "launcher/browser/BrowserPage.h"

#include <QString>

#include <cstdint>

class QWebEngineLoadingInfo;
class QWebEngineProfile;

namespace kest {

// The login page: decides which navigations are app command links and whether
// the page has arrived, and says so through its signals; the login windows act
// on them. Unknown schemes and dialogs as every page (BrowserPage).
//
// The exact text of a link target is read by a script injected into every
// document and frame before the page's own scripts: "app://loadgame|http://..."
// is not a valid URL, and the QUrl the engine hands to acceptNavigationRequest
// has lost text by then.
class LoginPage final : public BrowserPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginPage)

public:
    explicit LoginPage(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~LoginPage() override;

    // Makes "app" a URL scheme of the engine. Must run before any engine
    // object or profile exists; without it the engine drops script
    // navigations to app links before any script or handler sees them.
    static void registerAppScheme();

    // Installs on `profile` the handler that refuses every app: request (the
    // links are carried out here, never loaded). Does nothing when one is
    // installed already.
    static void installAppSchemeHandler(QWebEngineProfile* profile);

signals:
    void exitGameRequested();
    void minimizeRequested();
    void loadGameRequested(const QString& gameAddress);
    // The top document completed with enough content to be the login page.
    void loginPageArrived();
    // The login page did not arrive: its load failed (an HTTP error status
    // included, whatever its body), its document was too short, or its
    // renderer ended. `reason` is for the event log.
    void connectionFailed(const QString& reason);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
        int lineNumber, const QString& sourceID) override;

private:
    void carryOut(const QString& target);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void checkDocument(const QString& address);

    QString m_tag; // prefix of the script's reports, private to this page
    std::uint64_t m_loadsStarted = 0;
};

} // namespace kest
