#include "launcher/mainwindow/WebMainFrm.h"

#include "launcher/browser/CacheMain.h"
#include "launcher/mainwindow/CKvNotifyIcon.h"
#include "launcher/mainwindow/ModMsg.h"
#include "launcher/mainwindow/MsgFrm.h"
#include "launcher/mainwindow/WebMainFrmLayout.h"
#include "launcher/mainwindow/WebUrl.h"
#include "launcher/shared/PublicData.h"
#include "launcher/shared/UpdateCheck.h"
#include "platform/deploy.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/pictures.h"
#include "platform/plaintext.h"
#include "platform/units.h"
#include "platform/windowhiding.h"
#include "skin/BForm.h"
#include "skin/iButton.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/uTab.h"
#include "winhook/cSetStyle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace kest {

namespace {

using namespace mainframe;

constexpr int kTabStyle = 1;
constexpr int kTabLeftMargin = 10;
constexpr int kTabRightMargin = 0;
// RGB(222, 222, 222) as the caption bar takes colours: 0x00BBGGRR in decimal.
const QString kCaptionBackColor = QString::number(222 * 65536 + 222 * 256 + 222);
constexpr int kTextButtonFaces = 109; // the answer faces, stretched to each button

constexpr int kCaptionGapPx = 2;

iButton* skinnedButton(QWidget* parent, const char* name, int bitmap, QRect twips)
{
    auto* button = new iButton(parent);
    button->setObjectName(QLatin1String(name));
    if (bitmap != 0)
        button->setBackPicture(
            LoadResSkinAt(bitmap, QStringLiteral("BITMAP"), button->devicePixelRatioF()));
    button->setGeometry(toPixels(twips));
    return button;
}

iButton* textButton(QWidget* parent, const char* name, const QString& caption, QRect twips)
{
    auto* button = new iButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoSize(false);
    button->setBackPicture(
        LoadResSkinAt(kTextButtonFaces, QStringLiteral("BITMAP"), button->devicePixelRatioF()));
    button->setCaption(caption);
    button->setGeometry(toPixels(twips));
    return button;
}

} // namespace

WebMainFrm::WebMainFrm()
    : QWidget(nullptr)
{
    setObjectName(QStringLiteral("WebMainFrm"));
    setWindowTitle(QStringLiteral("Zantivo客户端"));
    resize(twipsToPixelsRounded(kDesignWidth), twipsToPixelsRounded(kDesignHeight));
    createControls();
    createMenu();
}

WebMainFrm::~WebMainFrm()
{
    if (m_loaded)
        Form_Unload();
}

