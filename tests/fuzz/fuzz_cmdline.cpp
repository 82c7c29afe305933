// libFuzzer target: the updater's command-line reader, and the round trip from
// a launcher path through the command line the launcher builds.
#include "updater/core/manifest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string foldSlashes(std::string_view path)
{
    std::string out;
    for (char c : path) {
        if (c != '/' || out.empty() || out.back() != '/')
            out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto parsed = kest::update::parseUpdaterCommandLine(text)) {
        const std::string& folder = parsed->installFolder;
        const std::string& launcher = parsed->launcherPath;
        // An accepted line names an absolute folder and a launcher inside it.
        if (folder.empty() || folder.front() != '/' || folder.back() != '/' || launcher.empty()
            || launcher.back() == '/' || launcher.find('|') != std::string::npos)
            std::abort();
        std::string launcherFolder = launcher.substr(0, launcher.rfind('/') + 1);
        while (launcherFolder.size() > 1 && launcherFolder.ends_with("//"))
            launcherFolder.pop_back();
        std::string installFolder = folder;
        while (installFolder.size() > 1 && installFolder.ends_with("//"))
            installFolder.pop_back();
        if (launcherFolder != installFolder)
            std::abort();
    }
    // What the launcher builds, the updater reads back as the same launcher
    // (the same path once repeated "/" are folded); what it cannot carry it
    // refuses.
    if (const auto line = kest::update::buildUpdaterCommandLine(text)) {
        const auto back = kest::update::parseUpdaterCommandLine(*line);
        if (!back || foldSlashes(back->launcherPath) != foldSlashes(text))
            std::abort();
    } else if (!text.empty() && text.front() == '/' && text.back() != '/'
        && text.find_first_of(std::string_view("|\0", 2)) == std::string_view::npos) {
        std::abort();
    }
    return 0;
}
