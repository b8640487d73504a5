// The exit codes every operator tool shares, run as the built programs:
// started without arguments each shows its usage and exits 2, --help
// exits 0, an unknown option exits 2 with one line on standard error.
// Each tool's failures (exit 1) are rows of its own test's table.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/TempDir.h"
#include "tools/ToolRun.h"

namespace {

struct Tool {
    const char* name;
    const char* path;
    const char* unknownOption;
};

const Tool kTools[] = {
    {"scramble", SCRAMBLE_TOOL, "--frobnicate a b"},
    {"skinpack", SKINPACK_TOOL, "--frobnicate"},
    {"packtool", PACKTOOL_TOOL, "--frobnicate"},
    {"updatetool", UPDATETOOL_TOOL, "--frobnicate"},
    {"updatesite", UPDATESITE_TOOL, "--frobnicate 1"},
};

TEST(ToolExitCodes, EveryToolSharesThem) {
    for (const Tool& tool : kTools) {
        const testsupport::TempDir dir;
        const auto bare = tooltest::RunTool(tool.path, "", dir.Path());
        EXPECT_EQ(bare.exitCode, 2) << tool.name;
        // The usage names the tool and its exit codes.
        EXPECT_NE(bare.out.find(tool.name), std::string::npos) << tool.name << "\n" << bare.out;
        EXPECT_NE(bare.out.find("Exit codes"), std::string::npos) << tool.name << "\n" << bare.out;
        EXPECT_EQ(tooltest::RunTool(tool.path, "--help", dir.Path()).exitCode, 0) << tool.name;
        const auto unknown = tooltest::RunTool(tool.path, tool.unknownOption, dir.Path());
        EXPECT_EQ(unknown.exitCode, 2) << tool.name;
        EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << tool.name << "\n" << unknown.err;
    }
}

}  // namespace
