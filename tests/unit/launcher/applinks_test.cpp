// The app command link rules and the login page length rule, one row per case.
#include "launcher/shared/AppLinks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kest::AppLinkKind;
using kest::LoadGameProblem;
using kest::WebAddressProblem;

struct LinkRow {
    const char* name;
    std::u16string target;
    AppLinkKind kind;
    std::u16string address;
    LoadGameProblem problem;
};

void PrintTo(const LinkRow& row, std::ostream* os)
{
    *os << row.name;
}

class AppLinkTable : public ::testing::TestWithParam<LinkRow> { };

TEST_P(AppLinkTable, Matches)
{
    const LinkRow& row = GetParam();
    const kest::AppLink link = kest::matchAppLink(row.target);
    EXPECT_EQ(link.kind, row.kind);
    EXPECT_EQ(link.gameAddress, row.address);
    EXPECT_EQ(link.problem, row.problem);
}

const LinkRow kRows[] = {
    { "ordinary", u"http://127.0.0.1:8080/pcLogin/", AppLinkKind::None, u"",
        LoadGameProblem::None },
    { "empty", u"", AppLinkKind::None, u"", LoadGameProblem::None },
    { "exit", u"app://exitgame", AppLinkKind::ExitGame, u"", LoadGameProblem::None },
    { "exitWithTail", u"app://exitgame/", AppLinkKind::ExitGame, u"", LoadGameProblem::None },
    { "minimize", u"app://minimize", AppLinkKind::Minimize, u"", LoadGameProblem::None },
    { "anywhere", u"http://x/?next=app://minimize", AppLinkKind::Minimize, u"",
        LoadGameProblem::None },
    { "capitals", u"APP://EXITGAME", AppLinkKind::ExitGame, u"", LoadGameProblem::None },
    { "mixedCase", u"App://MiniMize", AppLinkKind::Minimize, u"", LoadGameProblem::None },
    { "almost", u"app:/exitgame app//minimize app://load game", AppLinkKind::None, u"",
        LoadGameProblem::None },
    { "exitBeforeLoad", u"app://loadgame|http://a/g|app://exitgame", AppLinkKind::ExitGame, u"",
        LoadGameProblem::None },
    { "minimizeBeforeLoad", u"app://loadgame|app://minimize", AppLinkKind::Minimize, u"",
        LoadGameProblem::None },
    { "load", u"app://loadgame|http://127.0.0.1:1/game/alice", AppLinkKind::LoadGame,
        u"http://127.0.0.1:1/game/alice", LoadGameProblem::None },
    { "loadKeepsTextAsSent", u"app://loadgame|HTTP://127.0.0.1:1/Game/%7C?a=1&b=%E5%BC%A0",
        AppLinkKind::LoadGame, u"HTTP://127.0.0.1:1/Game/%7C?a=1&b=%E5%BC%A0",
        LoadGameProblem::None },
    { "loadCapitals", u"APP://LOADGAME|http://h/Game", AppLinkKind::LoadGame, u"http://h/Game",
        LoadGameProblem::None },
    { "loadChinese", u"app://loadgame|http://127.0.0.1:1/game/张三", AppLinkKind::LoadGame,
        u"http://127.0.0.1:1/game/张三", LoadGameProblem::None },
    { "loadThirdFieldIgnored", u"app://loadgame|https://h/g|third|fourth", AppLinkKind::LoadGame,
        u"https://h/g", LoadGameProblem::None },
    { "loadFieldsBeforeLink", u"x|http://h/g|app://loadgame", AppLinkKind::LoadGame, u"http://h/g",
        LoadGameProblem::None },
    { "loadNoSeparator", u"app://loadgame", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NoAddress },
    { "loadEmptyField", u"app://loadgame|", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NoAddress },
    { "loadEmptyFieldThenThird", u"app://loadgame||http://h/g", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NoAddress },
    { "loadEncodedSeparator", u"app://loadgame%7Chttp://h/g", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NoAddress },
    { "loadFileAddress", u"app://loadgame|file:///etc/passwd", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NotWebAddress },
    { "loadScriptAddress", u"app://loadgame|javascript:alert(1)", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NotWebAddress },
    { "loadSchemeOnly", u"app://loadgame|http://", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NotWebAddress },
    { "loadLeadingSpace", u"app://loadgame| http://h/g", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NotWebAddress },
    { "loadLineEnd", u"app://loadgame|http://h/g\nkest: forged", AppLinkKind::LoadGame, u"",
        LoadGameProblem::NotWebAddress },
    { "loadTooLong", u"app://loadgame|http://h/" + std::u16string(kest::kMaxWebAddressLength, u'x'),
        AppLinkKind::LoadGame, u"", LoadGameProblem::AddressTooLong },
};

INSTANTIATE_TEST_SUITE_P(Links, AppLinkTable, ::testing::ValuesIn(kRows),
    [](const ::testing::TestParamInfo<LinkRow>& info) { return std::string(info.param.name); });