void WebMainFrm::createControls()
{
    WebBForm = new BForm(this);
    WebBForm->setObjectName(QStringLiteral("WebBForm"));
    WebBForm->setBackColor(kCaptionBackColor);
    WebBForm->setHasLogo(true);
    WebBForm->setGeometry(toPixels(QRect(0, 0, 15495, 495)));

    PicLogo = new QLabel(this);
    PicLogo->setObjectName(QStringLiteral("PicLogo"));
    PicLogo->setGeometry(toPixels(QRect(100, 30, 440, 440)));

    WebuTab = new uTab(this);
    WebuTab->setObjectName(QStringLiteral("WebuTab"));
    WebuTab->setTabStyle(kTabStyle);
    WebuTab->setTabLeftSize(kTabLeftMargin);
    WebuTab->setTabRight(kTabRightMargin);
    WebuTab->setGeometry(toPixels(QRect(2160, 30, 10215, 480)));

    OtherUserBtn = textButton(
        this, "OtherUserBtn", QStringLiteral("登录其他帐号"), QRect(10680, 0, 1485, 330));
    GameSpaceBtn
        = textButton(this, "GameSpaceBtn", QStringLiteral("游戏大厅"), QRect(12240, 0, 1215, 330));
    web_tool = skinnedButton(this, "web_tool", 0, QRect(12600, 15, 360, 270));
    web_min = skinnedButton(this, "web_min", 0, QRect(12960, 15, 360, 270));
    web_minmax = skinnedButton(this, "web_minmax", 0, QRect(13320, 15, 375, 270));
    web_minmax->setStyle(1);
    web_close = skinnedButton(this, "web_close", 0, QRect(13680, 15, 645, 270));

    pCnt = new QWidget(this);
    pCnt->setObjectName(QStringLiteral("pCnt"));
    // The placeholder: plain white until the first page comes. It holds no
    // browser of its own; the launcher would never navigate one.
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoFillBackground(true);
    QPalette white = Picture1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture1->setPalette(white);

    // The standard arrow over the page area, the logo, the caption bar and
    // the strip, whatever an edge of the window last showed.
    for (QWidget* w : { static_cast<QWidget*>(pCnt), static_cast<QWidget*>(PicLogo),
             static_cast<QWidget*>(WebBForm), static_cast<QWidget*>(WebuTab), Picture1 })
        w->setCursor(Qt::ArrowCursor);

    // The picture-only caption buttons have no caption a screen reader could read.
    web_tool->setAccessibleName(QStringLiteral("程序菜单"));
    web_min->setAccessibleName(QStringLiteral("隐藏"));
    web_minmax->setAccessibleName(QStringLiteral("最大化/还原"));
    web_close->setAccessibleName(QStringLiteral("关闭"));
    // Tab goes along the caption bar's buttons left to right, then to the
    // tabs (which the arrow keys then walk), then into the page. The first
    // button keeps the focus the window starts with: arrow keys pressed for
    // a game before clicking into it must not switch games.
    // Workaround: Qt 6.4's setTabOrder(first, second) only brings a second
    // that stands later in the chain up behind first, and ignores a first
    // without a focus policy. The strip was made before the buttons, so the
    // buttons are brought up behind the logo (made before the strip), which
    // takes Tab focus only for this.
    PicLogo->setFocusPolicy(Qt::TabFocus);
    const QList<QWidget*> keyboardOrder { PicLogo, OtherUserBtn, GameSpaceBtn, web_tool, web_min,
        web_minmax, web_close, WebuTab };
    for (qsizetype i = 1; i < keyboardOrder.size(); ++i)
        setTabOrder(keyboardOrder[i - 1], keyboardOrder[i]);
    PicLogo->setFocusPolicy(Qt::NoFocus);

    connect(web_tool, &iButton::Click, this, [this] { appmenu->popup(QCursor::pos()); });
    connect(web_min, &iButton::Click, this, &WebMainFrm::hideWindow);
    connect(web_minmax, &iButton::Click, this, &WebMainFrm::web_minmax_Click);
    connect(web_close, &iButton::Click, this, [this] { close(); });
    connect(GameSpaceBtn, &iButton::Click, this, [this] { openHomePage(this); });
    connect(OtherUserBtn, &iButton::Click, this, &WebMainFrm::OtherUserBtn_Click);

    connect(WebuTab, &uTab::TabChanged, this, &WebMainFrm::WebuTab_TabChanged);
    connect(WebuTab, &uTab::OnMouseDown, this, &WebMainFrm::WebuTab_OnMouseDown);
    connect(WebuTab, &uTab::OnMouseHover, this, &WebMainFrm::WebuTab_OnMouseHover);
    connect(WebuTab, &uTab::OnMouseMove, this,
        [this](int, int, int, float, float) { WebuTab->setCursor(Qt::ArrowCursor); });
    connect(WebuTab, &uTab::OnItemColose, this, &WebMainFrm::WebuTab_OnItemColose);
}

void WebMainFrm::createMenu()
{
    appmenu = new QMenu(QStringLiteral("程序菜单"), this);
    appmenu->setObjectName(QStringLiteral("appmenu"));
    refresh = appmenu->addAction(QStringLiteral("刷新(F5)"), this, &WebMainFrm::refresh_Click);
    hiderestore = appmenu->addAction(
        QStringLiteral("隐藏/恢复(F10)"), this, &WebMainFrm::hiderestore_Click);
    clearcache = appmenu->addAction(
        QStringLiteral("清除缓存"), this, [this] { clearCacheWithNotice(this); });
    appmenu->addSeparator()->setObjectName(QStringLiteral("line"));
    update = appmenu->addAction(QStringLiteral("更新"), this, &WebMainFrm::update_Click);
    version = appmenu->addAction(QStringLiteral("版本号:"));
    exit = appmenu->addAction(QStringLiteral("退出"), this, [this] { close(); });
    refresh->setObjectName(QStringLiteral("refresh"));
    hiderestore->setObjectName(QStringLiteral("hiderestore"));
    clearcache->setObjectName(QStringLiteral("clearcache"));
    update->setObjectName(QStringLiteral("update"));
    version->setObjectName(QStringLiteral("version"));
    exit->setObjectName(QStringLiteral("exit"));
}

