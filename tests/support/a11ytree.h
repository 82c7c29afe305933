#pragma once

// What a screen reader finds of a running program, read over the real
// accessibility bus by tests/support/a11y-tree (python3-pyatspi). The bus is
// there when the test runs under tests/support/with-a11y (kest_add_test A11Y).

#include <QString>
#include <QStringList>

namespace kest::test {

// Whether the accessibility bus was started for this test.
bool accessibilityBusUp();

// The variable that makes a Qt program speak on the bus without a desktop
// setting: set it in the environment of the program to be read.
inline constexpr char kQtAccessibilityAlwaysOn[] = "QT_LINUX_ACCESSIBILITY_ALWAYS_ON";

// a11y-tree's output for process `pid` with `options` (see the script),
// waiting up to `timeoutMs` for the program to appear on the bus. Empty when
// it never did; what went wrong is in *error when given.
QString accessibilityTree(
    qint64 pid, const QStringList& options = {}, int timeoutMs = 30000, QString* error = nullptr);

// The lines of a tree that describe objects of `role` ("page tab",
// "push button"), without their indentation.
QStringList linesOfRole(const QString& tree, const QString& role);

} // namespace kest::test
