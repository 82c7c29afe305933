#include "launcher/LoginFrm.h"

#include "launcher/BrowserProfile.h"
#include "launcher/LoadFrm.h"
#include "launcher/LoginBgFrm.h"
#include "launcher/LoginPage.h"
#include "launcher/MainWindowHandOver.h"
#include "launcher/PublicData.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/process.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QPointer>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QWebEngineView>

namespace kest {

namespace {

QPointer<LoginFrm>& loginSlot()
{
    static QPointer<LoginFrm> login;
    return login;
}

// Frames come in bursts; the mask follows once a burst is over, and at least
// this often while frames keep coming (an animated page).
constexpr int kMaskDelayMs = 20;
constexpr int kMaskMaxDelayMs = 100;

} // namespace

LoginFrm* LoginFrm::instance()
{
    return loginSlot();
}

LoginFrm* LoginFrm::load()
{
    if (LoginFrm* login = loginSlot())
        return login;
    const QIcon icon = loadAppIcon();
    auto* background = new LoginBgFrm;
    LoadedForms::instance().formLoaded(background);
    background->setWindowIcon(icon);
    auto* login = new LoginFrm(background);
    loginSlot() = login;
    HookLoginMove(background, login);
    return login;
}

void LoginFrm::unload()
{
    LoginFrm* login = loginSlot();
    if (!login || login->m_unloading)
        return;
    login->m_unloading = true;
    loginSlot() = nullptr;
    LoginBgFrm* background = login->m_background;

    UnhookLoginMove(background);
    login->m_maskTimer.stop();
    login->hide();
    background->hide();
    // Unloading may be asked from inside the page's own handlers: the
    // windows, and the page with them, go once those have returned (and
    // before the application ends, which the last unload below may ask for).
    background->deleteLater();
    LoadedForms::instance().formUnloaded(login);
    LoadedForms::instance().formUnloaded(background);
    // Nothing else would end a splash whose login page never arrived.
    LoadFrm::unloadSplash();
}

LoginFrm::LoginFrm(LoginBgFrm* background)
    : QWidget(background, Qt::Tool | Qt::FramelessWindowHint)
    , m_background(background)
    , m_pageArea(new QWidget(this))
    , m_browser(new QWebEngineView(m_pageArea))
    , m_page(new LoginPage(browserProfile(), this))
{
    setWindowTitle(clientCaption());
    setFixedSize(kDesignSize);
    QPalette keyed = palette();
    keyed.setColor(QPalette::Window, QColor::fromRgb(kColourKey));
    setPalette(keyed);
    setAutoFillBackground(true);
    m_pageArea->setGeometry(kPageArea);
    m_pageArea->setAutoFillBackground(true);

    // Where the page paints nothing, the key colour shows, and the artwork with it.
    m_page->setBackgroundColor(QColor::fromRgb(kColourKey));
    trackBrowserPage(m_page);
    m_browser->setPage(m_page);
    m_browser->setGeometry(QRect(QPoint(0, 0), kBrowserSize));
    m_browser->setContextMenuPolicy(Qt::NoContextMenu);
    // The engine renders into a child widget that it creates with the
    // page's first renderer and may replace later.
    m_browser->installEventFilter(this);

    m_maskTimer.setSingleShot(true);
    m_maskTimer.setInterval(kMaskDelayMs);
    connect(&m_maskTimer, &QTimer::timeout, this, &LoginFrm::updateColourKeyMask);

    connect(m_page, &LoginPage::loginPageArrived, this, &LoginFrm::onLoginPageArrived);
    connect(m_page, &LoginPage::connectionFailed, this, &LoginFrm::onConnectionFailed);
    connect(m_page, &LoginPage::loadGameRequested, this, &LoginFrm::onLoadGame);
    connect(m_page, &LoginPage::exitGameRequested, this, [this] {
        if (!m_failed)
            unload();
    });
    connect(m_page, &LoginPage::minimizeRequested, this, [this] {
        if (!m_unloading && !m_failed)
            m_background->showMinimized();
    });
    connect(m_background, &LoginBgFrm::closeRequested, this, [] { unload(); });
    connect(m_background, &LoginBgFrm::minimizedChanged, this, &LoginFrm::onMinimizedChanged);

    setMask(placeholderMask());
    LoadedForms::instance().formLoaded(this);
    m_page->load(QUrl(loginPageAddress()));
}

LoginFrm::~LoginFrm()
{
    // The view lets go of the page before the page goes, and the page goes
    // before the profile it was made from.
    delete m_browser;
    delete m_page;
}

void LoginFrm::showPage()
{
    if (m_unloading)
        return;
    move(m_background->pos());
    show();
    raise();
    activateWindow();
    m_browser->setFocus();
}

void LoginFrm::onLoginPageArrived()
{
    if (m_unloading || m_failed)
        return;
    if (!m_background->isVisible() && !m_background->isMinimized())
        m_background->showLogin();
    if (!isVisible() && !m_background->isMinimized())
        showPage();
    LoadFrm::unloadSplash();
}

void LoginFrm::onConnectionFailed(const QString& reason)
{
    if (m_unloading || m_failed)
        return;
    m_failed = true;
    logEvent(reason);
    showNoConnectionMessage();
    // A further account's login failing leaves the main window and its
    // pages as they are; only the login windows close.
    if (mainWindow().isLoaded()) {
        unload();
        return;
    }
    endProcessNow(kExitNoConnection);
}

void LoginFrm::onLoadGame(const QString& gameAddress)
{
    if (m_unloading || m_failed)
        return;
    // The login windows disappear first; they are unloaded only once the
    // main window has the address, so that the launcher is never left
    // without a loaded window in between.
    hide();
    m_background->hide();
    MainWindowHandOver& main = mainWindow();
    main.SetURL(gameAddress);
    main.showMainWindow();
    unload();
}

void LoginFrm::onMinimizedChanged(bool minimized)
{
    if (m_unloading)
        return;
    if (minimized) {
        m_hiddenByMinimize = isVisible();
        hide();
    } else if (m_hiddenByMinimize) {
        m_hiddenByMinimize = false;
        setWindowState(Qt::WindowNoState);
        showPage();
    }
}

void LoginFrm::closeEvent(QCloseEvent* event)
{
    // Without its background the page window is of no use: closing either
    // one closes both.
    event->ignore();
    unload();
}

bool LoginFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_browser && event->type() == QEvent::ChildAdded) {
        // The child is still being constructed: look at it once it is done.
        QMetaObject::invokeMethod(this, &LoginFrm::watchRendering, Qt::QueuedConnection);
    } else if (event->type() == QEvent::Paint && watched != m_browser) {
        // Paints of the rendering widget reach only the parts of it inside
        // the current mask; rendering it is told of separately.
        scheduleColourKeyMask();
    }
    return QWidget::eventFilter(watched, event);
}

