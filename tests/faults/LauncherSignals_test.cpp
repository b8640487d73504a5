// The headless demo launcher updating 1.0.0.1 -> 1.0.0.2 from a loopback
// site, stopped by SIGTERM in each phase and killed by SIGKILL while it
// downloads and installs, then started again: it must end within the
// contract's second, leave the game whole at the versions version.ini
// names, and finish the update on the next start. The in-process kill at
// every journal step is InstallTest.KilledAtAnyPointLeavesTheOldOrTheNewGame.

#include <gtest/gtest.h>
#include <signal.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <set>
#include <thread>

#include "faults/DemoGame.h"
#include "faults/FaultChild.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using faulttest::ChildProcess;
using faulttest::DemoGame;
using faulttest::WaitUntil;
using testsupport::ReadFileBytes;

constexpr char kUpdated[] = "1.0.0.2/1.0.0.2";
constexpr char kManifest[] = "/site/version_newStyle.xml";
constexpr auto kExitBound = 1s;  // the launcher's shutdown contract

std::string DataPackage() { return DemoGame::DataPackagePath(); }
std::string SiteFile(const std::string& sitePath) { return DemoGame::SiteFile(sitePath); }

// Raises a flag the moment the install journal is created in `folder`.
class JournalWatch {
public:
    explicit JournalWatch(const fs::path& folder) {
        fd_ = ::inotify_init1(IN_CLOEXEC);
        if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
    }
    ~JournalWatch() { ::close(fd_); }
    // Blocks until the journal appears or `timeout` passes.
    bool Wait(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        alignas(inotify_event) char buffer[4096];
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::string(event->name) == "install.journal") return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

private:
    int fd_ = -1;
};

class LauncherFault : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = DemoGame::Unavailable(); !why.empty()) GTEST_SKIP() << why;
        fs::create_directories(dir / "tmp");
        game = std::make_unique<DemoGame>(dir / "install", DemoGame::ServeSite(server));
    }
    void TearDown() override { faulttest::KillChildren(); }

    std::unique_ptr<ChildProcess> Start() {
        return std::make_unique<ChildProcess>(game->Program(), game->Folder(),
                                              std::vector<std::string>{"TMPDIR=" + (dir / "tmp").string()},
                                              dir / "launcher.out");
    }

    // The launcher of the installation running now: the one the test
    // started, or the one a self-update restarted.
    pid_t Running() const {
        for (const pid_t pid : faulttest::LiveChildren()) {
            std::error_code ec;
            const std::string exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).string();
            if (exe.starts_with(game->Program().string())) return pid;
        }
        return -1;
    }

    // Signals `pid` and waits for it: the time it took, or a minute when it
    // did not end.
    static std::chrono::milliseconds SignalAndWait(ChildProcess& started, pid_t pid, int signal, int& status) {
        status = -1;
        // kill() with 0 or -1 would reach every process of the group or system.
        if (pid <= 0) {
            ADD_FAILURE() << "no launcher to signal";
            return std::chrono::minutes(1);
        }
        const auto sent = Clock::now();
        ::kill(pid, signal);
        if (pid == started.Pid()) {
            status = started.Wait(60s);
        } else {
            WaitUntil(
                [&] {
                    int s = 0;
                    const pid_t r = ::waitpid(pid, &s, WNOHANG);
                    if (r == pid) status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
                    return r == pid || (r < 0 && errno == ECHILD);
                },
                60s);
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    }

public:
    bool UpdatedAndIdle() const {
        return game->Versions() == kUpdated &&
               ReadFileBytes(game->Folder() / "run.log").find("The current is the latest version") != std::string::npos;
    }

protected:
    std::string Logs() const {
        return "run.log:\n" + ReadFileBytes(game->Folder() / "run.log") + "\nupdate.log:\n" +
               ReadFileBytes(game->Folder() / "update.log") + "\noutput:\n" + ReadFileBytes(dir / "launcher.out");
    }

    // Serves the site plainly again and runs the launcher until the update
    // is complete; it must then be whole at the new versions.
    void FinishUpdate() {
        server.Serve(kManifest, 200, SiteFile(kManifest));
        server.Serve(DataPackage(), 200, SiteFile(DataPackage()));
        // The last run's log must not answer for this one.
        fs::remove(game->Folder() / "run.log");
        auto child = Start();
        pid_t pid = -1;
        ASSERT_TRUE(WaitUntil([&] { return UpdatedAndIdle() && (pid = Running()) > 0; }, 60s)) << Logs();
        int status = 0;
        EXPECT_LT(SignalAndWait(*child, pid, SIGTERM, status), kExitBound);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(game->Inconsistency(), "");
        EXPECT_TRUE(WaitUntil([] { return faulttest::LiveChildren().empty(); }, 5s));
    }

    testsupport::TempDir dir;
    testsupport::TestHttpServer server;
    std::unique_ptr<DemoGame> game;
};