// The rule for every address handed over to be opened as a page.
struct AddressRow {
    const char* name;
    std::u16string address;
    WebAddressProblem problem;
};

void PrintTo(const AddressRow& row, std::ostream* os)
{
    *os << row.name;
}

class WebAddressTable : public ::testing::TestWithParam<AddressRow> { };

TEST_P(WebAddressTable, Judges)
{
    EXPECT_EQ(kest::webAddressProblem(GetParam().address), GetParam().problem);
    EXPECT_EQ(
        kest::isWebAddress(GetParam().address), GetParam().problem == WebAddressProblem::None);
}

const std::u16string kLongest
    = u"https://h/" + std::u16string(kest::kMaxWebAddressLength - 10, u'x');

const AddressRow kAddressRows[] = {
    { "http", u"http://127.0.0.1:18080/game/alice", WebAddressProblem::None },
    { "https", u"https://h", WebAddressProblem::None },
    { "schemeInCapitals", u"HTTPS://h/g", WebAddressProblem::None },
    { "queryAndFragment", u"http://h/g?token=1&u=%E5%BC%A0#top", WebAddressProblem::None },
    { "spaceInThePath", u"http://h/a b", WebAddressProblem::None },
    { "chinesePath", u"http://h/game/张三", WebAddressProblem::None },
    { "userInfo", u"http://u:p@h/g", WebAddressProblem::None },
    { "ipv6", u"http://[::1]:8080/g", WebAddressProblem::None },
    { "longest", kLongest, WebAddressProblem::None },
    { "oneTooLong", kLongest + u"x", WebAddressProblem::TooLong },
    { "huge", u"http://h/" + std::u16string(1 << 20, u'x'), WebAddressProblem::TooLong },
    { "empty", u"", WebAddressProblem::NotWeb },
    { "schemeOnly", u"http://", WebAddressProblem::NotWeb },
    { "noHost", u"http:///etc/passwd", WebAddressProblem::NotWeb },
    { "queryForHost", u"http://?x", WebAddressProblem::NotWeb },
    { "spaceInHost", u"http://a b/", WebAddressProblem::NotWeb },
    { "oneSlash", u"http:/h/g", WebAddressProblem::NotWeb },
    { "file", u"file:///etc/passwd", WebAddressProblem::NotWeb },
    { "script", u"javascript:alert(1)", WebAddressProblem::NotWeb },
    { "data", u"data:text/html,<b>x</b>", WebAddressProblem::NotWeb },
    { "appLink", u"app://exitgame", WebAddressProblem::NotWeb },
    { "unknownScheme", u"kest-unknown://h/g", WebAddressProblem::NotWeb },
    { "relative", u"/game/alice", WebAddressProblem::NotWeb },
    { "leadingSpace", u" http://h/g", WebAddressProblem::NotWeb },
    { "lineEnd", u"http://h/g\r\nx", WebAddressProblem::NotWeb },
    { "nul", std::u16string(u"http://h/g\0x", 12), WebAddressProblem::NotWeb },
    { "delete", u"http://h/\x7f", WebAddressProblem::NotWeb },
};

INSTANTIATE_TEST_SUITE_P(Addresses, WebAddressTable, ::testing::ValuesIn(kAddressRows),
    [](const ::testing::TestParamInfo<AddressRow>& info) { return std::string(info.param.name); });

TEST(AppLinks, SecondFieldRunsToTheNextSeparatorOrTheEnd)
{
    EXPECT_EQ(kest::secondField(u"a|b|c"), u"b");
    EXPECT_EQ(kest::secondField(u"a|b"), u"b");
    EXPECT_EQ(kest::secondField(u"a||c"), u"");
    EXPECT_EQ(kest::secondField(u"abc"), u"");
    EXPECT_EQ(kest::secondField(u"|"), u"");
}

TEST(AppLinks, ContainsIgnoresTheCaseOfAsciiLettersOnly)
{
    EXPECT_TRUE(kest::containsNoCase(u"xxAPP://ExitGamexx", u"app://exitgame"));
    EXPECT_TRUE(kest::containsNoCase(u"app://exitgame", u"app://exitgame"));
    EXPECT_FALSE(kest::containsNoCase(u"app://exitgam", u"app://exitgame"));
    EXPECT_FALSE(kest::containsNoCase(u"", u"app://exitgame"));
    // Full-width letters are other characters, not capitals.
    EXPECT_FALSE(kest::containsNoCase(u"ａｐｐ://exitgame", u"app://exitgame"));
}

TEST(AppLinks, LoginPageLengthRuleIsAtLeast1500Characters)
{
    EXPECT_FALSE(kest::isLoginPageLongEnough(0));
    EXPECT_FALSE(kest::isLoginPageLongEnough(1499));
    EXPECT_TRUE(kest::isLoginPageLongEnough(1500));
    EXPECT_FALSE(kest::isLoginPageLongEnough(-1));
}

} // namespace
