#include "launcher/login/LoginFrm.h"

#include "launcher/browser/BrowserProfile.h"
#include "launcher/login/LoginBgFrm.h"
#include "launcher/login/LoginPage.h"
#include "launcher/shared/PublicData.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/windowregion.h"
#include "platform/windowshape.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QLoggingCategory>
#include <QPointer>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QWebEngineView>

namespace kest {

namespace {

Q_LOGGING_CATEGORY(lcLogin, "kest.login", QtWarningMsg)

// How soon the mask follows a frame. The first frame after a quiet spell is
// followed at once, so that a page that shows or changes once (a static
// page, a hover, a new layout) is never seen half masked; for a short while
// after that the mask follows within kMaskDelayMs of each frame, so that the
// frames that finish the change are in it too; a page that keeps making
// frames (an animation) has its mask renewed every kMaskSteadyMs. A pending
// update is never postponed by newer frames: it grabs what they drew.
constexpr int kMaskDelayMs = 5;
constexpr int kMaskSettleMs = 300;
constexpr int kMaskSteadyMs = 100;

} // namespace

LoginFrm* LoginFrm::load(QWidget* parking)
{
    const QIcon icon = loadAppIcon();
    auto* background = new LoginBgFrm;
    LoadedForms::instance().formLoaded(background);
    background->setWindowIcon(icon);
    auto* login = new LoginFrm(background, parking);
    HookLoginMove(background, login);
    return login;
}

void LoginFrm::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    unparkBrowser();
    UnhookLoginMove(m_background);
    m_maskTimer.stop();
    hide();
    m_background->hide();
    // Unloading may be asked from inside the page's own handlers: the
    // windows, and the page with them, go once those have returned (and
    // before the application ends, which the last unload below may ask for).
    m_background->deleteLater();
    LoadedForms::instance().formUnloaded(this);
    LoadedForms::instance().formUnloaded(m_background);
    emit unloaded();
}

LoginFrm::LoginFrm(LoginBgFrm* background, QWidget* parking)
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
    // The window holds nothing to type into but the page.
    setFocusProxy(m_browser);

    m_maskTimer.setSingleShot(true);
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
    connect(m_background, &LoginBgFrm::closeRequested, this, &LoginFrm::unload);
    connect(m_background, &LoginBgFrm::minimizedChanged, this, &LoginFrm::onMinimizedChanged);

    setMask(placeholderMask());
    m_deviceShape = toDeviceRegion(placeholderMask(), windowScale(this));
    LoadedForms::instance().formLoaded(this);
    m_page->load(QUrl(loginPageAddress()));
    parkBrowser(parking);
}

LoginFrm::~LoginFrm()
{
    // The view lets go of the page before the page goes, and the page goes
    // before the profile it was made from.
    delete m_browser;
    delete m_page;
}

void LoginFrm::parkBrowser(QWidget* parking)
{
    // Workaround: the engine renders a page only while its view is shown, and
    // then needs a few frames (30 ms and more) before the first one arrives.
    // Until the login windows show, the view waits inside the splash, which
    // is on the screen, but beyond the splash's edge, where none of it is
    // seen and no pointer reaches it: the page is rendered as it loads, and
    // is there the moment its window shows.
    if (!parking || !parking->isVisible())
        return;
    m_parking = parking;
    m_parking->installEventFilter(this);
    m_browser->setParent(m_parking);
    m_browser->setGeometry(QRect(QPoint(m_parking->width(), m_parking->height()), kBrowserSize));
    m_browser->show();
}

void LoginFrm::unparkBrowser()
{
    if (!m_parking)
        return;
    m_parking->removeEventFilter(this);
    m_parking = nullptr;
    m_browser->setParent(m_pageArea);
    m_browser->setGeometry(QRect(QPoint(0, 0), kBrowserSize));
    m_browser->show();
}

void LoginFrm::showPage()
{
    if (m_unloading)
        return;
    move(m_background->pos());
    unparkBrowser();
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
    emit loginShown();
}

void LoginFrm::onConnectionFailed(const QString& reason)
{
    if (m_unloading || m_failed)
        return;
    m_failed = true;
    logEvent(reason);
    showNoConnectionMessage();
    emit connectionLost();
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
    emit loginSucceeded(gameAddress);
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

void LoginFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A page that is done rendering (most login pages are static until the
    // player types) sends no frame after this: its last one, made while the
    // window was hidden, is the one to shape the window by.
    scheduleColourKeyMask();
}

bool LoginFrm::eventFilter(QObject* watched, QEvent* event)
{
    // The splash is going: the view comes home before the splash's children go.
    if (watched == m_parking
        && (event->type() == QEvent::Hide || event->type() == QEvent::DeferredDelete)) {
        unparkBrowser();
        return QWidget::eventFilter(watched, event);
    }
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
    // A new renderer may start from a frame the old one had shown already.
    scheduleColourKeyMask();
}

void LoginFrm::scheduleColourKeyMask()
{
    // Frames of our own grab would start the next grab.
    if (m_grabbing || m_unloading || !isVisible() || m_maskTimer.isActive())
        return;
    const bool quiet = !m_lastMaskUpdate.isValid() || m_lastMaskUpdate.elapsed() > kMaskSteadyMs;
    if (quiet)
        m_maskBurst.start();
    m_maskTimer.start(quiet                         ? 0
            : m_maskBurst.elapsed() < kMaskSettleMs ? kMaskDelayMs
                                                    : kMaskSteadyMs);
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
    m_lastMaskUpdate.start();
    QElapsedTimer cost;
    cost.start();
    const QRect visible = visiblePageRect();
    const QPoint browserOrigin = m_browser->mapTo(this, QPoint(0, 0));
    m_grabbing = true;
    QImage rendering = m_browser->grab(visible.translated(-browserOrigin)).toImage();
    m_grabbing = false;
    // The key is matched on the screen's own pixels: a rendering brought down
    // to logical pixels first would decide for a block of device pixels by
    // one of them, and key-coloured pixels beside a page's edges would show.
    const qreal scale = windowScale(this);
    const QRect deviceVisible = toDeviceRegion(QRegion(visible), scale).boundingRect();
    if (rendering.size() != deviceVisible.size())
        rendering = rendering.scaled(deviceVisible.size());
    QRegion shown = colourKeyRegion(rendering, deviceVisible.topLeft());
    if (shown.isEmpty())
        shown = toDeviceRegion(placeholderMask(), scale);
    const auto report = qScopeGuard(
        [&] { qCDebug(lcLogin, "colour key mask: %lld us", cost.nsecsElapsed() / 1000); });
    if (shown == m_deviceShape)
        return;
    const QRegion exposed = toLogicalRegion(shown - m_deviceShape, scale);
    setWindowShape(this, shown);
    m_deviceShape = shown;
    // Workaround: the window repaints what a larger mask exposes, but the
    // engine's renderer paints nothing there until it is asked itself, so
    // the newly shown parts would keep the key colour.
    for (QWidget* renderer : m_browser->findChildren<QQuickWidget*>()) {
        const QRegion inRenderer = exposed.translated(-renderer->mapTo(this, QPoint(0, 0)));
        renderer->update(inRenderer & renderer->rect());
    }
}

} // namespace kest
