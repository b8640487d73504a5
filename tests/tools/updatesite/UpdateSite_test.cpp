#include "tools/updatesite/UpdateSite.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/TempDir.h"

#ifdef UPDATESITE_TOOL

namespace {

// Regression: a Stop() right after Start() (the site's command ending at
// once, as "-- true" does) came before the server's accept loop had marked
// itself running; the server library ignored the stop, and the site served
// on and joined its thread forever. Run in a child so a hang fails the test
// instead of stalling the suite.
TEST(UpdateSite, StopRightAfterStartEndsTheServer) {
    testsupport::TempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int round = 0; round < 300; ++round) {
            UpdateSite site(UpdateSiteOptions{dir.Path(), 0, 0, {}});
            std::string failure;
            if (!site.Start(failure)) ::_exit(2);
            site.Stop();
        }
        ::_exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "Stop() right after Start() never returned";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace

#endif
