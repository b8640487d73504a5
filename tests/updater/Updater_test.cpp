#include "updater/Updater.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/Process.h"
#include "platform/Utf8.h"
#include "updater/LauncherProcesses.h"
#include "updater/ReplaceFiles.h"
#include "updater/UpdaterInstall.h"

namespace {

using namespace updatertest;

// No file of the installation is left half-written beside its target.
bool NoNewFilesLeft(const fs::path& root) {
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.path().string().ends_with(kNewFileSuffix)) return false;
    }
    return true;
}

// Every line the updater added has the run-log line form with its source place.
void ExpectRunLogLineForm(const std::string& log) {
    ASSERT_EQ(log.rfind(kEarlierLine, 0), 0u) << "the launcher's lines stay: " << log;
    std::istringstream lines(log.substr(std::string(kEarlierLine).size()));
    const testsupport::TextPattern form(
        "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: (Error: |Warning: )?[^ ]*updater/[A-Za-z]+\\.cpp\\([0-9]+\\): .+\r");
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) EXPECT_TRUE(form.Matches(line)) << line;
    EXPECT_GT(count, 2);
}

struct RealRunCase {
    const char* name;
    bool launcherRunning;
};

class UpdaterRunTest : public testing::TestWithParam<RealRunCase> {};

// The real program, started as the launcher starts it, on a real (stand-in)
// launcher: it waits for that launcher to end, replaces its files, removes
// the download folder and starts the new launcher.
TEST_P(UpdaterRunTest, ReplacesTheLauncherAndStartsItAgain) {
    UpdaterInstall install;
    if (GetParam().launcherRunning) {
        ASSERT_TRUE(install.StartHeldLauncher());
    }
    const std::wstring parameters = platform::ToWide("\"" + install.Source() + "*" + install.InstallDir());
    ASSERT_TRUE(platform::ShellExecute(platform::ToWide(install.Source() + "launcherupdate.exe"), parameters, L""));

    if (GetParam().launcherRunning) {
        ASSERT_TRUE(WaitFor([&] { return install.Log().find("launcher update from") != std::string::npos; }));
        EXPECT_EQ(ReadFileBytes(install.root() / "launcher"), install.oldLauncher);
        ASSERT_TRUE(install.EndHeldLauncher());
        // Nothing was replaced while it ran.
        EXPECT_NE(install.StandInLog().find("ended, program unchanged"), std::string::npos) << install.StandInLog();
    }
    ASSERT_TRUE(WaitFor([&] { return install.StandInLog().find(std::string("started ") + kNewTag) != std::string::npos; }))
        << install.Log();
    ASSERT_TRUE(WaitFor([&] { return install.Log().find("launcher update done") != std::string::npos; }))
        << install.Log();

    EXPECT_EQ(ReadFileBytes(install.root() / "launcher"), install.newLauncher);
    EXPECT_EQ(UpdaterInstall::Mode(install.root() / "launcher"), 0755u);
    EXPECT_EQ(ReadFileBytes(install.root() / "bt.dat"), "new skin");
    EXPECT_EQ(ReadFileBytes(install.root() / "lib" / "extra.txt"), "a new file");
    EXPECT_EQ(UpdaterInstall::Mode(install.root() / "lib" / "extra.txt"), 0644u);
    EXPECT_EQ(ReadFileBytes(install.root() / "launcherupdate.exe"), ReadFileBytes(UPDATER_PROGRAM));
    // The version the launcher handed over is recorded with the files.
    EXPECT_EQ(ReadFileBytes(install.root() / "version.ini"), "[Version]\r\nVersion=1\r\nLVersion=2.5\r\n");
    EXPECT_FALSE(fs::exists(install.download()));
    EXPECT_TRUE(fs::exists(install.root() / "temp"));
    EXPECT_FALSE(fs::exists(install.root() / "install.journal"));
    EXPECT_TRUE(NoNewFilesLeft(install.root()));
    const std::string log = install.Log();
    EXPECT_EQ(log.find("Error: "), std::string::npos) << log;
    ExpectRunLogLineForm(log);
}

