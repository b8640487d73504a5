#include "platform/LaunchCommand.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

using platform::BuildLaunchCommand;
using platform::SplitArguments;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

TEST(LaunchCommand, SplitsArgumentStringsLikeTheClassicParser) {
    struct Case {
        std::wstring args;
        std::vector<std::wstring> expected;
    };
    const std::vector<Case> cases = {
        {L"ws", {L"ws"}},
        {L"", {}},
        {L"   \t ", {}},
        {L"  a   b\tc ", {L"a", L"b", L"c"}},
        {L"\"two words\" x", {L"two words", L"x"}},
        {L"pre\"mid dle\"post", {L"premid dlepost"}},
        {L"\"\"", {L""}},
        {L"C:\\game\\qx.exe", {L"C:\\game\\qx.exe"}},
        {L"say \\\"hi\\\"", {L"say", L"\"hi\""}},
        {L"\"C:\\dir\\\\\" next", {L"C:\\dir\\", L"next"}},
        {L"\"unclosed quote", {L"unclosed quote"}},
        {L"中文 参数", {L"中文", L"参数"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitArguments(c.args), c.expected) << std::string(c.args.begin(), c.args.end());
    }
}

TEST(LaunchCommand, RunsWindowsExecutablesThroughWineOnly) {
    TempDir dir;
    const auto pe = dir / "qx.exe";
    const auto elf = dir / "tool";
    const auto script = dir / "run.sh";
    WriteFileBytes(pe, std::string("MZ\x90\x00\x03", 5));
    WriteFileBytes(elf, "\x7F" "ELF\x02\x01");
    WriteFileBytes(script, "#!/bin/sh\nexit 0\n");
    std::filesystem::create_directory(dir / "folder.exe");
    const std::string p = pe.string();

    struct Case {
        const char* name;
        std::wstring file;
        std::string wine;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"PE with wine", pe.wstring(), "/usr/bin/wine", {"/usr/bin/wine", p, "ws"}},
        {"PE without wine runs directly", pe.wstring(), "", {p, "ws"}},
        {"ELF never through wine", elf.wstring(), "/usr/bin/wine", {elf.string(), "ws"}},
        {"script never through wine", script.wstring(), "/usr/bin/wine", {script.string(), "ws"}},
        {"missing file", (dir / "gone.exe").wstring(), "/usr/bin/wine", {}},
        {"folder", (dir / "folder.exe").wstring(), "/usr/bin/wine", {}},
        {"empty name", L"", "/usr/bin/wine", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildLaunchCommand(c.file, L"ws", c.wine), c.expected) << c.name;
    }
}

TEST(LaunchCommand, MakesRelativeFilesAbsoluteBeforeTheFolderChanges) {
    TempDir dir;
    WriteFileBytes(dir / "qx.exe", "MZ");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const std::vector<std::string> argv = BuildLaunchCommand(L"qx.exe", L"ws \"a b\"", "/opt/wine");
    std::filesystem::current_path(previous);
    ASSERT_EQ(argv.size(), 4u);
    EXPECT_EQ(argv[0], "/opt/wine");
    EXPECT_EQ(std::filesystem::path(argv[1]), dir.Path() / "qx.exe");
    EXPECT_EQ(argv[2], "ws");
    EXPECT_EQ(argv[3], "a b");
}

TEST(LaunchCommand, FindsProgramsOnPath) {
    TempDir dir;
    const auto tool = dir / "launcher-probe-tool";
    WriteFileBytes(tool, "#!/bin/sh\n");
    WriteFileBytes(dir / "not-executable", "#!/bin/sh\n");
    ASSERT_EQ(::chmod(tool.c_str(), 0755), 0);
    const char* old = std::getenv("PATH");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("PATH", ("/nonexistent:" + dir.Path().string()).c_str(), 1);
    EXPECT_EQ(platform::FindOnPath("launcher-probe-tool"), tool.string());
    EXPECT_EQ(platform::FindOnPath("not-executable"), "");
    EXPECT_EQ(platform::FindOnPath("no-such-program-anywhere"), "");
    EXPECT_EQ(platform::FindOnPath("a/b"), "");
    ::setenv("PATH", saved.c_str(), 1);
}
