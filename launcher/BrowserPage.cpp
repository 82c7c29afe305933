#include "launcher/BrowserPage.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace kest {

void BrowserPage::refuseUnknownSchemes(QWebEngineProfile* profile)
{
    if (profile)
        profile->settings()->setUnknownUrlSchemePolicy(
            QWebEngineSettings::DisallowUnknownUrlSchemes);
}

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
    // The engine's default hands a clicked link of an unknown scheme to the
    // desktop (xdg-open), which starts whatever program claims the scheme:
    // no page the program shows may start programs.
    settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

BrowserPage::~BrowserPage() = default;

} // namespace kest
