// libFuzzer target: the app command link rules on any UTF-16 text. The
// address a loadgame link yields must be the exact second field of the target,
// a web address, and free of the field separator.
#include "launcher/shared/AppLinks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string target(size / 2, u'\0');
    if (!target.empty())
        std::memcpy(target.data(), data, target.size() * sizeof(char16_t));

    const kest::AppLink link = kest::matchAppLink(target);
    std::u16string lower = target;
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    const bool hasExit = lower.find(kest::kExitGameLink) != std::u16string::npos;
    const bool hasMinimize = lower.find(kest::kMinimizeLink) != std::u16string::npos;
    const bool hasLoad = lower.find(kest::kLoadGameLink) != std::u16string::npos;
    switch (link.kind) {
    case kest::AppLinkKind::None:
        if (hasExit || hasMinimize || hasLoad)
            std::abort();
        break;
    case kest::AppLinkKind::ExitGame:
        if (!hasExit)
            std::abort();
        break;
    case kest::AppLinkKind::Minimize:
        if (hasExit || !hasMinimize)
            std::abort();
        break;
    case kest::AppLinkKind::LoadGame:
        if (hasExit || hasMinimize || !hasLoad)
            std::abort();
        if (link.problem == kest::LoadGameProblem::None) {
            if (link.gameAddress != kest::secondField(target)
                || !kest::isWebAddress(link.gameAddress)
                || link.gameAddress.find(kest::kLinkFieldSeparator) != std::u16string::npos)
                std::abort();
        } else if (!link.gameAddress.empty()) {
            std::abort();
        }
        break;
    }
    if (link.kind != kest::AppLinkKind::LoadGame
        && (link.problem != kest::LoadGameProblem::None || !link.gameAddress.empty()))
        std::abort();
    return 0;
}
