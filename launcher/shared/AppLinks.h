#pragma once

// The app command links through which the login page asks the launcher to act,
// and the rule that tells a login page from a failed connection. Plain C++ with
// no Qt, so the rules can be unit-tested and fuzzed on their own; texts are
// UTF-16, as the browser hands them over.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kest {

inline constexpr std::u16string_view kExitGameLink = u"app://exitgame";
inline constexpr std::u16string_view kMinimizeLink = u"app://minimize";
inline constexpr std::u16string_view kLoadGameLink = u"app://loadgame";

// In the order they are tested: the first text that a target contains wins.
inline constexpr std::array<std::u16string_view, 3> kAppLinkTexts { kExitGameLink, kMinimizeLink,
    kLoadGameLink };

// Separates the fields of a loadgame target: "app://loadgame|<address>|...".
inline constexpr char16_t kLinkFieldSeparator = u'|';

enum class AppLinkKind {
    None, // an ordinary navigation: let it proceed
    ExitGame,
    Minimize,
    LoadGame,
};

// Why a loadgame link carries no address to open.
enum class LoadGameProblem {
    None,
    NoAddress, // no second field, or an empty one
    NotWebAddress, // the second field is not an absolute http:// or https:// address
    AddressTooLong, // the second field is longer than kMaxWebAddressLength
};

struct AppLink {
    AppLinkKind kind = AppLinkKind::None;
    // LoadGame: the second field of the target (between the first and the
    // second "|", or to the end), exactly as sent. Empty unless problem is None.
    std::u16string gameAddress;
    LoadGameProblem problem = LoadGameProblem::None;
};

// Recognises a link anywhere in a navigation target, in any case of its ASCII
// letters: "APP://EXITGAME" names the same address as "app://exitgame", and
// the engine hands over some targets with their scheme and host lower-cased
// and others as written. Only the parts named above are read.
AppLink matchAppLink(std::u16string_view target);

// Whether `text` contains `link` (lower case) with its ASCII letters in any case.
bool containsNoCase(std::u16string_view text, std::u16string_view link);

// The second "|"-separated field of `target`; empty when there is none.
std::u16string_view secondField(std::u16string_view target);

// The longest address the program opens, in UTF-16 code units: far more than
// any game address with its login token, far less than what would make a tab
// key, a caption or an event log line a burden.
inline constexpr std::size_t kMaxWebAddressLength = 8192;

enum class WebAddressProblem {
    None,
    NotWeb, // no http:// or https:// with a host, or a control character in it
    TooLong, // longer than kMaxWebAddressLength
};

// The one rule for every address the program is handed to open as a page
// (from a loadgame link, from the link topic): it starts with "http://" or
// "https://" (scheme in any case) and a host, holds no control character
// (they have no place in an address and would reach tab captions and the
// event log), and is at most kMaxWebAddressLength long. Game pages are web
// pages: anything else (file:, javascript:, data:, another app link) is
// never opened.
WebAddressProblem webAddressProblem(std::u16string_view address);
inline bool isWebAddress(std::u16string_view address)
{
    return webAddressProblem(address) == WebAddressProblem::None;
}

// A completed login page whose document element holds fewer characters of
// inner HTML than this is taken as a failed connection.
inline constexpr std::int64_t kMinLoginPageLength = 1500;

// Length in UTF-16 code units, as the document reports it.
inline bool isLoginPageLongEnough(std::int64_t innerHtmlLength)
{
    return innerHtmlLength >= kMinLoginPageLength;
}

} // namespace kest
