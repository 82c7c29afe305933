#include "launcher/Launcher.h"

#include "launcher/browser/BrowserProfile.h"
#include "launcher/login/LoadFrm.h"
#include "launcher/login/LoginBgFrm.h"
#include "launcher/login/LoginFrm.h"
#include "launcher/mainwindow/WebMainFrm.h"
#include "launcher/shared/PublicData.h"
#include "launcher/shared/UpdateCheck.h"
#include "platform/connection.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/process.h"
#include "platform/terminationsignals.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <utility>

namespace kest {

Launcher::Launcher() = default;

Launcher::~Launcher()
{
    if (m_login)
        m_login->unload();
    if (m_splash)
        m_splash->unload();
    // Pages closed by the unloading are deleted from the event loop, which
    // has ended: delete them now, before the main window, and everything
    // before the profile the pages were made from.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    releaseBrowserProfile();
}

void Launcher::startUp(const QString& commandText)
{
    if (!InternetGetConnectedState()) {
        logEvent(QStringLiteral("start-up: no network connection"));
        showNoConnectionMessage();
        endProcessNow(kExitNoConnection);
    }

    if (UpdateCheck().startupCheck() == UpdateCheck::Result::UpdaterStarted)
        endProcessNow(0); // the updater replaces this program: get out of its way

    if (LoadFrm::isWebSwitch(commandText))
        endProcessNow(openHomePage(nullptr) ? 0 : kExitHomePageNotOpened);

    m_splash = new LoadFrm;
    connect(m_splash, &LoadFrm::readyForLogin, this, &Launcher::loadLoginWindows);
    // Closing the splash ends the start-up, login windows and all.
    connect(m_splash, &LoadFrm::closed, this, &Launcher::unloadLoginWindows);
    m_splash->showCentred();
}

LoginFrm* Launcher::loadLoginWindows()
{
    if (m_login)
        return m_login;
    m_login = LoginFrm::load(m_splash);
    // The splash has done its work once the login shows; and nothing else
    // would end a splash whose login page never arrives.
    const auto endSplash = [this] {
        if (m_splash)
            m_splash->unload();
    };
    connect(m_login, &LoginFrm::loginShown, this, endSplash);
    connect(m_login, &LoginFrm::unloaded, this, [this, endSplash] {
        m_login = nullptr; // unloaded windows are gone for good, deleted or not yet
        endSplash();
    });
    connect(m_login, &LoginFrm::loginSucceeded, this, &Launcher::openGame);
    connect(m_login, &LoginFrm::connectionLost, this, &Launcher::loginConnectionLost);
    return m_login;
}

LoginFrm* Launcher::loginWindows() const
{
    return m_login;
}

void Launcher::unloadLoginWindows()
{
    if (m_login)
        m_login->unload();
}

void Launcher::loginConnectionLost()
{
    // A further account's login failing leaves the main window and its
    // pages as they are; only the login windows close.
    if (isMainWindowLoaded()) {
        unloadLoginWindows();
        return;
    }
    endProcessNow(kExitNoConnection);
}

void Launcher::showLoginForAnotherAccount()
{
    LoginFrm* login = loadLoginWindows();
    // The background window is shown only once the page has come, when the
    // main window may be the active one; it must come up over it, not under it.
    login->background()->installEventFilter(this);
    login->showPage();
}

bool Launcher::eventFilter(QObject* watched, QEvent* event)
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

WebMainFrm& Launcher::mainWindow()
{
    if (!m_main) {
        m_main = std::make_unique<WebMainFrm>();
        connect(m_main.get(), &WebMainFrm::otherUserRequested, this,
            &Launcher::showLoginForAnotherAccount);
    }
    return *m_main;
}

bool Launcher::isMainWindowLoaded() const
{
    return m_main && m_main->isLoaded();
}

void Launcher::openGame(const QString& gameAddress)
{
    WebMainFrm& main = mainWindow();
    main.SetURL(gameAddress);
    for (const QString& linked : std::exchange(m_linksAfterLogin, {}))
        main.SetURL(linked);
    main.showMainWindow();
}

void Launcher::closeOnTerminationSignals()
{
    onTerminationSignals(this, [this] { closeEverything(); });
}

void Launcher::closeEverything()
{
    logInfo(QStringLiteral("ending on a termination signal"));
    // Still on the road to the splash (a question or a message is up): no
    // window would unload, and the road would go on after the quit.
    if (LoadedForms::instance().count() == 0)
        endProcessNow(0);
    unloadLoginWindows();
    if (m_splash)
        m_splash->unload();
    if (isMainWindowLoaded())
        m_main->unloadWithoutQuestion();
    // Queued, so that the windows unloaded above are gone first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void Launcher::bringForward()
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

bool Launcher::openLinked(const QString& address)
{
    if (isMainWindowLoaded())
        return m_main->LinkExecute(address);
    // A game page needs the login's session: it opens after the login.
    if (!m_linksAfterLogin.contains(address))
        m_linksAfterLogin.append(address);
    bringForward();
    return true;
}

SessionInstance::Actions Launcher::laterStartActions()
{
    return {
        [this](const QString& address) { return openLinked(address); },
        [] { return openHomePage(nullptr); },
        [this] { bringForward(); },
    };
}

} // namespace kest
