// Runs the operator tool "scramble" as a process and checks what it leaves.

#include <gtest/gtest.h>

#include <string>

#include "launcher/config/ScrambledFile.h"
#include "support/TempDir.h"
#include "tools/ToolRun.h"

namespace {

using tooltest::Quote;

// The tool's exit code; its output is not looked at.
int RunTool(const std::string& args) {
    const testsupport::TempDir folder;
    return tooltest::RunTool(SCRAMBLE_TOOL, args, folder.Path()).exitCode;
}

TEST(ScrambleTool, RoundTripIsByteExactAndMatchesTheLauncherKey) {
    testsupport::TempDir dir;
    std::string plain = "[Web]\r\nWebsiteUrl=http://www.example/\n";
    for (int b = 0; b < 256; ++b) plain.push_back(static_cast<char>(b));
    testsupport::WriteFileBytes(dir / "web.plain", plain);

    ASSERT_EQ(RunTool("encode " + Quote(dir / "web.plain") + " " + Quote(dir / "web.ini")), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "web.ini"), ScrambleBytes(plain, configKey));

    ASSERT_EQ(RunTool("decode " + Quote(dir / "web.ini") + " " + Quote(dir / "web.back")), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "web.back"), plain);
}

TEST(ScrambleTool, ExitCodes) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "in", "x");
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
        {"", 2},
        {"--help", 0},
        {"encode " + Quote(dir / "in"), 2},
        {"shuffle " + Quote(dir / "in") + " " + Quote(dir / "out"), 2},
        {"encode " + Quote(dir / "missing") + " " + Quote(dir / "out"), 1},
        {"decode " + Quote(dir.Path()) + " " + Quote(dir / "out"), 1},
        {"encode " + Quote(dir / "in") + " " + Quote(dir / "no-folder" / "out"), 1},
    };
    for (const auto& c : cases) EXPECT_EQ(RunTool(c.args), c.exitCode) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

}  // namespace
