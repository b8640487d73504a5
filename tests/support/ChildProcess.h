#pragma once

// A program a test starts in a process group of its own, its output (both
// streams) appended to a file, so a stop reaches everything it started.
// The destructor stops it.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    struct Options {
        std::vector<std::string> extraEnv = {};  // "NAME=value", after the test's own
        bool headless = false;              // without DISPLAY and WAYLAND_DISPLAY
        // SIGTERM to the program alone, for one that passes it on to its
        // children and waits for them; otherwise to the whole group.
        bool termLeaderOnly = false;
        int stopSeconds = 10;  // then SIGKILL to the group
    };

    ChildProcess(const std::vector<std::string>& args, const std::filesystem::path& output, Options options);
    ChildProcess(const std::vector<std::string>& args, const std::filesystem::path& output)
        : ChildProcess(args, output, Options{}) {}
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Stop();

private:
    Options options_;
    pid_t pid_ = -1;
};

}  // namespace testsupport
