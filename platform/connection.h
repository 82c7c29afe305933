#pragma once

namespace kest {

// Whether the machine has a network connection. The system's reachability
// service answers where one is loaded; otherwise (or when
// KEST_CONNECTION_RULE=interfaces) some interface other than loopback must be
// up and running with an address.
bool InternetGetConnectedState();

// The interface rule alone.
bool anyNonLoopbackInterfaceUp();

} // namespace kest
