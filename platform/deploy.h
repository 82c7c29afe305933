#pragma once

#include <QString>

namespace kest {

// The built-in hosts (host[:port]) and the program's own version. Each host
// can be overridden at run time by the environment variable of the same name
// (KEST_LOGIN_HOST, KEST_HOME_HOST, KEST_STATIC_HOST), for staging and tests.
QString loginHost();
QString homeHost();
QString staticHost();

// Where a host setting's addresses begin: the setting itself when it names
// its scheme ("https://static.example.com"), else "http://" and the host.
// Without a trailing "/".
QString hostOrigin(const QString& host);

// The minisign public key (its base64 line) that update manifests must be
// signed with; empty when none is built in. KEST_UPDATE_PUBKEY in the
// environment overrides it, as the hosts are overridden.
QString updatePublicKey();

// "major.minor.revision", each a plain decimal number.
QString programVersion();

} // namespace kest
