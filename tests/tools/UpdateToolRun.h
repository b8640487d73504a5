#pragma once

// Runs the built updatetool as a process, the way an operator's script does,
// in a temp folder of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "tools/ToolRun.h"

namespace updatetooltest {

using tooltest::Quote;
using tooltest::ToolRun;

class UpdateToolTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::is_regular_file(UPDATETOOL_TOOL)) << "updatetool is not built at "
                                                                        << UPDATETOOL_TOOL;
    }

    // `args` is shell text: quote paths with Quote().
    ToolRun Tool(const std::string& args) { return tooltest::RunTool(UPDATETOOL_TOOL, args, dir.Path()); }

    std::string P(const std::string& name) const { return Quote(dir / name); }

    testsupport::TempDir dir;
};

}  // namespace updatetooltest
