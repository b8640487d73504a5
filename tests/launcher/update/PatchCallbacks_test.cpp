#include "launcher/update/PatchCallbacks.h"

#include <gtest/gtest.h>

#include <cctype>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "launcher/WorkerGroup.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/UpdateRun.h"
#include "platform/Process.h"
#include "launcher/update/ZipBuilder.h"

// What the library's events do to the launcher while a run goes on.

namespace {

using namespace updatetest;

fakepatch::Script Needing(const std::wstring& data, const std::wstring& launcher, std::vector<fakepatch::Step> steps) {
    fakepatch::Script script;
    script.answering = {L"first"};
    script.latestData = data;
    script.latestLauncher = launcher;
    script.runs = {{std::move(steps), true}};
    return script;
}

// Each finished stage is recorded and shown before the next one starts;
// Enter Game comes back only with the end of the work.
TEST_F(UpdateRun, EachStageIsSavedAndShownAsItFinishes) {
    InstallFake(Needing(L"1.1", L"2.1",
                        {Stage(L"1.1"), Simple(Kind::Hold), LauncherStage(), Simple(Kind::Hold),
                         Simple(Kind::AllFinished)}));
    Outcome afterData, afterLauncher, atEnd;
    std::string iniAfterData, iniAfterLauncher;
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(PumpUntilHolding()) << Log();
        afterData = Seen(frame);
        iniAfterData = VersionIni();
        LetGo();
        ASSERT_TRUE(PumpLongUntil([&] { return Record().holding && VersionIni() != iniAfterData; })) << Log();
        afterLauncher = Seen(frame);
        iniAfterLauncher = VersionIni();
        LetGo();
        ASSERT_TRUE(PumpLongUntil([&] { return Settled(frame); })) << Log();
        atEnd = Seen(frame);
    });
    EXPECT_NE(iniAfterData.find("Version=1.1\r\n"), std::string::npos) << iniAfterData;
    EXPECT_NE(iniAfterData.find("LVersion=2.0\r\n"), std::string::npos) << iniAfterData;
    EXPECT_EQ(afterData.versionText, L"1.1");
    EXPECT_FALSE(afterData.buttonEnabled);
    EXPECT_TRUE(afterData.updateBusy);

    EXPECT_NE(iniAfterLauncher.find("Version=1.1\r\n"), std::string::npos) << iniAfterLauncher;
    EXPECT_NE(iniAfterLauncher.find("LVersion=2.1\r\n"), std::string::npos) << iniAfterLauncher;
    EXPECT_EQ(afterLauncher.versionText, L"2.1");
    EXPECT_FALSE(afterLauncher.buttonEnabled);

    EXPECT_EQ(atEnd.versionText, L"1.1");
    EXPECT_EQ(atEnd.progress, 100);
    EXPECT_TRUE(atEnd.buttonEnabled);
    EXPECT_FALSE(atEnd.updateBusy);
    EXPECT_EQ(Record().runs.size(), 1u);
    EXPECT_EQ(Record().releases, Record().objects);  // unloaded after the good run
}

// Regression: a stage finishing while the launcher shuts down (a SIGTERM
// during its install) was installed but not recorded, so the next start
// patched the new game again as the old version.
TEST_F(UpdateRun, AStageFinishedDuringShutdownIsStillRecorded) {
    InstallFake(Needing(L"1.1", L"2.0", {Simple(Kind::Hold), Stage(L"1.1"), Simple(Kind::Hold),
                                          Simple(Kind::AllFinished)}));
    Run([&](LauncherFrameWnd&) {
        ASSERT_TRUE(PumpUntilHolding()) << Log();
        WorkerGroup::Instance().RequestStop();
        LetGo();
        PumpLongUntil([&] { return VersionIni().find("Version=1.1\r\n") != std::string::npos; });
    });
    EXPECT_NE(VersionIni().find("\r\nVersion=1.1\r\n"), std::string::npos) << VersionIni();
    EXPECT_NE(VersionIni().find("LVersion=2.0\r\n"), std::string::npos) << VersionIni();
}

// A package that cannot be installed ends the run: nothing after it is
// recorded, so the next start checks again from what is really installed.
// A stage is one transaction: its second package failing takes the first
// one's files back too, and version.ini keeps naming the game on disk.
TEST_F(UpdateRun, AFailedInstallStopsTheRunAndKeepsTheVersion) {
    Put("game.txt", "old");
    fs::create_directories(dir_.Path() / "dl");
    ASSERT_TRUE(ziptest::WriteZip((dir_.Path() / "dl" / "1.upd").string(), {{"game.txt", "new", 0100644}}));
    Put("dl/2.upd", "no zip archive");
    InstallFake(Needing(L"1.1", L"2.0", {Package(dir_.Path() / "dl" / "1.upd"), Package(dir_.Path() / "dl" / "2.upd"),
                                          Stage(L"1.1"), Simple(Kind::AllFinished)}));
    const std::string before = VersionIni();

    const Outcome seen = RunUntilUpdateEnds();
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "game.txt"), "old");
    EXPECT_FALSE(fs::exists(dir_.Path() / "install.journal"));
    EXPECT_EQ(VersionIni(), before);
    EXPECT_NE(seen.versionText, L"1.1");
    EXPECT_TRUE(seen.buttonEnabled);
    EXPECT_FALSE(seen.updateBusy);
    EXPECT_EQ(Record().runs.size(), 1u);
    EXPECT_GE(Record().cancels, 1);
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, "unzip files failure!"), 1) << log;
    EXPECT_EQ(CountOf(log, kBusy), 0) << log;
}