void LoginFrm::watchRendering()
{
    for (QObject* child : m_browser->children()) {
        child->installEventFilter(this); // repeated calls do not add the filter twice
        // Workaround: the engine's view has no signal for a new frame, but in
        // this Qt the frames are rendered by a QQuickWidget whose window says
        // when each one is done, whatever part of it the mask shows.
        if (auto* renderer = qobject_cast<QQuickWidget*>(child)) {
            connect(renderer->quickWindow(), &QQuickWindow::afterRendering, this,
                &LoginFrm::scheduleColourKeyMask, Qt::UniqueConnection);
        }
    }
}

void LoginFrm::scheduleColourKeyMask()
{
    // Frames of our own grab would start the next grab.
    if (m_grabbing || m_unloading || !isVisible())
        return;
    if (!m_maskTimer.isActive())
        m_maskPending.start();
    else if (m_maskPending.elapsed() >= kMaskMaxDelayMs)
        return; // let the pending update run
    m_maskTimer.start();
}

QRect LoginFrm::visiblePageRect() const
{
    return rect() & m_pageArea->geometry();
}

QRegion LoginFrm::placeholderMask() const
{
    // A window with an empty shape is never exposed, so its page would never
    // paint: one pixel in the strip below the page keeps it exposed.
    const QRect page = visiblePageRect();
    return QRegion(width() / 2, (page.bottom() + 1 + height()) / 2, 1, 1);
}

QRegion LoginFrm::colourKeyRegion(const QImage& rendering, QPoint origin)
{
    if (rendering.isNull())
        return {};
    const QImage opaque = rendering.convertToFormat(QImage::Format_RGB32);
    // MaskInColor sets the bits of the pixels that differ from the key, which
    // become the shown part of the region.
    const QRegion shown(
        QBitmap::fromImage(opaque.createMaskFromColor(kColourKey, Qt::MaskInColor)));
    return shown.translated(origin);
}

void LoginFrm::updateColourKeyMask()
{
    if (m_unloading || !isVisible())
        return;
    const QRect visible = visiblePageRect();
    const QPoint browserOrigin = m_browser->mapTo(this, QPoint(0, 0));
    m_grabbing = true;
    QImage rendering = m_browser->grab(visible.translated(-browserOrigin)).toImage();
    m_grabbing = false;
    if (rendering.size() != visible.size()) // a high-density screen
        rendering = rendering.scaled(visible.size());
    QRegion shown = colourKeyRegion(rendering, visible.topLeft());
    if (shown.isEmpty())
        shown = placeholderMask();
    if (shown != mask())
        setMask(shown);
}

} // namespace kest
