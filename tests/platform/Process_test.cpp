#include "platform/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"

extern char** environ;

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// Polls `done` for up to ten seconds; processes start and end asynchronously.
bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

void MakeExecutable(const std::filesystem::path& file) { ASSERT_EQ(::chmod(file.c_str(), 0755), 0); }

}  // namespace

TEST(Process, ShellExecuteStartsAProgramWithItsArgumentsInItsFolder) {
    TempDir dir;
    const auto work = dir / "work dir";
    std::filesystem::create_directory(work);
    const auto script = dir / "client.sh";
    // A descriptor the launcher holds open without close-on-exec must not
    // reach the started program.
    const int leaky = ::open((dir / "held.txt").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(leaky, 0);
    ASSERT_EQ(::dup2(leaky, 50), 50);
    ::close(leaky);
    WriteFileBytes(script,
                   "#!/bin/sh\n"
                   "{ pwd; for a in \"$@\"; do echo \"[$a]\"; done;\n"
                   "  if [ -e /proc/$$/fd/50 ]; then echo leaked; fi; } > out.tmp\n"
                   "mv out.tmp out.txt\n");
    MakeExecutable(script);

    ASSERT_TRUE(platform::ShellExecute(script.wstring(), L"ws \"two words\" 中文", work.wstring()));
    ::close(50);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(work / "out.txt"); }));
    EXPECT_EQ(ReadFileBytes(work / "out.txt"), work.string() + "\n[ws]\n[two words]\n[中文]\n");
}

TEST(Process, ShellExecuteRefusesWhatCannotStart) {
    TempDir dir;
    std::filesystem::create_directory(dir / "qx.exe");
    WriteFileBytes(dir / "plain.txt", "not a program\n");
    WriteFileBytes(dir / "ok.sh", "#!/bin/sh\nexit 0\n");
    MakeExecutable(dir / "ok.sh");

    EXPECT_FALSE(platform::ShellExecute((dir / "missing.exe").wstring(), L"ws", L""));
    EXPECT_FALSE(platform::ShellExecute((dir / "qx.exe").wstring(), L"ws", L""));
    EXPECT_FALSE(platform::ShellExecute((dir / "plain.txt").wstring(), L"", L""));
    EXPECT_FALSE(platform::ShellExecute((dir / "ok.sh").wstring(), L"", (dir / "no-such-folder").wstring()));
    EXPECT_TRUE(platform::ShellExecute((dir / "ok.sh").wstring(), L"", L""));
}

TEST(Process, NamesWineProcessesByTheirWindowsExecutable) {
    // A wine loader runs the game with the Windows path as argv[0].
    TempDir dir;
    const auto loader = dir / "wine64-preloader";
    std::filesystem::copy_file("/bin/sleep", loader);
    MakeExecutable(loader);
    const std::string argv0 = "C:\\Program Files\\Game\\qx.exe";
    std::vector<char*> argv = {const_cast<char*>(argv0.c_str()), const_cast<char*>("30"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, loader.c_str(), nullptr, nullptr, argv.data(), environ), 0);

    bool named = false;
    WaitFor([&] {
        for (const platform::ProcessInfo& p : platform::ListProcesses()) {
            if (p.pid == pid && p.exeName == L"qx.exe") named = true;
        }
        return named;
    });
    EXPECT_TRUE(named);
    EXPECT_TRUE(platform::TerminateProcess(pid));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST(Process, TerminateRefusesGroupsAndUnknownProcesses) {
    EXPECT_FALSE(platform::TerminateProcess(0));
    EXPECT_FALSE(platform::TerminateProcess(-1));
    EXPECT_FALSE(platform::TerminateProcess(-::getpid()));
    EXPECT_FALSE(platform::TerminateProcess(0x7FFFFFF0));
}

namespace {

// Regression: a /proc file that fails its read (a process ending between
// open and read fails with ESRCH) threw out of the listing, because the
// standard file buffer throws for a failed read; an install that ends game
// clients would have died with it. A folder where a file is expected fails
// its read the same way, every time.
TEST(Process, AListingSurvivesFilesThatFailTheirRead) {
    TempDir root;
    for (const char* file : {"stat", "cmdline", "comm"}) std::filesystem::create_directories(root / "4242" / file);
    struct RealProcAgain {
        ~RealProcAgain() { platform::SetProcRootForTesting(""); }
    } restore;
    platform::SetProcRootForTesting(root.Path().string());
    std::optional<std::vector<platform::ProcessInfo>> listed;
    EXPECT_NO_THROW(listed = platform::ReadProcessList());
    ASSERT_TRUE(listed.has_value());
    EXPECT_TRUE(listed->empty()) << "an unreadable stat is no running process";

    // A list that cannot be read at all is told from an empty one.
    platform::SetProcRootForTesting((root / "missing").string());
    EXPECT_FALSE(platform::ReadProcessList().has_value());
    EXPECT_TRUE(platform::ListProcesses().empty());
    platform::SetProcRootForTesting("");
    EXPECT_TRUE(platform::ReadProcessList().has_value());
}

}  // namespace
