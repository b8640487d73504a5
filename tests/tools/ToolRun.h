#pragma once

// Runs a built operator tool as a process, the way an operator's script
// does: in a folder of the test's, its output kept.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace tooltest {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// `args` is shell text: quote paths with Quote(). The output passes through
// two files in `folder`, removed afterwards.
inline ToolRun RunTool(const std::string& tool, const std::string& args, const std::filesystem::path& folder) {
    const std::filesystem::path out = folder / "tool.out";
    const std::filesystem::path err = folder / "tool.err";
    const std::string command =
        "cd " + Quote(folder) + " && " + Quote(tool) + " " + args + " >" + Quote(out) + " 2>" + Quote(err);
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = testsupport::ReadFileBytes(out);
    run.err = testsupport::ReadFileBytes(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

}  // namespace tooltest
