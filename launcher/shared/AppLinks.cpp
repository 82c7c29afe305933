#include "launcher/shared/AppLinks.h"

namespace kest {

namespace {

char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[i]) != prefix[i])
            return false;
    }
    return true;
}

} // namespace

bool containsNoCase(std::u16string_view text, std::u16string_view link)
{
    if (link.size() > text.size())
        return false;
    for (std::size_t at = 0; at + link.size() <= text.size(); ++at) {
        if (startsWithNoCase(text.substr(at), link))
            return true;
    }
    return false;
}

std::u16string_view secondField(std::u16string_view target)
{
    const std::size_t first = target.find(kLinkFieldSeparator);
    if (first == std::u16string_view::npos)
        return {};
    const std::u16string_view rest = target.substr(first + 1);
    return rest.substr(0, rest.find(kLinkFieldSeparator));
}

WebAddressProblem webAddressProblem(std::u16string_view address)
{
    if (address.size() > kMaxWebAddressLength)
        return WebAddressProblem::TooLong;
    for (const char16_t c : address) {
        if (c < u' ' || c == u'\x7f')
            return WebAddressProblem::NotWeb;
    }
    for (const std::u16string_view scheme :
        { std::u16string_view(u"http://"), std::u16string_view(u"https://") }) {
        if (!startsWithNoCase(address, scheme))
            continue;
        const std::u16string_view rest = address.substr(scheme.size());
        const std::u16string_view host = rest.substr(0, rest.find_first_of(u"/?#"));
        // A host, and no space in it: what follows may be sloppier, as pages
        // write it, but without a host there is nothing to open.
        return host.empty() || host.find(u' ') != std::u16string_view::npos
            ? WebAddressProblem::NotWeb
            : WebAddressProblem::None;
    }
    return WebAddressProblem::NotWeb;
}

AppLink matchAppLink(std::u16string_view target)
{
    AppLink link;
    if (containsNoCase(target, kExitGameLink)) {
        link.kind = AppLinkKind::ExitGame;
    } else if (containsNoCase(target, kMinimizeLink)) {
        link.kind = AppLinkKind::Minimize;
    } else if (containsNoCase(target, kLoadGameLink)) {
        link.kind = AppLinkKind::LoadGame;
        const std::u16string_view address = secondField(target);
        if (address.empty()) {
            link.problem = LoadGameProblem::NoAddress;
        } else {
            switch (webAddressProblem(address)) {
            case WebAddressProblem::None:
                link.gameAddress.assign(address);
                break;
            case WebAddressProblem::NotWeb:
                link.problem = LoadGameProblem::NotWebAddress;
                break;
            case WebAddressProblem::TooLong:
                link.problem = LoadGameProblem::AddressTooLong;
                break;
            }
        }
    }
    return link;
}

} // namespace kest
