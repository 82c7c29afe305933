#pragma once

#include <QString>

#include <functional>

class QObject;

namespace kest {

// A message to the player through the desktop's notification service
// (org.freedesktop.Notifications on the session bus): what reaches a player
// who started the program from a menu, with no terminal to read.

// Sends and returns at once; when no service takes the message, `notShown`
// runs with the reason (in `context`'s thread, not at all once `context` is
// gone), so that the caller can show it another way.
void notifyDesktop(const QString& title, const QString& body, QObject* context,
    std::function<void(const QString& reason)> notShown);

// Waits for the service's answer, for a process that ends next. Makes a
// QCoreApplication for the call when there is none. False, with `reason`,
// when no service took the message.
bool notifyDesktopAndWait(const QString& title, const QString& body, QString* reason);

} // namespace kest
