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
    testsupport::WriteFileBytes(dir / "plain.ini", plain);

    ASSERT_EQ(RunTool("encode " + Quote(dir / "plain.ini") + " " + Quote(dir / "web.ini")), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "web.ini"), ScrambleBytes(plain, configKey));

    ASSERT_EQ(RunTool("decode " + Quote(dir / "web.ini") + " " + Quote(dir / "web.back")), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "web.back"), plain);
}

// Each direction refuses the input of the other, recognised as the launcher
// recognises it, and --force overrides; a refusal writes nothing.
TEST(ScrambleTool, RefusesTheWrongInputUnlessForced) {
    testsupport::TempDir dir;
    const std::string ini = "[Addr]\r\nUpdateVersionUrl1=http://127.0.0.1/up/version_newStyle.xml\r\n";
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tarno></tarno>\n";
    const std::string text = "plain words\n";
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case plains[] = {{"Do.ini", ini}, {"ServerList.xml", xml}, {"notes.txt", text}};
    for (const Case& c : plains) {
        testsupport::WriteFileBytes(dir / "plain" / c.name, c.bytes);
        testsupport::WriteFileBytes(dir / "scrambled" / c.name, ScrambleBytes(c.bytes, configKey));
        const std::string plain = Quote(dir / "plain" / c.name);
        const std::string scrambled = Quote(dir / "scrambled" / c.name);
        const std::string out = Quote(dir / "out");
        EXPECT_EQ(RunTool("decode " + plain + " " + out), 1) << c.name;
        EXPECT_EQ(RunTool("encode " + scrambled + " " + out), 1) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir / "out")) << c.name;
        EXPECT_EQ(RunTool("decode " + scrambled + " " + out), 0) << c.name;
        EXPECT_EQ(testsupport::ReadFileBytes(dir / "out"), c.bytes) << c.name;
        EXPECT_EQ(RunTool("--force encode " + scrambled + " " + out), 0) << c.name;
        EXPECT_EQ(testsupport::ReadFileBytes(dir / "out"), ScrambleBytes(ScrambleBytes(c.bytes, configKey), configKey));
        std::filesystem::remove(dir / "out");
    }
}

TEST(ScrambleTool, ExitCodes) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "in", "x");
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
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
