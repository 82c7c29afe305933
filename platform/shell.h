#pragma once

#include <QString>
#include <QStringList>

namespace kest {

// Opens an address with the user's default handler (a browser for http).
bool openAddress(const QString& address);

// Starts `program` detached from this process, with `arguments`, in
// `workingDirectory` (the program's own folder when empty). Returns whether
// the program was started.
bool startProgram(const QString& program, const QStringList& arguments = {},
    const QString& workingDirectory = {});

// The separator and executable suffix of this platform's paths and names.
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kExecutableSuffix = "";

} // namespace kest
