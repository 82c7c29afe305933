#pragma once

#include <functional>

class QObject;

namespace kest {

// SIGTERM and SIGINT as a call on the event loop: the handler only writes a
// byte into a pipe, and `onSignal` runs when the loop reads it, where it may
// do anything (a signal handler may do next to nothing). One handler for the
// process: a later call replaces the earlier one. False, with the reason in
// the event log, when no pipe could be had; the signals then keep their
// default action.
bool onTerminationSignals(QObject* context, std::function<void()> onSignal);

} // namespace kest
