#pragma once

#include <QString>

namespace kest {

// The application event log: syslog(3) under the program's ident, and the same
// line to a sink that tests can read. The sink is the file named by the
// environment variable KEST_EVENT_LOG (appended to), else standard error.
// Each call writes one line: control characters in `line` become spaces, so
// text from a page cannot forge lines of its own.
//
// When standard error is the systemd journal's stream (a session started by
// systemd hands a program's standard error to journald, and says so in
// JOURNAL_STREAM), the line goes there alone, with its priority prefix
// ("<6>" for information), and not to syslog too: journald would keep it
// twice.
enum class EventLevel {
    Info, // routine: what the program did
    Warning, // a fault the program works around
    Error, // a fault that stops what the player asked for
};

void setEventLogIdent(const QString& ident);
// A warning: most events are faults worked around.
void logEvent(const QString& line);
void logEvent(EventLevel level, const QString& line);
void logInfo(const QString& line);

// Qt's own messages (qWarning and the rest, from Qt and from the engine's
// Qt side) go through the event log as well, at their level, under their
// category, instead of Qt's default handler.
void routeQtMessagesToEventLog();

// An address as the event log may show it: without its query and fragment
// (a game address carries the login token there) and without user name and
// password. Works on the text, so that addresses no URL parser accepts (an
// app link's "app://loadgame|http://...") are cut too; very long text is cut
// short.
QString addressForLog(const QString& address);

} // namespace kest
