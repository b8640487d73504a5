#include "updater/UpdaterArguments.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct ArgumentCase {
    const char* name;
    std::vector<std::string> args;
    bool accepted;
    std::string source;
    std::string installDir;
};

class ParseTest : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ParseTest, OnlyTheLaunchersFormIsAccepted) {
    const ArgumentCase& c = GetParam();
    const auto parsed = ParseUpdaterArguments(c.args);
    ASSERT_EQ(parsed.has_value(), c.accepted);
    if (!parsed) return;
    EXPECT_EQ(parsed->source, c.source);
    EXPECT_EQ(parsed->installDir, c.installDir);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseTest,
    testing::Values(
        ArgumentCase{"Split", {"/g/temp/3/1/*/g/"}, true, "/g/temp/3/1/", "/g/"},
        // Started without the launcher's argument splitting, the quote stays.
        ArgumentCase{"LeadingQuote", {"\"/g/temp/3/1/*/g/"}, true, "/g/temp/3/1/", "/g/"},
        ArgumentCase{"Blanks", {"/my game/temp/1/1/*/my game/"}, true, "/my game/temp/1/1/", "/my game/"},
        ArgumentCase{"NoArgument", {}, false, "", ""},
        ArgumentCase{"TwoArguments", {"/g/temp/1/1/", "/g/"}, false, "", ""},
        ArgumentCase{"NoStar", {"/g/temp/1/1/"}, false, "", ""},
        ArgumentCase{"SourceWithoutSeparator", {"/g/temp/1/1*/g/"}, false, "", ""},
        ArgumentCase{"InstallWithoutSeparator", {"/g/temp/1/1/*/g"}, false, "", ""},
        ArgumentCase{"RelativeFolders", {"temp/1/1/*g/"}, false, "", ""},
        ArgumentCase{"ClosingQuote", {"\"/g/temp/1/1/*/g/\""}, false, "", ""}),
    [](const testing::TestParamInfo<ArgumentCase>& info) { return std::string(info.param.name); });

TEST(ParseUpdaterArguments, AStarInsideAFolderNameSplitsWhereBothFoldersExist) {
    testsupport::TempDir dir;
    const fs::path install = dir / "a*b";
    fs::create_directories(install / "temp" / "1" / "1");
    const std::string installDir = install.string() + "/";
    const std::string source = installDir + "temp/1/1/";
    const auto parsed = ParseUpdaterArguments({source + "*" + installDir});
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->source, source);
    EXPECT_EQ(parsed->installDir, installDir);
}

}  // namespace
