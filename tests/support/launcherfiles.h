#pragma once

#include <QString>
#include <QStringList>

namespace kest::test {

// The built launcher is two files: the program CTest names in KEST_BIN and
// the engine library beside it. A test that runs the launcher from a folder
// of its own copies both.
QStringList builtLauncherFiles();

// Copies the built launcher's files into `folder` (made when missing), the
// program executable; returns the copy of the program, or an empty string
// when a file could not be copied.
QString copyBuiltLauncher(const QString& folder);

} // namespace kest::test
