#pragma once

#include <QString>

#include <optional>

namespace kest {

// A package installs kest into a folder the package manager owns: read-only to
// the player, and replaced by the next version of the package. The updater
// replaces the program in its own folder, so a packaged kest runs a copy of
// itself in the player's data folder instead, which updates itself like any
// install; the system-wide copy is only where the per-user one comes from.
//
// The system-wide folder is known by a marker file the package puts beside the
// program (kSystemCopyMarker). The per-user folder records the package version
// it was last placed or checked against (kPlacedFromFile), so that a start
// after a package upgrade looks at the copy's version once, and every other
// start goes straight to it.
class UserCopy final {
public:
    static constexpr const char* kSystemCopyMarker = "system-copy";
    static constexpr const char* kPlacedFromFile = ".kest-placed-from";

    // $XDG_DATA_HOME/kest/program, else ~/.local/share/kest/program (no
    // trailing "/").
    static QString folder();

    static bool isSystemCopy(const QString& programFolder);

    // Why the program in `programFolder` must not be updated there: a
    // package's folder, or one this user cannot write. Empty when it may.
    static QString whyNotUpdatable(const QString& programFolder);

    // `launcher` --version, "kest 1.2.3": the version, when it answers in time.
    static std::optional<QString> askVersion(const QString& launcher);

    // systemFolder: the package's folder; launcherName: the program's file
    // name in it ("kest"); ownVersion: the package's version.
    UserCopy(QString systemFolder, QString launcherName, QString ownVersion,
        QString userFolder = folder());

    // Makes sure the per-user copy exists and is no older than the package:
    // placed when it is missing, broken, or older. Every file of the system
    // folder but the marker is placed as one install transaction (the same
    // one an update uses), so a copy cut short by a crash is finished or
    // undone by the next start. False with error() when the copy could not
    // be made; a copy that was there stays as it was.
    bool ensure();

    // The per-user launcher to run after ensure().
    QString launcher() const;
    // What ensure() did: "placed", "up to date", "checked"; for the event log.
    const QString& what() const { return m_what; }
    const QString& error() const { return m_error; }

private:
    bool place();
    bool recordPlacedFrom();

    QString m_systemFolder;
    QString m_launcherName;
    QString m_ownVersion;
    QString m_userFolder;
    QString m_what;
    QString m_error;
};

} // namespace kest
