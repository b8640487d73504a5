// The faults the update property found, each as a named case on the same
// rig: a world of one data stage (and a launcher stage where the fault is
// the self-update's), drawn from a fixed seed, with the one thing that
// broke the engine added to it.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "support/TempDir.h"
#include "system/UpdateRig.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using systemtest::PackageKind;
using systemtest::PlanShape;
using systemtest::UpdateRig;
using testsupport::ReadFileBytes;

constexpr PlanShape kOneUpdStage = {.stages = 1, .packagesPerStage = 1, .full = false, .launcher = false,
                                    .kind = PackageKind::Upd};

// The permission bits as "0755".
std::string Mode(const fs::path& path) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(fs::symlink_status(path).permissions()));
    return text;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// A program of the test's own, started with `argv` (argv[0] may differ from
// the program, as wine's loader shows the game's path there), ended and
// reaped with the object.
class Program {
public:
    Program(const fs::path& program, const std::vector<std::string>& argv) {
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execv(program.c_str(), args.data());
            ::_exit(127);
        }
    }
    ~Program() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // Running, and not only waiting to be reaped.
    bool Alive() const {
        const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid_) + "/stat");
        const std::size_t close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
    }

private:
    pid_t pid_ = -1;
};

// The immutable attribute on a file for the object's lifetime: not even
// root can replace or remove the file meanwhile.
class Immutable {
public:
    explicit Immutable(const fs::path& path) : path_(path) { set_ = Set(true); }
    ~Immutable() {
        if (set_) Set(false);
    }
    bool IsSet() const { return set_; }

private:
    bool Set(bool on) const {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) ::close(fd);
        return ok;
    }
    fs::path path_;
    bool set_ = false;
};

class UpdateRegression : public ::testing::Test {
protected:
    // The world of `shape`, changed by `edit` before it is built.
    void Make(const PlanShape& shape, const std::function<void(systemtest::UpdatePlan&)>& edit = {}) {
        std::mt19937_64 random(kSeed);
        systemtest::UpdatePlan plan = systemtest::GeneratePlan(random, "r", shape);
        if (edit) edit(plan);
        rig = std::make_unique<UpdateRig>(dir.Path(), std::move(plan));
        ASSERT_EQ(rig->Failure(), "");
        ASSERT_TRUE(rig->LayInstallation());
    }
    // Serves the site and runs the launcher until the newest versions are
    // installed and nothing is left to do.
    void RunToTarget(const faulttest::ChildFence& fence = {}) {
        ASSERT_TRUE(rig->StartSite()) << rig->Failure();
        auto launcher = rig->StartLauncher(fence);
        EXPECT_TRUE(rig->WaitForTarget(60s)) << rig->Versions() << "\n" << rig->Logs();
        rig->KillPrograms();
        launcher->Wait(10s);
    }

    static constexpr std::uint64_t kSeed = 28;
    testsupport::TempDir dir;
    std::unique_ptr<UpdateRig> rig;
};

TEST_F(UpdateRegression, AStageOfTwoPackagesInstallsBoth) {
    PlanShape shape = kOneUpdStage;
    shape.packagesPerStage = 2;
    Make(shape);
    RunToTarget();
    EXPECT_EQ(rig->Versions(), rig->TargetVersions());
    EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
}

TEST_F(UpdateRegression, ALauncherFileTheUpdaterCannotReplaceLeavesTheOldLauncherWhole) {
    if (::geteuid() != 0) GTEST_SKIP() << "the immutable attribute needs root (CI runs as root)";
    PlanShape shape = kOneUpdStage;
    shape.launcher = true;
    Make(shape);
    {
        // Every release's launcher program differs, so the updater must
        // replace this one.
        const Immutable stuck(rig->Install() / "launcher");
        ASSERT_TRUE(stuck.IsSet()) << "the file system refuses the immutable attribute";
        ASSERT_TRUE(rig->StartSite()) << rig->Failure();
        auto launcher = rig->StartLauncher();
        // The launcher the failed updater started again ends its own run
        // without starting the updater a second time.
        EXPECT_TRUE(faulttest::WaitUntil(
            [&] {
                const std::string updateLog = ReadFileBytes(rig->Install() / "update.log");
                const std::size_t lastRun = updateLog.rfind("run from data");
                return ReadFileBytes(rig->Install() / "run.log").find("the last launcher update failed") !=
                           std::string::npos &&
                       Count(updateLog, "run from data") >= 2 && updateLog.find("run finished", lastRun) != std::string::npos;
            },
            60s))
            << rig->Logs();
        rig->KillPrograms();
        launcher->Wait(10s);
        // run.log starts afresh with the launcher the updater started again:
        // it tells why the update failed and never hands over a second time.
        const std::string runLog = ReadFileBytes(rig->Install() / "run.log");
        EXPECT_NE(runLog.find("the last launcher update failed (can not replace"), std::string::npos) << runLog;
        EXPECT_EQ(Count(runLog, "launcher updater started"), 0u) << runLog;
        EXPECT_EQ(rig->Versions(), rig->Plan().DataVersion(1) + "/" + rig->Plan().OldLauncher());
        EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
    }
    // The next start tries again, and now nothing stands in the way.
    RunToTarget();
    EXPECT_EQ(rig->Versions(), rig->TargetVersions());
    EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
}

