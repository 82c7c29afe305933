#pragma once

#include <QByteArray>
#include <QString>

namespace kest {

// Which of Qt's window system platforms the launcher asks for.
//
// X11 whenever an X display answers, XWayland included: only X11 lets the
// program place its splash and login windows itself, stack them, and grab
// F10 on the root window. Without one, Qt's Wayland platform: the windows
// show and work, the compositor places them, and F10 comes from the desktop's
// global-shortcuts portal if it has one. With neither, Qt would abort in the
// QApplication constructor (a core dump before any window), so the program
// tells the player why and ends instead.

// What the start-up finds in its environment.
struct DisplayEnvironment {
    QString requested; // QT_QPA_PLATFORM as the player set it; empty: not set
    QString x11Display; // DISPLAY
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString sessionType; // XDG_SESSION_TYPE ("x11", "wayland", "tty", ...)
    bool x11Answers = false; // a connection to the X display was accepted
    bool waylandAnswers = false; // the compositor's socket accepted a connection
    bool waylandPluginInstalled = false; // Qt's wayland platform plugin (qt6-wayland)
};

struct DisplayChoice {
    enum class Platform {
        PlayersOwn, // QT_QPA_PLATFORM as the player set it
        X11,
        Wayland,
        None, // nothing that would open: the program must not start Qt's GUI
    };
    Platform platform = Platform::None;
    QByteArray qpa; // the value for QT_QPA_PLATFORM; empty: leave it as it is
    QString log; // one event-log line on what was chosen and why
    QString notice; // with None: what the player is told, in their words
};

DisplayChoice chooseDisplayPlatform(const DisplayEnvironment& environment);

// Reads the environment and tries the displays it names (a connection each,
// closed at once); does not need a QCoreApplication.
DisplayEnvironment probeDisplayEnvironment();

// Before the QApplication: chooses, sets QT_QPA_PLATFORM for this process
// (programs it starts get the player's setting back) and logs the choice.
// False when no display works; the player has then been told why, by a
// desktop notification when the session bus has a notification service and
// on standard error, and the event log has the reason.
bool settleDisplayPlatform();

} // namespace kest