// Every package of a stage is installed before the stage commits with its
// version; the packages' download folder goes only then (removed after the
// first package, it took the rest of the stage with it).
TEST_F(UpdateRun, AStageOfSeveralPackagesInstallsWholeAndCommitsWithItsVersion) {
    Put("game.txt", "old");
    fs::create_directories(dir_.Path() / "dl");
    ASSERT_TRUE(ziptest::WriteZip((dir_.Path() / "dl" / "1.upd").string(),
                                  {{"game.txt", "first", 0100644}, {"one.txt", "1", 0100644}}));
    ASSERT_TRUE(ziptest::WriteZip((dir_.Path() / "dl" / "2.upd").string(),
                                  {{"game.txt", "second", 0100644}, {"two.txt", "2", 0100644}}));
    InstallFake(Needing(L"1.1", L"2.0", {Package(dir_.Path() / "dl" / "1.upd"), Package(dir_.Path() / "dl" / "2.upd"),
                                          Stage(L"1.1"), Simple(Kind::AllFinished)}));

    const Outcome seen = RunUntilUpdateEnds();
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "game.txt"), "second");
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "one.txt"), "1");
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "two.txt"), "2");
    EXPECT_NE(VersionIni().find("Version=1.1\r\n"), std::string::npos) << VersionIni();
    EXPECT_FALSE(fs::exists(dir_.Path() / "dl"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "install.journal"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "install.journal.done"));
    EXPECT_EQ(seen.versionText, L"1.1");
    EXPECT_EQ(CountOf(Log(), "failure"), 0) << Log();
}

// Byte progress reaches the bar as a whole percentage; an event with no
// total is skipped. Each event also asks the library its speed.
TEST_F(UpdateRun, ByteProgressMovesTheBarAndATotalOfZeroIsSkipped) {
    InstallFake(Needing(L"1.1", L"2.0",
                        {Progress(50, 200), Progress(7, 0), Simple(Kind::Hold), Progress(199, 200),
                         Simple(Kind::Hold), Stage(L"1.1"), Simple(Kind::AllFinished)}));
    int quarter = -1, almost = -1;
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(PumpUntilHolding()) << Log();
        quarter = Seen(frame).progress;
        LetGo();
        ASSERT_TRUE(PumpLongUntil([&] { return Record().holding && Record().speedCalls == 3; })) << Log();
        almost = Seen(frame).progress;
        LetGo();
        ASSERT_TRUE(PumpLongUntil([&] { return Settled(frame); })) << Log();
    });
    EXPECT_EQ(quarter, 25);
    EXPECT_EQ(almost, 99);  // truncated, never rounded up to done
    EXPECT_EQ(Record().speedCalls, 3);
}

// A package that carries the updater has it started at the next finished
// stage, with the folder it came in and the installation, and the
// launcher quits. The launcher version is handed to the updater, which
// records it once the files are in place: version.ini keeps naming the
// launcher that is installed.
TEST_F(UpdateRun, ALauncherPackageHandsOverToTheUpdater) {
    const fs::path package = dir_.Path() / "dl" / "1.upd";
    fs::create_directories(package.parent_path());
    ASSERT_TRUE(ziptest::WriteZip(package.string(), {{"launcherupdate.exe", "updater", 0100755},
                                                     {"launcher", "new launcher", 0100755}}));
    InstallFake(Needing(L"1.0", L"2.1", {Package(package), LauncherStage(), Simple(Kind::AllFinished)}));
    std::vector<std::pair<std::wstring, std::wstring>> started;
    platform::SetLaunchHookForTesting([&](const std::wstring& file, const std::wstring& args, const std::wstring&) {
        started.emplace_back(file, args);
        return true;
    });

    Run([](LauncherFrameWnd&) {}, /*postQuit=*/false);
    const std::wstring appDir = dir_.Folder();
    ASSERT_EQ(started.size(), 1u) << Log();
    EXPECT_EQ(started[0].first, appDir + L"dl/1/launcherupdate.exe");
    EXPECT_EQ(started[0].second, L"\"" + appDir + L"dl/1/*" + appDir);
    EXPECT_EQ(VersionIni().find("LVersion=2.1"), std::string::npos) << VersionIni();
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "dl" / "launcherupdate.version"), "2.1\n");
    // The updater takes its files from there: nothing is installed or removed.
    EXPECT_TRUE(fs::exists(dir_.Path() / "dl" / "1" / "launcher"));
    EXPECT_NE(testsupport::ReadFileBytes(dir_.Path() / "launcher"), "new launcher");
}

