#pragma once

// Runs the built updatetool as a process, the way an operator's script does,
// in a temp folder of its own.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace updatetooltest {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

class UpdateToolTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::is_regular_file(UPDATETOOL_TOOL)) << "updatetool is not built at "
                                                                        << UPDATETOOL_TOOL;
    }

    // `args` is shell text: quote paths with Quote().
    ToolRun Tool(const std::string& args) {
        const std::filesystem::path out = dir / "tool.out";
        const std::filesystem::path err = dir / "tool.err";
        const std::string command = "cd " + Quote(dir.Path()) + " && '" UPDATETOOL_TOOL "' " + args + " >" +
                                    Quote(out) + " 2>" + Quote(err);
        const int status = std::system(command.c_str());
        ToolRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = testsupport::ReadFileBytes(out);
        run.err = testsupport::ReadFileBytes(err);
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return run;
    }

    std::string P(const std::string& name) const { return Quote(dir / name); }

    testsupport::TempDir dir;
};

}  // namespace updatetooltest
