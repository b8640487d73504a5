#include "launcher/update/GameClients.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Starts a copy of sleep under `name`, and waits until /proc lists it.
pid_t StartStandIn(const fs::path& folder, const std::string& name) {
    const fs::path exe = folder / name;
    fs::copy_file("/bin/sleep", exe, fs::copy_options::overwrite_existing);
    fs::permissions(exe, fs::perms::owner_all);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(exe.c_str(), name.c_str(), "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const platform::ProcessInfo& p : platform::ListProcesses())
            if (p.pid == pid && p.exeName == std::wstring(name.begin(), name.end()))
                return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
}

TEST(TerminateGameClientsTest, EndsTheClientButNotANameDifferingInCase) {
    testsupport::TempDir dir;
    const pid_t client = StartStandIn(dir.Path(), "qx.exe");
    const pid_t other = StartStandIn(dir.Path(), "QX.EXE");
    ASSERT_GT(client, 0);
    ASSERT_GT(other, 0);

    EXPECT_TRUE(TerminateGameClients());

    // The client is gone by the time the call returns: only its zombie is left to reap.
    int status = 0;
    EXPECT_EQ(::waitpid(client, &status, WNOHANG), client);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(::waitpid(other, &status, WNOHANG), 0) << "QX.EXE must keep running";
    ::kill(other, SIGKILL);
    ::waitpid(other, &status, 0);
}

}  // namespace

namespace {

// An unreadable process list may hide a running client: nothing may be
// installed, and no message is shown for it.
TEST(TerminateGameClientsTest, AnUnreadableProcessListFailsWithoutAMessage) {
    testsupport::TempDir dir;
    platform::MessageBoxCapture boxes;
    platform::SetProcRootForTesting((dir / "no-proc").string());
    EXPECT_FALSE(TerminateGameClients());
    platform::SetProcRootForTesting("");
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
