// libFuzzer target: the manifest reader must take any bytes without crashing,
// and what it accepts must hold up: every file has an http(s) URL and a name
// that names a file, and where file checks are required, a SHA-256 in
// lower-case hex and a size within bounds.
#include "updater/core/manifest.h"
#include "updater/core/signature.h"
#include "updater/core/trust.h"

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
    const auto checked = kest::update::manifestFiles(bytes, kest::update::FileChecks::Required);
    if (checked.error == kest::update::ManifestError::None
        && checked.files.size() != files.files.size())
        std::abort();
    for (const auto& f : checked.files) {
        if (!f.isChecked() || !kest::update::isSha256Hex(f.sha256) || f.size < 0
            || f.size > kest::update::kFileSizeLimit)
            std::abort();
    }
    const auto verdict = kest::update::judgeManifest(bytes, std::nullopt, {}, "1.0.0");
    if (verdict.accepted && (verdict.files.files.empty() || !verdict.version))
        std::abort();
    return 0;
}
