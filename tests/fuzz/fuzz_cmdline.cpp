// libFuzzer target: the updater's command-line reader, and the round trip from
// a launcher path through the command line the launcher builds.
#include "updater/core/manifest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto parsed = kest::update::parseUpdaterCommandLine(text)) {
        if (parsed->installFolder.empty() || parsed->installFolder.back() != '/'
            || parsed->launcherPath.empty())
            std::abort();
    }
    // Any absolute launcher path without "|" or NUL survives the round trip.
    if (!text.empty() && text[0] == '/' && text.find('|') == std::string_view::npos
        && text.find('\0') == std::string_view::npos && text.back() != '/') {
        const std::string line = kest::update::buildUpdaterCommandLine(text);
        const auto back = kest::update::parseUpdaterCommandLine(line);
        if (!back)
            std::abort();
    }
    return 0;
}