// The package event installs through the main window: its run log gets a
// line for every file processed and, from the window's size probe, the
// "no file" line for every folder counted (new or empty ones, which are
// copied whole), none for a folder the game has, which is walked. The
// progress counts a folder as 1.
TEST_F(UpdateRun, APackageFromTheEventIsCountedThroughTheWindowsProbe) {
    Put("kept/old.txt", "old");
    const fs::path package = dir_.Path() / "dl" / "1.upd";
    fs::create_directories(package.parent_path());
    ASSERT_TRUE(ziptest::WriteZip(package.string(), {{"top.txt", "top"},
                                                     {"kept/C.txt", "cc"},
                                                     {"newdir/a.txt", "aaaa"},
                                                     {"emptydir/", "", 040755}}));
    InstallFake(Needing(L"1.1", L"2.0", {Package(package), Stage(L"1.1"), Simple(Kind::AllFinished)}));
    int done = -1;
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(PumpLongUntil([&] { return Settled(frame); })) << Log();
        done = frame.installDone;
    });
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "newdir" / "a.txt"), "aaaa");
    EXPECT_TRUE(fs::is_directory(dir_.Path() / "emptydir"));
    EXPECT_EQ(done, 3 + 2 + 1 + 1);
    const std::string log = Log();
    const std::string root = (dir_.Path() / "dl" / "1").string();
    // The line names the file in lower case, straight after the place's colon.
    for (const char* file : {"top.txt", "kept/C.txt"}) {
        std::string lower = root + "/" + file;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(CountOf(log, "):process file is " + lower + "!"), 1) << file << "\n" << log;
    }
    for (const char* folder : {"newdir", "emptydir"}) {
        const std::string line = "pathList.xml " + root + "/" + folder + " error in update server";
        const std::size_t at = log.find(line);
        ASSERT_NE(at, std::string::npos) << folder << "\n" << log;
        const std::size_t lineStart = log.rfind('\n', at) + 1;
        EXPECT_NE(log.substr(lineStart, at - lineStart).find("HttpTransfer.cpp("), std::string::npos) << log;
    }
    EXPECT_EQ(CountOf(log, "pathList.xml"), 2) << log;
}

// The kind test is case-sensitive: ".UPD" is neither unpacked nor
// installed, and the run goes on.
TEST_F(UpdateRun, AnUpperCaseExtensionIsNeitherUnpackedNorInstalled) {
    const fs::path package = dir_.Path() / "dl" / "2.UPD";
    fs::create_directories(package.parent_path());
    ASSERT_TRUE(ziptest::WriteZip(package.string(), {{"x.txt", "x"}}));
    InstallFake(Needing(L"1.1", L"2.0", {Package(package), Stage(L"1.1"), Simple(Kind::AllFinished)}));
    RunUntilUpdateEnds();
    EXPECT_FALSE(fs::exists(dir_.Path() / "dl" / "2"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "x.txt"));
    EXPECT_NE(VersionIni().find("Version=1.1\r\n"), std::string::npos) << VersionIni();
}

// A game client (a stand-in that sleeps, run as "qx.exe" from the game
// folder) is ended, and gone, before the first change the package makes.
TEST_F(UpdateRun, ARunningClientIsEndedBeforeItsFileIsReplaced) {
    const fs::path client = dir_.Path() / "qx.exe";
    fs::copy_file("/bin/sleep", client, fs::copy_options::overwrite_existing);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(client.c_str(), "qx.exe", "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(PumpLongUntil([&] {
        for (const platform::ProcessInfo& p : platform::ListProcesses())
            if (p.pid == pid && p.exeName == L"qx.exe") return true;
        return false;
    }));
    // Running or sleeping until it is ended; a zombie once it has.
    const auto state = [pid] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        return close == std::string::npos || close + 2 >= line.size() ? 'X' : line[close + 2];
    };
    std::atomic<char> atFirstChange{'?'};
    InstallJournal::SetStepHookForTesting([&](int step) {
        if (step == 0) atFirstChange = state();
        return true;
    });
    const fs::path package = dir_.Path() / "dl" / "3.upd";
    fs::create_directories(package.parent_path());
    ASSERT_TRUE(ziptest::WriteZip(package.string(), {{"qx.exe", "new client", 0100755}}));
    InstallFake(Needing(L"1.1", L"2.0", {Package(package), Stage(L"1.1"), Simple(Kind::AllFinished)}));
    RunUntilUpdateEnds();
    InstallJournal::SetStepHookForTesting(nullptr);
    int status = 0;
    const bool ended = ::waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
    EXPECT_TRUE(ended && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(atFirstChange.load(), 'Z');
    EXPECT_EQ(testsupport::ReadFileBytes(client), "new client");
}

}  // namespace
