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

// Only "qx.exe" of this installation is ended: a name differing in case
// is another program, and a client of another installation of the game
// (a second copy the player runs) is none of this update's business.
TEST(TerminateGameClientsTest, EndsOnlyThisInstallationsClient) {
    testsupport::TempDir dir;
    const fs::path game = dir.Path() / "game";
    const fs::path otherGame = dir.Path() / "other-game";
    fs::create_directories(game);
    fs::create_directories(otherGame);
    const pid_t client = StartStandIn(game, "qx.exe");
    const pid_t differentCase = StartStandIn(game, "QX.EXE");
    const pid_t otherInstallation = StartStandIn(otherGame, "qx.exe");
    ASSERT_GT(client, 0);
    ASSERT_GT(differentCase, 0);
    ASSERT_GT(otherInstallation, 0);

    EXPECT_TRUE(TerminateGameClients(game.wstring() + L"/"));

    // The client is gone by the time the call returns: only its zombie is left to reap.
    int status = 0;
    EXPECT_EQ(::waitpid(client, &status, WNOHANG), client);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    for (const pid_t survivor : {differentCase, otherInstallation}) {
        EXPECT_EQ(::waitpid(survivor, &status, WNOHANG), 0) << "process " << survivor << " must keep running";
        ::kill(survivor, SIGKILL);
        ::waitpid(survivor, &status, 0);
    }
}

}  // namespace

namespace {

// An unreadable process list may hide a running client: nothing may be
// installed, and no message is shown for it.
TEST(TerminateGameClientsTest, AnUnreadableProcessListFailsWithoutAMessage) {
    testsupport::TempDir dir;
    platform::MessageBoxCapture boxes;
    platform::SetProcRootForTesting((dir / "no-proc").string());
    EXPECT_FALSE(TerminateGameClients(dir.Folder()));
    platform::SetProcRootForTesting("");
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
