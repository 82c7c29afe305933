#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kest::demo {

// What /pcLogin/ answers, so tests can play a platform that fails.
enum class LoginMode {
    Normal, // the login page
    Short, // a page whose document element holds fewer than 1500 characters
    Error500, // status 500 with a short body
    Error404Long, // the login page itself, but with status 404
    Slow, // a page whose body never ends, so the document never completes
};

// One file the manifest lists: served at /gamehome/kest/files/<name>.
struct ServedFile {
    std::string name;
    std::string localPath;
};

struct Options {
    int port = KEST_DEMO_DEFAULT_PORT; // 0: let the system pick a free one
    std::string version = KEST_DEMO_DEFAULT_VERSION;
    std::vector<ServedFile> files; // in manifest order; the launcher goes last
    std::string logPath; // empty: stderr
    LoginMode loginMode = LoginMode::Normal;
    // Non-empty: read on every request to /pcLogin/; its first word, when it
    // names a mode, overrides loginMode for that request.
    std::string loginModeFile;
    // Non-empty: the normal login page is this file, read on every request
    // (so it can be edited while the server runs) and filled in like the
    // built-in one ({{HOST}}, {{GAME_BASE}}, {{VERSION}}).
    std::string loginPageFile;
    std::uint32_t loginDelayMs = 0; // the login page is answered this late
    std::string manifestFile; // non-empty: served verbatim instead of the built manifest
    std::string signatureFile; // non-empty: served verbatim as update.txt.minisig (else 404)
    // Both non-empty: https with this certificate chain and key (PEM), and
    // the built manifest's addresses are https too.
    std::string tlsCertFile;
    std::string tlsKeyFile;
    std::uint64_t fileRate = 0; // bytes per second for the listed files; 0: unlimited
    bool help = false;
};

struct ParseResult {
    Options options;
    std::string error; // empty when the command line was understood
};

// Reads the arguments after the program name. Checks everything it can before
// the server starts (names, numbers, that the named local files are readable),
// so a mistake ends the program with a message instead of a broken platform.
ParseResult parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

// A login mode by its command-line name ("normal", "short", "error500", "slow").
std::optional<LoginMode> parseLoginMode(const std::string& text);

// A file name the manifest can carry: the updater takes the name from the URL
// after its last "/", and a line that contains "version" counts as the
// version line, so both are ruled out, as are characters a URL would escape.
bool isValidFileName(const std::string& name);

} // namespace kest::demo
