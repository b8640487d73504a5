#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The one launcher binary picks its backend by the display it finds, and
// says in run.log which one ran.
class BackendChoiceTest : public testing::Test {
protected:
    void SetUp() override {
        const fs::path demo = fs::path(LAUNCHER_BINARY_DIR) / "demo" / "install";
        ASSERT_TRUE(fs::exists(demo / "launcher")) << "build the demo_install target first";
        fs::copy(demo, dir_.Path(), fs::copy_options::recursive);
        fs::remove(dir_.Path() / "run.log");
    }

    // Starts the launcher with or without the display and returns the run
    // log once it names the backend (empty after 15 s); then asks the
    // launcher to quit the way a session end does and returns its status.
    std::string RunAndStop(bool withDisplay, int& exitStatus) {
        const std::string exe = (dir_.Path() / "launcher").string();
        const pid_t pid = fork();
        if (pid == 0) {
            if (!withDisplay) {
                unsetenv("DISPLAY");
                unsetenv("WAYLAND_DISPLAY");
            }
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, 1);
            dup2(devNull, 2);
            if (chdir(dir_.Path().c_str()) != 0) _exit(127);
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        std::string log;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            log = testsupport::ReadFileBytes(dir_.Path() / "run.log");
            if (log.find("window backend: ") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return log;
    }

    testsupport::TempDir dir_;
};

TEST_F(BackendChoiceTest, WithoutADisplayTheSameBinaryRunsHeadless) {
    int status = -1;
    const std::string log = RunAndStop(false, status);
    EXPECT_NE(log.find("window backend: headless"), std::string::npos) << log;
    EXPECT_EQ(status, 0) << "quits in order on SIGTERM";
}

TEST_F(BackendChoiceTest, WithADisplayItRunsTheDesktopBackend) {
    int status = -1;
    const std::string log = RunAndStop(true, status);
    EXPECT_NE(log.find("window backend: desktop"), std::string::npos) << log;
    EXPECT_EQ(status, 0);
}

}  // namespace