void WebMainFrm::Form_Load()
{
    m_loaded = true;
    m_bExit = false;
    LoadedForms::instance().formLoaded(this);

    // Small icon, tray icon, large icon: one icon file holds both sizes.
    const QIcon icon = loadAppIcon();
    setWindowIcon(icon);
    m_tray = std::make_unique<CKvNotifyIcon>();
    m_tray->AddNotifyIcon(this, icon, clientCaption());
    m_tray->setContextMenu(appmenu);
    HookMainWindow(this, appmenu);

    version->setText(QStringLiteral("版本号:") + programVersion());
    WebBForm->setCaption(kBrandTitle.toString());
    setWindowTitle(clientCaption());

    m_objStyle = std::make_unique<cSetStyle>();
    m_objStyle->setobjForm(this);
    m_objStyle->SetWindowStyle(this);
    // A platform close request (taskbar, window manager) reaches closeEvent
    // right after CloseClick; the question is asked there, once.

    WebBForm->setFrmHwnd(this);

    const QSize design(kDesignWidth, kDesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize screenTwips = screen->geometry().size() * kTwipsPerPixel;
        const QPoint at = centredTopLeft(screenTwips, design);
        setGeometry(QRect(twipsToPixelsRounded(at.x()), twipsToPixelsRounded(at.y()),
            twipsToPixelsRounded(design.width()), twipsToPixelsRounded(design.height())));
    }

    // The skins at the screen's density: the buttons cut and scale each frame.
    const qreal ratio = devicePixelRatioF();
    web_close->setBackPicture(LoadResSkinAt(103, QStringLiteral("BITMAP"), ratio));
    web_minmax->setBackPicture(LoadResSkinAt(102, QStringLiteral("BITMAP"), ratio));
    web_min->setBackPicture(LoadResSkinAt(101, QStringLiteral("BITMAP"), ratio));
    web_tool->setBackPicture(LoadResSkinAt(104, QStringLiteral("BITMAP"), ratio));
    web_minmax->setValue(true);

    WebuTab->setContainerWnd(pCnt);
    WebuTab->LockReDraw(false);

    PicLogo->setPixmap(QPixmap::fromImage(LoadResImageAt(105, QStringLiteral("BITMAP"), ratio)));

    web_minmax_Click();
    Form_Resize();
}

void WebMainFrm::Form_Unload()
{
    m_unloading = true;
    UnhookMainWindow(this);
    WebuTab->TabItems()->Clear();
    m_objStyle.reset();
    // The icon would otherwise stay in the notification area with nobody to
    // answer its clicks while a further login keeps the program running.
    m_tray.reset();
    Picture1->show();
    // Closed while off the screen, it comes back on the screen when it is
    // loaded again, however it is shown then.
    setAttribute(Qt::WA_DontShowOnScreen, false);
    m_loaded = false;
    m_unloading = false;
    LoadedForms::instance().formUnloaded(this);
}

bool WebMainFrm::isMaximisedByStyle() const
{
    return m_objStyle && m_objStyle->isMaximised();
}

void WebMainFrm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void WebMainFrm::Form_Resize()
{
    if (isMinimized() || !m_loaded)
        return;
    LayoutInput in;
    in.windowWidth = pixelsToTwips(width());
    in.clientWidth = pixelsToTwips(width());
    in.clientHeight = pixelsToTwips(height());
    in.tabStripHeight = pixelsToTwips(WebuTab->height());
    const Layout l = layoutFor(in);

    WebBForm->setGeometry(0, 0, twipsToPixelsRounded(l.captionWidth), WebBForm->height());
    WebBForm->Printform(this);
    if (l.shapeCorner)
        RectRgn(this, l.shapeCorner->x(), l.shapeCorner->y(), kCornerEllipse, kCornerEllipse);
    web_close->move(twipsToPixelsRounded(l.closeLeft), web_close->y());
    web_minmax->move(twipsToPixelsRounded(l.minmaxLeft), web_minmax->y());
    web_min->move(twipsToPixelsRounded(l.minLeft), web_min->y());
    web_tool->move(twipsToPixelsRounded(l.toolLeft), web_tool->y());
    if (l.tabStrip) {
        QRect strip = toPixels(*l.tabStrip);
        // The strip starts after the caption's text, its right end staying.
        const int clear = WebBForm->captionRight() + kCaptionGapPx;
        if (strip.left() < clear)
            strip.setLeft(std::min(clear, strip.left() + strip.width()));
        WebuTab->setGeometry(strip.x(), strip.y(), strip.width(), WebuTab->height());
    }
    GameSpaceBtn->move(twipsToPixelsRounded(l.gameSpaceLeft), GameSpaceBtn->y());
    OtherUserBtn->move(twipsToPixelsRounded(l.otherUserLeft), OtherUserBtn->y());
    if (l.pageArea) {
        const QRect page = toPixels(*l.pageArea);
        Picture1->setGeometry(page);
        pCnt->setGeometry(page);
    }
}

