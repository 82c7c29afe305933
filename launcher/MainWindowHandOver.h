#pragma once

#include <QString>

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
    // Whether the window is loaded (a further account is logging in).
    virtual bool isLoaded() const = 0;
    // Unloads the window without the exit question: the program is being
    // ended (a termination signal) and nobody is there to answer it.
    virtual void unloadWithoutQuestion() = 0;
};

// The main window, created on first use.
MainWindowHandOver& mainWindow();

} // namespace kest
