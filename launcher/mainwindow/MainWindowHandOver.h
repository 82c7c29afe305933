#pragma once

#include <QString>
#include <QStringList>

namespace kest {

// What the login windows need of the main game window: a successful login
// hands it the game page address.
class MainWindowHandOver {
public:
    virtual ~MainWindowHandOver() = default;

    // Opens the page of a game address, or selects it when it is open
    // already; loads the window first when it is not loaded.
    virtual void SetURL(const QString& strURL) = 0;
    // Shows the window (after SetURL).
    virtual void showMainWindow() = 0;
    // Opens a page another program asked for (the link topic, a later
    // start) and shows the window; false when the page could not be opened.
    virtual bool openLinked(const QString& address) = 0;
    // Whether the window is loaded (a further account is logging in).
    virtual bool isLoaded() const = 0;
    // Unloads the window without the exit question: the program is being
    // ended (a termination signal) and nobody is there to answer it.
    virtual void unloadWithoutQuestion() = 0;
};

// The main window, created on first use.
MainWindowHandOver& mainWindow();

// Pages asked for while nobody is logged in yet: the window opens them after
// the page of the login that loads it.
void openAfterLogin(const QString& address);
QStringList takeLinksOpenedAfterLogin();

} // namespace kest
