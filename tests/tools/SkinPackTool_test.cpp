// Runs the operator tool "skinpack" as a process: its exit codes and output.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "support/TempDir.h"
#include "toolkit/SkinArchive.h"

namespace {

int RunTool(const std::string& args) {
    const std::string command = std::string("'") + SKINPACK_TOOL + "' " + args + " 2>/dev/null >/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

TEST(SkinPackTool, ExitCodesFollowTheFailingSide) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "skin" / "images");
    testsupport::WriteFileBytes(dir / "skin" / "main.xml", "<Window/>");
    testsupport::WriteFileBytes(dir / "skin" / "images" / "bg.png", "png");
    std::filesystem::create_directories(dir / "empty");
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
        {"", 1},
        {Quote(dir / "skin"), 1},
        {Quote(dir / "skin") + " " + Quote(dir / "a.dat") + " extra", 1},
        {"'' " + Quote(dir / "a.dat"), 1},
        {"--help", 0},
        {Quote(dir / "missing") + " " + Quote(dir / "a.dat"), 2},
        {Quote(dir / "empty") + " " + Quote(dir / "a.dat"), 2},
        {Quote(dir / "skin") + " " + Quote(dir / "no-folder" / "a.dat"), 3},
        {Quote(dir / "skin") + " " + Quote(dir / "empty"), 3},
    };
    for (const Case& c : cases) EXPECT_EQ(RunTool(c.args), c.exitCode) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir / "a.dat"));

    ASSERT_EQ(RunTool(Quote(dir / "skin") + " " + Quote(dir / "bt.dat")), 0);
    const auto archive = DuiLib::SkinArchive::Open(dir / "bt.dat");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->EntryCount(), 2u);
    std::string bytes;
    EXPECT_TRUE(archive->Find("images/bg.png", bytes));
    EXPECT_EQ(bytes, "png");
}

TEST(SkinPackTool, BuildPackedTheDefaultSkin) {
    const auto archive = DuiLib::SkinArchive::Open(std::filesystem::path(LAUNCHER_BINARY_DIR) / "bt.dat");
    ASSERT_NE(archive, nullptr) << "bt.dat is made by the bt_dat target";
    std::string bytes;
    EXPECT_TRUE(archive->Find("test.xml", bytes));
}

}  // namespace