void WebMainFrm::RectRgn(QWidget* hWnd, int Top, int Buttom, int X, int Y)
{
    kest::RectRgn(hWnd, Top, Buttom, X, Y);
}

void WebMainFrm::closeEvent(QCloseEvent* event)
{
    if (!m_loaded || m_unloading) {
        event->accept();
        return;
    }
    if (!m_bExit) {
        MsgFrm::ask(m_bExit);
        if (!m_bExit) {
            event->ignore();
            return;
        }
    }
    event->accept();
    Form_Unload();
}

void WebMainFrm::SetURL(const QString& strURL)
{
    logInfo(QStringLiteral("loadgame: ") + addressForLog(strURL));
    if (!m_loaded)
        Form_Load();
    OpenGameTab(strURL);
}

void WebMainFrm::unloadWithoutQuestion()
{
    if (!m_loaded)
        return;
    m_bExit = true;
    close();
}

void WebMainFrm::showMainWindow()
{
    if (!m_loaded)
        Form_Load();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    showToPlayer(this);
    raise();
    activateWindow();
}

bool WebMainFrm::LinkExecute(const QString& command)
{
    // Un-minimise and show: a page opened in a window nobody sees would be
    // an answer nobody gets.
    showMainWindow();
    return OpenGameTab(command);
}

void WebMainFrm::hideWindow()
{
    if (mayHide(CKvNotifyIcon::isAvailable(), hotKeyHeld())) {
        // Off the screen, not hidden: the games in the tabs keep running.
        hideFromPlayer(this);
        return;
    }
    logEvent(QStringLiteral("WebMainFrm: no notification area and no hot key; minimised "
                            "instead of hidden"));
    showMinimized();
}

bool WebMainFrm::OpenGameTab(const QString& address)
{
    if (!m_loaded)
        Form_Load();
    const QString key = pageKey(address);
    CTabItems* items = WebuTab->TabItems();
    const int index = items->FindItem(QVariant(key));
    if (index == -1) {
        auto page = std::make_unique<WebUrl>();
        if (!page->OpenURL(address)) {
            // A tab that would only ever show a blank page helps nobody.
            logEvent(QStringLiteral("OpenGameTab: no page for %1").arg(addressForLog(address)));
            return false;
        }
        items->Add(key, page.release(), QVariant(key), QVariant());
        items->setSelected(items->Count() - 1);
    } else {
        items->setSelected(index);
    }
    Picture1->hide();
    return true;
}

void WebMainFrm::web_minmax_Click()
{
    if (!m_objStyle)
        return;
    const bool maximised = m_objStyle->CallWindowStateChange();
    web_minmax->setValue(maximised);
    WebBForm->setFrmHwnd(maximised ? nullptr : this);
}

void WebMainFrm::OtherUserBtn_Click()
{
    emit otherUserRequested();
}

void WebMainFrm::refresh_Click()
{
    if (refreshTarget(Picture1->isVisible()) == RefreshTarget::SelectedPage)
        WebuTab->RefreshPage();
}

void WebMainFrm::hiderestore_Click()
{
    if (isShownToPlayer(this))
        hideWindow();
    else
        showMainWindow();
}

void WebMainFrm::update_Click()
{
    UpdateCheck check;
    if (check.menuCheck(this) == UpdateCheck::Result::UpdaterStarted) {
        m_bExit = true;
        close();
    }
}

void WebMainFrm::WebuTab_TabChanged()
{
    Picture1->hide();
}

void WebMainFrm::WebuTab_OnMouseDown(int ItemIndex, int, int, float, float)
{
    WebuTab->setCursor(Qt::ArrowCursor);
    if (dragsWindow(isMaximisedByStyle(), ItemIndex))
        BForm::dragWindow(this);
}

void WebMainFrm::WebuTab_OnMouseHover(int ItemIndex, int, int, float, float)
{
    CTabItems* items = WebuTab->TabItems();
    if (showsTabToolTip(ItemIndex, items->Count()))
        WebuTab->setToolTip(plainToolTip(items->Item(ItemIndex)->Caption()));
    else
        WebuTab->setToolTip(QString());
}

void WebMainFrm::WebuTab_OnItemColose(int, bool* Cancel)
{
    if (WebuTab->TabItems()->Count() <= 1) {
        close();
        if (Cancel)
            *Cancel = true;
    }
}

} // namespace kest