// Each row readies the site for a phase and says when the launcher is in it.
struct PhaseRow {
    const char* name;
    void (*prepare)(testsupport::TestHttpServer& server);
    bool (*reached)(const LauncherFault& test, const testsupport::TestHttpServer& server, JournalWatch& journal);
};

class PhaseTest : public LauncherFault, public ::testing::WithParamInterface<PhaseRow> {};

const PhaseRow kSigtermRows[] = {
    {"start", [](testsupport::TestHttpServer&) {},
     [](const LauncherFault&, const testsupport::TestHttpServer&, JournalWatch&) { return true; }},
    {"check",
     [](testsupport::TestHttpServer& s) { s.Stall(kManifest, SiteFile(kManifest), 100); },
     [](const LauncherFault&, const testsupport::TestHttpServer& s, JournalWatch&) {
         return s.WaitForRequests(kManifest, 1);
     }},
    {"download",
     [](testsupport::TestHttpServer& s) { s.Slow(DataPackage(), SiteFile(DataPackage()), 2048, 20ms); },
     [](const LauncherFault&, const testsupport::TestHttpServer& s, JournalWatch&) {
         if (!s.WaitForRequests(DataPackage(), 1)) return false;
         std::this_thread::sleep_for(200ms);  // some of it has arrived
         return true;
     }},
    {"install", [](testsupport::TestHttpServer&) {},
     [](const LauncherFault&, const testsupport::TestHttpServer&, JournalWatch& journal) {
         return journal.Wait(30s);
     }},
    {"idle", [](testsupport::TestHttpServer&) {},
     [](const LauncherFault& t, const testsupport::TestHttpServer&, JournalWatch&) {
         return WaitUntil([&] { return t.UpdatedAndIdle(); }, 60s);
     }},
};

TEST_P(PhaseTest, SigtermEndsTheLauncherWithinASecondAndCorruptsNothing) {
    GetParam().prepare(server);
    JournalWatch journal(game->Folder());
    auto child = Start();
    ASSERT_TRUE(GetParam().reached(*this, server, journal)) << Logs();
    pid_t pid = -1;
    ASSERT_TRUE(WaitUntil([&] { return (pid = Running()) > 0; }, 10s));
    int status = 0;
    const auto took = SignalAndWait(*child, pid, SIGTERM, status);
    EXPECT_LT(took, kExitBound) << took.count() << " ms\n" << Logs();
    // A signal before the launcher set its handler up ends it the default way.
    EXPECT_TRUE(status == 0 || status == 128 + SIGTERM) << status;
    EXPECT_TRUE(WaitUntil([] { return faulttest::LiveChildren().empty(); }, 5s));
    EXPECT_EQ(game->Inconsistency(), "") << game->Versions() << "\n" << Logs();
    FinishUpdate();
}

INSTANTIATE_TEST_SUITE_P(Phases, PhaseTest, ::testing::ValuesIn(kSigtermRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A kill -9 during the download or the install is one of the random
// moments of the update property test (tests/system), which also restarts
// without and with the server.

// Every file under `folder`, by relative path.
std::set<std::string> FilesUnder(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files.insert(fs::relative(entry.path(), folder).string());
    }
    return files;
}

// No server answers, so every start checks, fails and waits to retry; the
// stop comes at a different moment of the start-up each cycle. Regression:
// the first cycle's files were the reference, and a first stop that came
// before the run log existed failed the test.
TEST_F(LauncherFault, AThousandQuickStartsAndStopsLeakNothing) {
    constexpr int kCycles = 1000;
    server.Stop();
    const fs::path idle = dir / "idle";
    game = std::make_unique<DemoGame>(idle, "http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "/");
    // The installation as laid down; the logs are left out of every
    // comparison, since a stop may come before a start has made them.
    const auto withoutLogs = [](std::set<std::string> names) {
        for (const char* log : {"run.log", "update.log"}) names.erase(log);
        return names;
    };
    const std::set<std::string> files = withoutLogs(FilesUnder(idle));
    std::set<std::string> temp;
    const auto start = Clock::now();
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        auto child = Start();
        ASSERT_TRUE(WaitUntil([&] { return Running() == child->Pid(); }, 10s)) << cycle;
        std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 7 * 3));
        int status = 0;
        const auto took = SignalAndWait(*child, child->Pid(), SIGTERM, status);
        ASSERT_TRUE(status == 0 || status == 128 + SIGTERM) << "cycle " << cycle << ": status " << status << "\n" << Logs();
        ASSERT_LT(took, kExitBound) << "cycle " << cycle;
        ASSERT_TRUE(faulttest::LiveChildren().empty()) << "cycle " << cycle;
        if (cycle == 0) temp = FilesUnder(dir / "tmp");
    }
    const auto seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(withoutLogs(FilesUnder(idle)), files);
    EXPECT_EQ(FilesUnder(dir / "tmp"), temp);
    RecordProperty("seconds_per_1000_cycles", std::to_string(seconds));
    std::printf("%d start/stop cycles in %.1f s\n", kCycles, seconds);
}

}  // namespace
