#pragma once

#include <cstddef>
#include <string_view>

namespace kest::demo {

// One file of demo/www, compiled into the binary (embed_assets.cmake).
struct Asset {
    std::string_view path; // relative to www/, for example "pcLogin/index.html"
    std::string_view bytes;
};

extern const Asset kAssets[];
extern const std::size_t kAssetCount;

} // namespace kest::demo