INSTANTIATE_TEST_SUITE_P(Launcher, UpdaterRunTest,
                         testing::Values(RealRunCase{"StillEnding", true}, RealRunCase{"AlreadyGone", false}),
                         [](const testing::TestParamInfo<RealRunCase>& info) { return std::string(info.param.name); });

TEST(Updater, ALauncherThatNeverEndsHasItsFilesReplacedButIsNotStartedTwice) {
    UpdaterInstall install;
    ASSERT_TRUE(install.StartHeldLauncher());
    UpdaterOptions options;
    options.launcherEndLimit = std::chrono::milliseconds(200);
    EXPECT_EQ(RunUpdater({install.Source() + "*" + install.InstallDir()}, options), 1);
    EXPECT_EQ(ReadFileBytes(install.root() / "launcher"), install.newLauncher);
    EXPECT_FALSE(fs::exists(install.download()));
    const std::string log = install.Log();
    EXPECT_TRUE(HasMatch(log, R"(: Error: [^ ]*updater/Updater\.cpp\([0-9]+\): the launcher still)"))
        << log;
    EXPECT_NE(log.find("the launcher still runs after 200 ms"), std::string::npos) << log;
    ASSERT_TRUE(install.EndHeldLauncher());
    // Only the held launcher ever started.
    const std::string standIn = install.StandInLog();
    EXPECT_EQ(standIn.find("started "), standIn.rfind("started ")) << standIn;
}

TEST(Updater, WrongArgumentsChangeNothing) {
    UpdaterInstall install;
    EXPECT_EQ(RunUpdater({}), 2);
    EXPECT_EQ(RunUpdater({install.Source(), install.InstallDir()}), 2);
    EXPECT_EQ(ReadFileBytes(install.root() / "launcher"), install.oldLauncher);
    EXPECT_TRUE(fs::exists(install.package()));
    EXPECT_EQ(install.Log(), kEarlierLine);
}

TEST(Updater, ADownloadFolderOutsideTheInstallationStays) {
    UpdaterInstall install;
    testsupport::TempDir elsewhere;
    fs::create_directories(elsewhere / "pkg" / "1");
    UpdaterInstall::WriteProgram(elsewhere / "pkg" / "1" / "launcher", install.newLauncher);
    EXPECT_EQ(RunUpdater({(elsewhere / "pkg" / "1").string() + "/*" + install.InstallDir()}), 1);
    EXPECT_EQ(ReadFileBytes(install.root() / "launcher"), install.newLauncher);
    EXPECT_TRUE(fs::exists(elsewhere / "pkg" / "1" / "launcher"));
    EXPECT_NE(install.Log().find("is not inside the installation folder"), std::string::npos) << install.Log();
    ASSERT_TRUE(WaitFor([&] { return install.StandInLog().find(kNewTag) != std::string::npos; }));
}

TEST(LauncherProcesses, FindsTheLauncherOfThisInstallationOnly) {
    UpdaterInstall install;
    UpdaterInstall other;
    ASSERT_TRUE(install.StartHeldLauncher());
    const std::string program = install.InstallDir() + kLauncherProgram;
    EXPECT_EQ(ProcessesRunning(program), std::vector<int>{install.heldPid});
    EXPECT_TRUE(ProcessesRunning(other.InstallDir() + kLauncherProgram).empty());
    // Replacing the file under it does not hide it.
    UpdaterInstall::WriteProgram(install.root() / "launcher.next", install.newLauncher);
    fs::rename(install.root() / "launcher.next", install.root() / "launcher");
    EXPECT_EQ(ProcessesRunning(program), std::vector<int>{install.heldPid});
    EXPECT_FALSE(WaitUntilNoneRuns(program, std::chrono::milliseconds(50)));
    install.Release();
    EXPECT_TRUE(WaitUntilNoneRuns(program, std::chrono::seconds(60)));
}

}  // namespace
