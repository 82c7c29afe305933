#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

class QWebEngineView;

namespace kest {

class LoginBgFrm;
class LoginPage;

// The login page window: borderless, lying exactly on the login background
// window, which owns it. The page is laid out for a 920 x 625 view and shown
// from its point (7, 52) on; wherever it paints the colour key, and in the
// strips the page does not cover, the window is a hole through which the
// artwork of the background window shows and takes the pointer.
class LoginFrm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginFrm)

public:
    // Loads both login windows, hidden, and starts navigating to the login
    // page. Until the windows show, the page renders in `parking` (the
    // splash, while it is on the screen), so that it is there the moment they
    // show. The windows delete themselves once unloaded.
    static LoginFrm* load(QWidget* parking);
    // Unloads both login windows. Nothing happens when they are unloaded
    // already.
    void unload();

    LoginBgFrm* background() const { return m_background; }
    LoginPage* page() const { return m_page; }
    QWebEngineView* browser() const { return m_browser; }

    // Shows this window at once, over the background window. Until the page
    // has painted, it shows nothing but a single pixel.
    void showPage();

    static constexpr QSize kDesignSize { 888, 518 };
    // The page area (where the browser is seen) and the browser inside it.
    static constexpr QRect kPageArea { -7, -52, 888, 518 };
    static constexpr QSize kBrowserSize { 920, 625 };
    static constexpr QRgb kColourKey = 0xFFFEFEFE; // RGB(254, 254, 254)

    // The part of the window that shows the page: the pixels of `rendering`
    // that are not the colour key, placed with its top-left corner at
    // `origin` (window coordinates).
    static QRegion colourKeyRegion(const QImage& rendering, QPoint origin);

signals:
    // The page has arrived and the windows show (or wait minimised).
    void loginShown();
    // The login succeeded: the game page's address. The windows are hidden
    // and are unloaded right after this.
    void loginSucceeded(const QString& gameAddress);
    // The login page could not be had; the player has been told so.
    void connectionLost();
    // Both windows are unloaded.
    void unloaded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    LoginFrm(LoginBgFrm* background, QWidget* parking);
    ~LoginFrm() override;

    void onLoginPageArrived();
    void onConnectionFailed(const QString& reason);
    void onLoadGame(const QString& gameAddress);
    void onMinimizedChanged(bool minimized);

    void parkBrowser(QWidget* parking);
    void unparkBrowser();
    void watchRendering();
    void scheduleColourKeyMask();
    QRect visiblePageRect() const;
    QRegion placeholderMask() const;
    void updateColourKeyMask();

    LoginBgFrm* m_background; // owner of this window
    QWidget* m_pageArea;
    QWebEngineView* m_browser;
    LoginPage* m_page;
    QPointer<QWidget> m_parking; // the window the view waits in, if any
    QTimer m_maskTimer;
    QElapsedTimer m_maskBurst; // since the first frame after a quiet spell
    QElapsedTimer m_lastMaskUpdate; // invalid: none yet
    bool m_grabbing = false;
    QRegion m_deviceShape; // the shape last set, in device pixels
    bool m_hiddenByMinimize = false;
    bool m_failed = false;
    bool m_unloading = false;
};

} // namespace kest
