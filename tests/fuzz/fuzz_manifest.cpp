// libFuzzer target: the manifest reader must take any bytes without crashing,
// and what it accepts must hold up: every file has an http(s) URL and a name
// that names a file.
#include "updater/core/manifest.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)kest::update::manifestVersion(bytes);
    const auto files = kest::update::manifestFiles(bytes);
    if (files.error == kest::update::ManifestError::None && files.files.empty())
        std::abort();
    for (const auto& f : files.files) {
        if (f.fileName.empty() || f.fileName == "." || f.fileName == ".."
            || f.fileName.find('/') != std::string::npos)
            std::abort();
        std::string scheme = f.url.substr(0, f.url.find("://") + 3);
        for (char& c : scheme)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (scheme != "http://" && scheme != "https://")
            std::abort();
        for (char c : f.url) {
            if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
                std::abort();
        }
    }
    return 0;
}
