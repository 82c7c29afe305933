#include "updater/core/manifest.h"

#include <gtest/gtest.h>

using namespace kest::update;
using namespace std::string_literals;

struct VersionCase {
    const char* name;
    std::string manifest;
    std::optional<std::string> value;
    bool current; // against own version 1.1.0
};

class ManifestVersion : public ::testing::TestWithParam<VersionCase> { };

TEST_P(ManifestVersion, ReadsTheFirstVersionLineExactly)
{
    const VersionCase& c = GetParam();
    EXPECT_EQ(manifestVersion(c.manifest), c.value);
    const bool current = c.value && isSameVersion(*c.value, "1.1.0");
    EXPECT_EQ(current, c.current);
}

INSTANTIATE_TEST_SUITE_P(Cases, ManifestVersion,
    ::testing::Values(
        VersionCase { "Plain", "version=1.1.0\r\nany|http://h/kest\r\n", "1.1.0", true },
        VersionCase { "UpperCaseKeyMatches", "VERSION=1.1.0\r\n", "1.1.0", true },
        VersionCase { "SpacesAroundSeparatorDiffer", "version = 1.1.0\r\n", "= 1.1.0", false },
        VersionCase { "OnlyTheFirstCounts", "version=1.0.0\r\nversion=1.1.0\r\n", "1.0.0", false },
        VersionCase { "OlderStillOffers", "version=1.0.9\r\n", "1.0.9", false },
        VersionCase { "LeadingZeroOffers", "version=1.1.00\r\n", "1.1.00", false },
        VersionCase { "TrailingSpacesTrimmed", "version:1.1.0   \r\n", "1.1.0", true },
        VersionCase { "NoEndOnLastLine", "x|y\r\nversion=1.1.0", "1.1.0", true },
        VersionCase { "CrAloneEndsALine", "version=1.1.0\rany|http://h/k", "1.1.0", true },
        VersionCase { "BareLfIsOneLine", "version=1.1.0\nany|http://h/k\n",
            "1.1.0\nany|http://h/k\n", false },
        VersionCase {
            "VersionInsideAFileLine", "file|http://h/version/x\r\n", "p://h/version/x", false },
        VersionCase { "ShortLine", "version\r\n", "", false },
        VersionCase { "Empty", "", std::nullopt, false },
        VersionCase { "NoVersionLine", "any|http://h/kest\r\n", std::nullopt, false },
        VersionCase { "BinaryJunk", "\x01\xff\xfe\0version\0\r\n"s, "ion\0"s, false },
        VersionCase { "NonAscii", "版本version=1.1.0\r\n", "rsion=1.1.0", false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ManifestVersion, VeryLongLineIsReadWhole)
{
    const std::string manifest = "version=" + std::string(1 << 20, '9') + "\r\n";
    ASSERT_TRUE(manifestVersion(manifest).has_value());
    EXPECT_EQ(manifestVersion(manifest)->size(), size_t(1) << 20);
}

TEST(ManifestFiles, ListsFileLinesInOrderAndSkipsLinesWithoutBar)
{
    const auto result = manifestFiles("version=2.0.0\r\n"
                                      "\r\n"
                                      "a note without a bar\r\n"
                                      "x|http://127.0.0.1/files/data.pak|extra\r\n"
                                      "any|HTTPS://127.0.0.1/kest\r\n");
    EXPECT_EQ(result.error, ManifestError::None);
    ASSERT_EQ(result.files.size(), 2u);
    EXPECT_EQ(result.files[0].url, "http://127.0.0.1/files/data.pak");
    EXPECT_EQ(result.files[0].fileName, "data.pak");
    EXPECT_EQ(result.files[1].fileName, "kest");
}

TEST(ManifestFiles, RefusesDamagedManifestsWhole)
{
    struct Bad {
        const char* manifest;
        ManifestError error;
    };
    const Bad cases[] = {
        { "", ManifestError::NoFileLine },
        { "version=2.0.0\r\n", ManifestError::NoFileLine },
        { "version=2.0.0\nany|http://h/kest\n", ManifestError::NoFileLine }, // bare LF
        { "a|http://h/ok\r\nb|ftp://h/kest\r\n", ManifestError::BadUrl },
        { "a|file:///etc/passwd\r\n", ManifestError::BadUrl },
        { "a|/kest\r\n", ManifestError::BadUrl },
        { "a|http://\r\n", ManifestError::BadUrl },
        { "a|http://h/dir/\r\n", ManifestError::BadFileName },
        // Without a version line a bare-LF manifest's one "line" runs on past its URL.
        { "a|http://h/data\nb|http://h/kest\n", ManifestError::BadUrl },
        { "a|http://h/kest\n", ManifestError::BadUrl },
        { "a|http://h/my kest\r\n", ManifestError::BadUrl },
        { "a|\r\n", ManifestError::BadUrl },
        { "a|http://h/.\r\n", ManifestError::BadFileName },
        { "a|http://h/..\r\n", ManifestError::BadFileName },
    };
    for (const Bad& c : cases) {
        const auto result = manifestFiles(c.manifest);
        EXPECT_EQ(result.error, c.error) << c.manifest;
        EXPECT_TRUE(result.files.empty()) << c.manifest;
        EXPECT_STRNE(describe(result.error), "");
    }
}

TEST(FileName, IsTheTextAfterTheLastSlash)
{
    EXPECT_EQ(fileNameFromUrl("http://h/a/b/kest"), "kest");
    EXPECT_EQ(fileNameFromUrl("kest.bin"), "kest.bin");
    EXPECT_EQ(fileNameFromUrl("http://h/a/"), "");
    EXPECT_EQ(fileNameFromUrl("http://h/a/.."), "..");
    EXPECT_EQ(fileNameFromUrl("http://h/get?f=a/b"), "b"); // a query is no exception
    EXPECT_EQ(fileNameFromUrl("http://h"), "h");
    EXPECT_EQ(fileNameFromUrl(""), "");
}

TEST(UpdaterCommandLine, BuildsFolderAndLauncher)
{
    EXPECT_EQ(buildUpdaterCommandLine("/opt/kest/kest"), "/opt/kest|/opt/kest/kest");
    // At the root the folder keeps its "/" and the launcher gets two.
    EXPECT_EQ(buildUpdaterCommandLine("/kest"), "/|//kest");
    // A dot belongs to the name: "kest-1.0" must be started again as it is.
    EXPECT_EQ(
        buildUpdaterCommandLine("/opt/kest-1.0/kest-1.0"), "/opt/kest-1.0|/opt/kest-1.0/kest-1.0");
    // What the line cannot carry is refused, not sent to the wrong folder.
    EXPECT_FALSE(buildUpdaterCommandLine("/opt/a|b/kest"));
    EXPECT_FALSE(buildUpdaterCommandLine("kest"));
    EXPECT_FALSE(buildUpdaterCommandLine("/opt/kest/"));
    EXPECT_FALSE(buildUpdaterCommandLine(""));
    // Every line built reads back as the same launcher (at the root, with
    // the two "/" the updater uses as they are).
    const std::pair<const char*, const char*> roundTrips[]
        = { { "/opt/kest/kest", "/opt/kest/kest" }, { "/kest", "//kest" },
              { "/a b/游戏/kest", "/a b/游戏/kest" } };
    for (const auto& [path, launcher] : roundTrips) {
        const auto parsed = parseUpdaterCommandLine(*buildUpdaterCommandLine(path));
        ASSERT_TRUE(parsed) << path;
        EXPECT_EQ(parsed->launcherPath, launcher);
    }
}

TEST(UpdaterCommandLine, ParsesAndRefusesWhatNamesNoLauncher)
{
    auto parsed = parseUpdaterCommandLine("/opt/kest|/opt/kest/kest");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->installFolder, "/opt/kest/");
    EXPECT_EQ(parsed->launcherPath, "/opt/kest/kest");

    parsed = parseUpdaterCommandLine("/|//kest|ignored");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->installFolder, "/"); // no second "/" added
    EXPECT_EQ(parsed->launcherPath, "//kest");

    EXPECT_FALSE(parseUpdaterCommandLine(""));
    EXPECT_FALSE(parseUpdaterCommandLine("/opt/kest"));
    EXPECT_FALSE(parseUpdaterCommandLine("|/opt/kest/kest"));
    EXPECT_FALSE(parseUpdaterCommandLine("/opt/kest|"));
    EXPECT_FALSE(parseUpdaterCommandLine("/opt\0x|/opt/kest"s));
    EXPECT_FALSE(parseUpdaterCommandLine("opt/kest|opt/kest/kest")); // relative
    // A folder named "a|b" splits in the wrong place: the launcher "b/kest"
    // does not live in "/opt/a", so nothing is installed there.
    EXPECT_FALSE(parseUpdaterCommandLine("/opt/a|b|/opt/a|b/kest"));
    EXPECT_FALSE(parseUpdaterCommandLine("/opt/kest|/opt/other/kest"));
    EXPECT_FALSE(parseUpdaterCommandLine("/opt/kest|/opt/kest/"));
    parsed = parseUpdaterCommandLine("/opt/kest/|/opt/kest/kest");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->installFolder, "/opt/kest/"); // one "/", not two
}
