#include "launcher/mainwindow/WebUrl.h"

#include "launcher/browser/BrowserPage.h"
#include "launcher/browser/BrowserProfile.h"
#include "platform/plaintext.h"
#include "platform/units.h"
#include "platform/windowhiding.h"
#include "tabstrip/CTabItem.h"
#include "tabstrip/IuTab.h"

#include <QEvent>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace kest {

namespace {

// The size the window has until the strip fits it to its container.
constexpr int kDesignWidthTwips = 9090;
constexpr int kDesignHeightTwips = 6255;

// How far the browser reaches past each edge of the page area.
constexpr int kBorderHide = 2;

// Hides the scroll bars of the top document. Injected into every frame: the
// top document applies it when ready and when loaded; a frame re-applies it to
// the top document when it completes, directly when it has the top's origin
// and through a message to the top otherwise. A document whose root element
// has no style (an XML document, say) is left alone.
const char kOverflowScript[] = R"JS((function () {
  var NOTICE = 'kest:hide-overflow';
  function hideTop() {
    try {
      var root = window.top.document.documentElement;
      if (root && root.style)
        root.style.overflow = 'hidden';
      return true;
    } catch (e) {
      return false;
    }
  }
  if (window.top === window) {
    window.addEventListener('message', function (e) {
      if (e.data === NOTICE)
        hideTop();
    });
    hideTop();
    window.addEventListener('load', hideTop);
  } else {
    var complete = function () {
      if (!hideTop())
        window.top.postMessage(NOTICE, '*');
    };
    complete();
    window.addEventListener('load', complete);
  }
})();)JS";

const char kHideOverflowNow[] = "(function () { var root = document.documentElement;"
                                " if (root && root.style) root.style.overflow = 'hidden'; })();";

} // namespace

WebUrl::WebUrl(QWidget* parent)
    : QWidget(parent)
    , m_picture(new QWidget(this))
    , m_wb(new QWebEngineView(m_picture))
{
    resize(twipsToPixelsTruncated(kDesignWidthTwips), twipsToPixelsTruncated(kDesignHeightTwips));
    m_picture->installEventFilter(this);
    m_wb->installEventFilter(this);
    for (QWidget* child : m_wb->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);
    m_wb->setContextMenuPolicy(Qt::NoContextMenu);

    auto* page = new BrowserPage(browserProfile(), m_wb);
    trackBrowserPage(page);
    QWebEngineScript overflow;
    overflow.setName(QStringLiteral("kest-hide-overflow"));
    overflow.setSourceCode(QString::fromLatin1(kOverflowScript));
    overflow.setInjectionPoint(QWebEngineScript::DocumentReady);
    overflow.setRunsOnSubFrames(true);
    // Its own world: the page's scripts neither see nor disturb it.
    overflow.setWorldId(QWebEngineScript::ApplicationWorld);
    page->scripts().insert(overflow);
    m_wb->setPage(page);

    // A title is the page's to choose: it reaches the tab as one line.
    connect(m_wb, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        if (m_item)
            m_item->setCaption(singleLine(title));
    });
    connect(m_wb, &QWebEngineView::loadFinished, this, [this](bool) { hideOverflow(); });

    m_picture->setGeometry(rect());
    PlaceBrowser();
    m_wb->setUrl(QUrl(QStringLiteral("about:blank")));
}

WebUrl::~WebUrl()
{
    // The view and its page go with the children; nothing they say on the way
    // out may reach a tab that outlives this window.
    disconnect(m_wb, nullptr, this, nullptr);
    m_picture->removeEventFilter(this);
    m_wb->removeEventFilter(this);
    for (QWidget* child : m_wb->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->removeEventFilter(this);
}

void WebUrl::Initialize(IuTab* implement, CTabItem* item)
{
    m_strip = implement;
    m_stripControl = implement ? implement->Control() : nullptr;
    m_item = item;
}

CTabItem* WebUrl::item() const
{
    return m_item.data();
}

void WebUrl::RefreshPage()
{
    m_wb->reload();
}

bool WebUrl::OpenURL(const QString& szURL)
{
    const QUrl url(szURL.trimmed());
    if (!url.isValid() || url.isRelative())
        return false;
    const bool web
        = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (web && url.host().isEmpty())
        return false;
    m_wb->setUrl(url);
    return true;
}

void WebUrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_picture->setGeometry(0, 0, width(), height());
}

bool WebUrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture && event->type() == QEvent::Resize)
        PlaceBrowser();
    // The engine's render widget comes and goes with the renderer; each one
    // is watched like the view.
    if (watched == m_wb && event->type() == QEvent::ChildAdded) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
    }
    // A minimised window sends its widgets spontaneous hide events (and show
    // events when restored) while they stay shown; a window going off the
    // screen or back is hidden and shown again at once. The view and its
    // render widget would take the page for hidden: no animation frames,
    // timers once a second, a game stalled in the taskbar, and a page told
    // it was hidden when the player only pressed F10. They never see them.
    if ((event->type() == QEvent::Hide || event->type() == QEvent::Show)
        && (watched == m_wb || watched->parent() == m_wb)
        && (event->spontaneous() || isChangingPlace(m_wb->window())))
        return true;
    return QWidget::eventFilter(watched, event);
}

void WebUrl::PlaceBrowser()
{
    m_wb->setGeometry(-kBorderHide, -kBorderHide, m_picture->width() + 2 * kBorderHide,
        m_picture->height() + 2 * kBorderHide);
}

void WebUrl::hideOverflow()
{
    m_wb->page()->runJavaScript(
        QString::fromLatin1(kHideOverflowNow), QWebEngineScript::ApplicationWorld);
}

} // namespace kest