// A stage that fails to install on the player's machine (a file he
// changed, which the stage's delta no longer applies to) is recorded; the
// next start takes the full stage from "*" instead of failing the same way,
// and the game reaches the newest version byte for byte.
TEST_F(UpdateRegression, AFailedStageFallsBackToTheFullStage) {
    PlanShape shape = kOneUpdStage;
    shape.packs = false;  // a full package carries packs whole
    std::mt19937_64 random(kSeed);
    std::string big(64 << 10, '\0');
    for (char& c : big) c = static_cast<char>(random());
    Make(shape, [&](systemtest::UpdatePlan& plan) {
        plan.oldGame.files["big.bin"] = big;
        std::string changed = big;
        changed[1000] = static_cast<char>(changed[1000] ^ 0x55);
        systemtest::GameTree& newest = plan.stages[0].steps.back();
        newest.files["big.bin"] = changed;
        // A full package deletes nothing (it is made for any old version),
        // so this world's stage deletes nothing either.
        for (const auto& [path, bytes] : plan.oldGame.files) newest.files.emplace(path, bytes);
        newest.folders.insert(plan.oldGame.folders.begin(), plan.oldGame.folders.end());
    });
    ASSERT_TRUE(rig->PublishFullStage()) << rig->Failure();
    testsupport::WriteFileBytes(rig->Install() / "big.bin", big + "the player's own bytes");
    ASSERT_TRUE(rig->StartSite()) << rig->Failure();
    {
        auto launcher = rig->StartLauncher();
        EXPECT_TRUE(faulttest::WaitUntil([&] { return fs::exists(rig->Install() / "update.failed"); }, 60s))
            << rig->Logs();
        rig->KillPrograms();
        launcher->Wait(10s);
    }
    EXPECT_EQ(rig->Versions(), rig->Plan().DataVersion(0) + "/" + rig->Plan().OldLauncher());
    EXPECT_NE(ReadFileBytes(rig->Install() / "run.log").find("big.bin"), std::string::npos) << rig->Logs();

    RunToTarget();
    EXPECT_EQ(rig->Versions(), rig->TargetVersions());
    EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
    EXPECT_NE(ReadFileBytes(rig->Install() / "update.log").find("planning around a failed stage"), std::string::npos)
        << rig->Logs();
    EXPECT_FALSE(fs::exists(rig->Install() / "update.failed"));
}

TEST_F(UpdateRegression, AGameFolderOnAnotherFileSystemUpdates) {
    if (const std::string why = faulttest::MountsUnavailable(); !why.empty()) GTEST_SKIP() << why;
    Make(kOneUpdStage);
    std::string linked;
    for (const std::string& folder : rig->Plan().oldGame.folders) {
        if (folder.find('/') == std::string::npos) linked = folder;
    }
    ASSERT_FALSE(linked.empty());
    const fs::path outside = dir / "tmpfs";
    fs::create_directories(outside);
    faulttest::MountSpace space({{faulttest::MountSpace::Mount::Tmpfs, outside, 64 << 20}});
    ASSERT_EQ(space.Failure(), "");
    const faulttest::ChildFence fence{.space = &space};
    // The player moved the folder to the other disk and left a link behind.
    ASSERT_EQ(faulttest::RunFenced(fence,
                                   [&] {
                                       fs::copy(rig->Install() / linked, outside / linked, fs::copy_options::recursive);
                                       fs::remove_all(rig->Install() / linked);
                                       fs::create_directory_symlink(outside / linked, rig->Install() / linked);
                                       return 0;
                                   }),
              0);
    RunToTarget(fence);
    EXPECT_EQ(rig->Versions(), rig->TargetVersions());
    const fs::path report = dir / "difference.txt";
    ASSERT_EQ(faulttest::RunFenced(fence,
                                   [&] {
                                       std::string text = rig->DifferenceFromNamedVersions();
                                       if (!fs::is_symlink(rig->Install() / linked)) text += linked + " is no link now\n";
                                       testsupport::WriteFileBytes(report, text.empty() ? "same" : text);
                                       return 0;
                                   }),
              0);
    EXPECT_EQ(ReadFileBytes(report), "same") << rig->Logs();
}

