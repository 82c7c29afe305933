#pragma once

#include "launcher/browser/PageDialogGate.h"

#include <QWebEnginePage>

class QWebEngineProfile;

namespace kest {

// What every page the program makes has in common, whoever serves it:
//  - a link or script to a scheme the engine does not know (mailto:, a
//    desktop program's own scheme) is dropped, never handed to the desktop's
//    opener; app: links are the program's own, handled by the login page;
//  - a script's alert, confirm or prompt shows only while the page is shown
//    and only one at a time (see PageDialogGate); otherwise alert returns at
//    once, confirm answers false and prompt gives no text.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserPage)

public:
    explicit BrowserPage(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~BrowserPage() override;

    // Whether the player can see the page: its view is visible, in a window
    // that is shown and not minimised, and not placed out of sight.
    bool isShownToPlayer() const;

    // Applies the unknown-scheme rule to a profile's defaults, so that a
    // page made on it some other way keeps it too.
    static void refuseUnknownSchemes(QWebEngineProfile* profile);

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
        const QString& defaultValue, QString* result) override;

private:
    bool mayOpen(PageDialog kind, const QUrl& securityOrigin);

    PageDialogGate m_dialogs;
};

} // namespace kest
