#include "launcher/engine/Engine.h"

#include "launcher/browser/BrowserProfile.h"
#include "launcher/login/LoginBgFrm.h"
#include "launcher/login/LoginFrm.h"
#include "launcher/mainwindow/WebMainFrm.h"
#include "launcher/shared/PublicData.h"
#include "platform/process.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <utility>

namespace kest {

Engine::Engine() = default;

Engine::~Engine()
{
    if (m_login)
        m_login->unload();
    // Pages closed by the unloading are deleted from the event loop, which
    // has ended: delete them now, before the main window, and everything
    // before the profile the pages were made from.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    releaseBrowserProfile();
}

void Engine::loadLoginWindows(QWidget* splash, std::function<void()> splashMayGo)
{
    m_splashMayGo = std::move(splashMayGo);
    loadLoginWindows(splash);
}

LoginFrm* Engine::loadLoginWindows(QWidget* parking)
{
    if (m_login)
        return m_login;
    m_login = LoginFrm::load(parking);
    // The splash has done its work once the login shows; and nothing else
    // would end a splash whose login page never arrives.
    connect(m_login, &LoginFrm::loginShown, this, &Engine::splashMayGo);
    connect(m_login, &LoginFrm::unloaded, this, [this] {
        m_login = nullptr; // unloaded windows are gone for good, deleted or not yet
        splashMayGo();
    });
    connect(m_login, &LoginFrm::loginSucceeded, this, &Engine::openGame);
    connect(m_login, &LoginFrm::connectionLost, this, &Engine::loginConnectionLost);
    return m_login;
}

void Engine::splashMayGo()
{
    if (m_splashMayGo)
        m_splashMayGo();
}

LoginFrm* Engine::loginWindows() const
{
    return m_login;
}

void Engine::unloadLoginWindows()
{
    if (m_login)
        m_login->unload();
}

void Engine::loginConnectionLost()
{
    // A further account's login failing leaves the main window and its
    // pages as they are; only the login windows close.
    if (isMainWindowLoaded()) {
        unloadLoginWindows();
        return;
    }
    endProcessNow(kExitNoConnection);
}

void Engine::showLoginForAnotherAccount()
{
    LoginFrm* login = loadLoginWindows();
    // The background window is shown only once the page has come, when the
    // main window may be the active one; it must come up over it, not under it.
    login->background()->installEventFilter(this);
    login->showPage();
}

bool Engine::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && m_login && watched == m_login->background()) {
        QTimer::singleShot(0, m_login, [login = m_login] {
            login->background()->raise();
            login->raise();
            login->activateWindow();
        });
    }
    return QObject::eventFilter(watched, event);
}

WebMainFrm& Engine::mainWindow()
{
    if (!m_main) {
        m_main = std::make_unique<WebMainFrm>();
        connect(m_main.get(), &WebMainFrm::otherUserRequested, this,
            &Engine::showLoginForAnotherAccount);
    }
    return *m_main;
}

bool Engine::isMainWindowLoaded() const
{
    return m_main && m_main->isLoaded();
}

void Engine::openGame(const QString& gameAddress)
{
    WebMainFrm& main = mainWindow();
    main.SetURL(gameAddress);
    for (const QString& linked : std::exchange(m_linksAfterLogin, {}))
        main.SetURL(linked);
    main.showMainWindow();
}

void Engine::closeEverything()
{
    unloadLoginWindows();
    if (isMainWindowLoaded())
        m_main->unloadWithoutQuestion();
}

void Engine::bringForward()
{
    if (isMainWindowLoaded()) {
        m_main->showMainWindow();
        return;
    }
    // The login windows once they show; before that the splash is up, or a
    // question that is in front already.
    if (m_login && m_login->background()->isVisible()) {
        LoginBgFrm* background = m_login->background();
        background->setWindowState(background->windowState() & ~Qt::WindowMinimized);
        background->raise();
        background->activateWindow();
    }
}

bool Engine::openLinked(const QString& address)
{
    if (isMainWindowLoaded())
        return m_main->LinkExecute(address);
    // A game page needs the login's session: it opens after the login.
    if (!m_linksAfterLogin.contains(address))
        m_linksAfterLogin.append(address);
    bringForward();
    return true;
}

} // namespace kest
