#include "launcher/browser/BrowserPage.h"

#include "platform/eventlog.h"
#include "platform/windowhiding.h"

#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace kest {

namespace {

QString dialogName(PageDialog kind)
{
    switch (kind) {
    case PageDialog::Alert:
        return QStringLiteral("alert");
    case PageDialog::Confirm:
        return QStringLiteral("confirm");
    case PageDialog::Prompt:
        return QStringLiteral("prompt");
    }
    return {};
}

} // namespace

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

bool BrowserPage::isShownToPlayer() const
{
    const QWebEngineView* view = QWebEngineView::forPage(this);
    if (!view || !view->isVisible())
        return false;
    const QWidget* window = view->window();
    if (!kest::isShownToPlayer(window) || window->isMinimized())
        return false;
    // Parked beyond its parent's edge (the login page rendering before its
    // windows show), a visible view shows nothing. (visibleRegion() cannot
    // tell: the engine's render widget covers the view and leaves it none.)
    // A covered tab's view is shown beneath the selected one, which fills
    // the same place: a shown sibling stacked above that takes in all that
    // is left covers it.
    QRect seen = view->rect();
    for (const QWidget* w = view; !w->isWindow(); w = w->parentWidget()) {
        seen.translate(w->pos());
        seen &= w->parentWidget()->rect();
        const QObjectList& siblings = w->parentWidget()->children();
        for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size();
             ++i) {
            const auto* above = qobject_cast<const QWidget*>(siblings.at(i));
            if (above && !above->isWindow() && above->isVisible()
                && above->geometry().contains(seen))
                return false;
        }
    }
    return !seen.isEmpty();
}

bool BrowserPage::mayOpen(PageDialog kind, const QUrl& securityOrigin)
{
    const PageDialogGate::Answer answer = m_dialogs.ask(kind, isShownToPlayer());
    if (answer.log) {
        logEvent(
            QStringLiteral("page dialog %1 from %2 not shown: %3; further ones of its kind are not "
                           "logged")
                .arg(dialogName(kind), addressForLog(securityOrigin.toString()),
                    answer.verdict == PageDialogGate::Verdict::PageNotShown
                        ? QStringLiteral("the page is not shown")
                        : QStringLiteral("the page has a dialog open")));
    }
    return answer.verdict == PageDialogGate::Verdict::Show;
}

// Each dialog runs a modal loop, in which the page may be closed (its tab,
// its window): the gate is told of the end only if the page is still there.

void BrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    if (!mayOpen(PageDialog::Alert, securityOrigin))
        return;
    const QPointer<QObject> alive(this);
    QWebEnginePage::javaScriptAlert(securityOrigin, msg);
    if (alive)
        m_dialogs.closed();
}

bool BrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    if (!mayOpen(PageDialog::Confirm, securityOrigin))
        return false;
    const QPointer<QObject> alive(this);
    const bool confirmed = QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
    if (alive)
        m_dialogs.closed();
    return confirmed;
}

bool BrowserPage::javaScriptPrompt(
    const QUrl& securityOrigin, const QString& msg, const QString& defaultValue, QString* result)
{
    if (!mayOpen(PageDialog::Prompt, securityOrigin))
        return false;
    const QPointer<QObject> alive(this);
    const bool answered
        = QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
    if (alive)
        m_dialogs.closed();
    return answered;
}

} // namespace kest
