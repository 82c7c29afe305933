#pragma once

#include <QString>

namespace kest {

// The per-user private temporary folder both programs share:
// $XDG_RUNTIME_DIR/kest/ when that variable names a folder of this user with
// mode 0700, else ${TMPDIR:-/tmp}/kest-<uid>/ (a runtime folder passed over
// gets a line in the event log). It is created with mode 0700. A folder that is
// a symbolic link, is not a folder, or is owned by another user is refused,
// never followed: the result is then empty and the reason is in the event log.
// A non-empty result always ends in exactly one "/".
QString GetTempDir();

// The same rule on an explicit base folder, for callers and tests that need it.
QString privateTempDirUnder(const QString& base, const QString& leaf);

} // namespace kest
