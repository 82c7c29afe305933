#pragma once

#include <QString>

namespace kest {

// The application event log: syslog(3) under the program's ident, and the same
// line to a sink that tests can read. The sink is the file named by the
// environment variable KEST_EVENT_LOG (appended to), else standard error.
void setEventLogIdent(const QString& ident);
void logEvent(const QString& line);

} // namespace kest