TEST_F(UpdateRegression, AWorldWritableEntryIsInstalledWithoutWriteBitsForOthers) {
    Make(kOneUpdStage, [](systemtest::UpdatePlan& plan) {
        constexpr auto kOpen = fs::perms::all;
        systemtest::GameTree& target = plan.stages[0].steps.back();
        target.files["wide-open.sh"] = "#!/bin/sh\nexit 0\n";
        target.folders.insert("wide-open");
        target.modes = {{"wide-open.sh", kOpen}, {"wide-open", kOpen}};
    });
    const std::string warnings = rig->PackageWarnings(1, 1);
    EXPECT_EQ(Count(warnings, "wide-open.sh"), 1u) << warnings;
    RunToTarget();
    EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
    for (const char* name : {"wide-open.sh", "wide-open"}) {
        EXPECT_EQ(Mode(rig->Install() / name), "0755") << name;
    }
    const auto others = fs::perms::group_write | fs::perms::others_write;
    for (const auto& entry : fs::recursive_directory_iterator(rig->Install())) {
        if (!entry.is_symlink() && (entry.status().permissions() & others) != fs::perms::none) {
            ADD_FAILURE() << entry.path() << " is writable by others: " << Mode(entry.path());
        }
    }
}

TEST_F(UpdateRegression, ASecondLauncherInTheSameFolderLeavesTheInstallAlone) {
    Make(kOneUpdStage);
    // A launcher of another installation runs all along; it checks a
    // closed port and waits.
    const fs::path other = dir / "other";
    fs::copy(rig->Install(), other, fs::copy_options::recursive);
    faulttest::ChildProcess otherLauncher(other / "launcher", other, {"TMPDIR=" + dir.Path().string()},
                                          dir / "other.out");
    ASSERT_TRUE(rig->StartSite()) << rig->Failure();
    auto first = rig->StartLauncher();
    // The second comes during the install, or after it when it was too
    // quick to be seen; the first launcher runs on either way.
    faulttest::WaitUntil(
        [&] { return fs::exists(rig->Install() / "install.journal") || rig->Versions() == rig->TargetVersions(); },
        60s);
    auto second = rig->StartLauncher({}, true);
    EXPECT_EQ(second->Wait(10s), 0) << rig->Logs();
    EXPECT_NE(ReadFileBytes(rig->Install() / "run.log").find("another launcher runs in this installation folder"),
              std::string::npos)
        << rig->Logs();
    EXPECT_TRUE(rig->WaitForTarget(60s)) << rig->Logs();
    rig->KillPrograms();
    first->Wait(10s);
    EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
    EXPECT_EQ(otherLauncher.Wait(0ms), -1) << "the other installation's launcher ended: " << ReadFileBytes(other / "run.log");
    EXPECT_EQ(ReadFileBytes(other / "run.log").find("another launcher"), std::string::npos);
}

TEST_F(UpdateRegression, AClientOfAnotherInstallationKeepsRunning) {
    Make(kOneUpdStage);
    // Clients are stand-ins that only wait: a copy of sleep named qx.exe,
    // and one started as wine starts the game (its loader's own name, the
    // game's path as its first argument).
    const fs::path other = dir / "other-game";
    fs::create_directories(other);
    fs::copy_file("/bin/sleep", other / "qx.exe");
    fs::copy_file("/bin/sleep", other / "wine-preloader");
    fs::copy_file("/bin/sleep", rig->Install() / "qx.exe", fs::copy_options::overwrite_existing);
    const Program otherClient(other / "qx.exe", {(other / "qx.exe").string(), "300"});
    const Program otherWineClient(other / "wine-preloader", {(other / "qx.exe").string(), "300"});
    const Program ownClient(rig->Install() / "qx.exe", {(rig->Install() / "qx.exe").string(), "300"});
    ASSERT_TRUE(otherClient.Alive() && otherWineClient.Alive() && ownClient.Alive());
    ASSERT_TRUE(rig->StartSite()) << rig->Failure();
    auto launcher = rig->StartLauncher();
    EXPECT_TRUE(rig->WaitForTarget(60s)) << rig->Versions() << "\n" << rig->Logs();
    // Looked at before the test ends the installation's programs itself.
    EXPECT_FALSE(ownClient.Alive()) << "this installation's client runs on";
    rig->KillPrograms();
    launcher->Wait(10s);
    EXPECT_EQ(rig->DifferenceFromNamedVersions(), "") << rig->Logs();
    EXPECT_TRUE(otherClient.Alive()) << "the other installation's client was ended";
    EXPECT_TRUE(otherWineClient.Alive()) << "the other installation's client under wine was ended";
}

}  // namespace
