#pragma once

#include "launcher/shared/EngineSide.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace kest {

class LoginFrm;
class WebMainFrm;

// The engine side of the launcher: the owner of the login windows and the
// main window, and of the way from one to the next: a login to the main
// window, the main window's other-account button back to the login windows.
// The windows know nothing of each other: each says what happened to it, and
// this object decides what comes next. The front program makes it once the
// splash is on the screen.
class Engine final : public QObject, public EngineSide {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Engine)

public:
    Engine();
    ~Engine() override;

    // EngineSide
    void loadLoginWindows(QWidget* splash, std::function<void()> splashMayGo) override;
    void unloadLoginWindows() override;
    void closeEverything() override;
    void bringForward() override;
    bool openLinked(const QString& address) override;

    // Loads the login windows, hidden, unless they are loaded already; they
    // show once their page has come. Until then the page renders in
    // `parking`, if any. Returns the page window.
    LoginFrm* loadLoginWindows(QWidget* parking = nullptr);
    // The login page window while the login windows are loaded, else nullptr.
    LoginFrm* loginWindows() const;
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loginConnectionLost();
    void splashMayGo();

    QPointer<LoginFrm> m_login;
    std::unique_ptr<WebMainFrm> m_main;
    std::function<void()> m_splashMayGo;
    // Pages asked for while nobody is logged in: the main window opens them
    // after the login's own page.
    QStringList m_linksAfterLogin;
};

} // namespace kest
