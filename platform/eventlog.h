#pragma once

#include <QString>

namespace kest {

// The application event log: syslog(3) under the program's ident, and the same
// line to a sink that tests can read. The sink is the file named by the
// environment variable KEST_EVENT_LOG (appended to), else standard error.
// Each call writes one line: control characters in `line` become spaces, so
// text from a page cannot forge lines of its own.
void setEventLogIdent(const QString& ident);
void logEvent(const QString& line);

// An address as the event log may show it: without its query and fragment
// (a game address carries the login token there) and without user name and
// password. Works on the text, so that addresses no URL parser accepts (an
// app link's "app://loadgame|http://...") are cut too; very long text is cut
// short.
QString addressForLog(const QString& address);

} // namespace kest
