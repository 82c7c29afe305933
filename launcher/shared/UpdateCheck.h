#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace kest {

class CKvDownLoadFile;

// The launcher's side of updating: fetch the version manifest into the
// private temporary folder, compare its version with our own, and on the
// player's consent write out the updater we carry and start it with our
// install folder and launcher path.
class UpdateCheck final {
public:
    UpdateCheck();
    ~UpdateCheck();

    enum class Result {
        Current, // same version, or nothing to compare with: carry on
        Declined, // a newer version exists and the player said no
        UpdaterStarted, // the updater runs: the launcher must get out of its way
        UpdaterFailed, // it could not be written or started (the player was told)
    };

    // At start-up: silent unless the manifest names another version.
    Result startupCheck(QWidget* owner = nullptr);
    // From the main window's menu: says so when the version is current.
    Result menuCheck(QWidget* owner);

    // The manifest's address and its local copy.
    static QString manifestUrl();
    static QString manifestPath();

    // Bounds of the manifest fetch: it is a few hundred bytes, so a stalled
    // static server must delay start-up by seconds, not minutes.
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kTotalTimeoutMs = 6000;

private:
    enum class Mode { Startup, Menu };
    Result check(Mode mode, QWidget* owner);
    void fetchManifest();
    bool writeAndStartUpdater(QWidget* owner);

    std::unique_ptr<CKvDownLoadFile> m_downloader; // created on first use, kept
};

} // namespace kest
