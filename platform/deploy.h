#pragma once

#include <QString>

namespace kest {

// The built-in hosts (host[:port]) and the program's own version. Each host
// can be overridden at run time by the environment variable of the same name
// (KEST_LOGIN_HOST, KEST_HOME_HOST, KEST_STATIC_HOST), for staging and tests.
QString loginHost();
QString homeHost();
QString staticHost();

// "major.minor.revision", each a plain decimal number.
QString programVersion();

} // namespace kest
