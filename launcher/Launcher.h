#pragma once

#include "launcher/shared/SessionInstance.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace kest {

class LoadFrm;
class LoginFrm;
class WebMainFrm;

// The owner of the launcher's windows and of the way from one to the next:
// the start-up road to the splash, the splash to the login windows, a login
// to the main window, the main window's other-account button back to the
// login windows, and the end, by the last window's close or a termination
// signal. The windows know nothing of each other: each says what happened to
// it, and this object decides what comes next. Made once by main, after the
// application object; its end deletes the windows and then lets the browser
// profile go, after every page made from it.
class Launcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Launcher)

public:
    Launcher();
    ~Launcher() override;

    // The road from process start to the login page: the network test (no
    // connection: the message, then the process ends), the start-up update
    // check, the "/web" switch (the home page opens, then the process ends),
    // and otherwise the splash, centred; once it has been painted, the login
    // windows are loaded behind it.
    void startUp(const QString& commandText);

    // SIGTERM and SIGINT close the program the way its windows close: the
    // login windows, the splash and the main window (without its exit
    // question) unload, and the status is 0. Before any window is loaded the
    // process ends at once, with status 0 too.
    void closeOnTerminationSignals();

    // Loads the login windows, hidden, unless they are loaded already; they
    // show once their page has come. Returns the page window.
    LoginFrm* loadLoginWindows();
    // The login page window while the login windows are loaded, else nullptr.
    LoginFrm* loginWindows() const;
    void unloadLoginWindows();
    // The main window's other-account button: the login windows, over the
    // main window, which stays as it is.
    void showLoginForAnotherAccount();

    // A login succeeded: the main window loads (or is there already), opens
    // or selects the game page, then the pages asked for while nobody was
    // logged in, and shows.
    void openGame(const QString& gameAddress);
    // The main window, made on first use (unloaded and hidden).
    WebMainFrm& mainWindow();
    bool isMainWindowLoaded() const;

    // What a later start of kest asks of this one.
    SessionInstance::Actions laterStartActions();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loginConnectionLost();
    void closeEverything();
    void bringForward();
    bool openLinked(const QString& address);

    QPointer<LoadFrm> m_splash;
    QPointer<LoginFrm> m_login;
    std::unique_ptr<WebMainFrm> m_main;
    // Pages asked for while nobody is logged in: the main window opens them
    // after the login's own page.
    QStringList m_linksAfterLogin;
};

} // namespace kest
