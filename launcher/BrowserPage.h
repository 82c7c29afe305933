#pragma once

#include <QWebEnginePage>

class QWebEngineProfile;

namespace kest {

// What every page the program makes has in common, whoever serves it: a link
// or script to a scheme the engine does not know (mailto:, a desktop
// program's own scheme) is dropped, never handed to the desktop's opener;
// app: links are the program's own, handled by the login page.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserPage)

public:
    explicit BrowserPage(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~BrowserPage() override;

    // Applies the unknown-scheme rule to a profile's defaults, so that a
    // page made on it some other way keeps it too.
    static void refuseUnknownSchemes(QWebEngineProfile* profile);
};

} // namespace kest
