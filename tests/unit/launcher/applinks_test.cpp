// The app command link rules and the login page length rule, one row per case.
#include "launcher/AppLinks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kest::AppLinkKind;
using kest::LoadGameProblem;

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
};

INSTANTIATE_TEST_SUITE_P(Links, AppLinkTable, ::testing::ValuesIn(kRows),
    [](const ::testing::TestParamInfo<LinkRow>& info) { return std::string(info.param.name); });

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
