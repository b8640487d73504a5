#include "launcher/update/UpdateThread.h"

#include <gtest/gtest.h>

#include "launcher/update/UpdateRun.h"

// The update thread's check phase and retries, on the scripted library.

namespace {

using namespace updatetest;

struct CheckCase {
    const char* name;
    const wchar_t* second;  // UpdateVersionUrl2
    std::vector<std::wstring> answering;
    const wchar_t* latestData;
    const wchar_t* latestLauncher;
    bool downloads;  // the download phase is entered
    std::vector<std::pair<std::wstring, std::wstring>> checks;
};

const CheckCase kChecks[] = {
    {"VersionsEqual", L"", {L"first"}, L"1.0", L"2.0", false, {{L"first", L"1.0"}}},
    {"SecondAddressAnswers", L"second", {L"second"}, L"1.0", L"2.0", false, {{L"first", L"1.0"}, {L"second", L"1.0"}}},
    {"OnlyTheLauncherDiffers", L"", {L"first"}, L"1.0", L"2.1", true, {{L"first", L"1.0"}}},
    {"OnlyTheDataDiffers", L"", {L"first"}, L"1.1", L"2.0", true, {{L"first", L"1.0"}}},
    // Versions have no order: an older server still counts as different.
    {"AnOlderServerStillDiffers", L"", {L"first"}, L"0.9", L"2.0", true, {{L"first", L"1.0"}}},
    {"CaseCounts", L"", {L"first"}, L"1.0", L"2.0 ", true, {{L"first", L"1.0"}}},
};

class CheckTest : public UpdateRun, public testing::WithParamInterface<CheckCase> {};

TEST_P(CheckTest, DecidesWhetherToDownload) {
    const CheckCase& c = GetParam();
    WriteAddresses(L"first", c.second);
    fakepatch::Script script;
    script.answering = c.answering;
    script.latestData = c.latestData;
    script.latestLauncher = c.latestLauncher;
    script.runs = {{{Simple(Kind::AllFinished)}, true}};
    InstallFake(script);

    const Outcome seen = RunUntilUpdateEnds();
    const fakepatch::Record record = Record();
    EXPECT_EQ(record.checks, c.checks);
    EXPECT_EQ(record.runs.size(), c.downloads ? 1u : 0u);
    if (c.downloads) {
        EXPECT_EQ(record.runs[0], std::make_pair(std::wstring(L"1.0"), std::wstring(L"2.0")));
        EXPECT_TRUE(record.callbacksSet);
    }
    EXPECT_TRUE(seen.buttonEnabled);
    EXPECT_FALSE(seen.updateBusy);
    EXPECT_EQ(seen.progress, 100);
    EXPECT_EQ(seen.progressText, L"100%");
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, c.downloads ? kUpdating : kLatest), 1) << log;
    EXPECT_EQ(CountOf(log, c.downloads ? kLatest : kUpdating), 0) << log;
    EXPECT_EQ(CountOf(log, kNoServer), 0) << log;
    EXPECT_TRUE(HasLine(log, std::string(R"(: [^ ]*UpdateThread\.cpp\([0-9]+\): )") + kPlease)) << log;
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckTest, testing::ValuesIn(kChecks),
                         [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

struct MissingCase {
    const char* name;
    const char* library;  // null: no file at all
    bool makeObject;
};

const MissingCase kMissing[] = {
    {"NoLibrary", nullptr, true},
    {"NoExport", FAKE_LIVEUPDATE_NOEXPORT, true},
    {"NoObject", FAKE_LIVEUPDATE, false},
};

class MissingLibraryTest : public UpdateRun, public testing::WithParamInterface<MissingCase> {};

// Without a working library the launcher runs on without updates.
TEST_P(MissingLibraryTest, TheGameMayBeEnteredAtOnce) {
    fakepatch::Script script;
    script.makeObject = GetParam().makeObject;
    script.answering = {L"first"};
    if (GetParam().library) InstallFake(script, GetParam().library);

    const Outcome seen = RunUntilUpdateEnds();
    EXPECT_TRUE(seen.buttonEnabled);
    EXPECT_FALSE(seen.updateBusy);
    EXPECT_EQ(seen.progress, 100);
    EXPECT_EQ(seen.progressText, L"100%");
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, kLatest), 1) << log;
    EXPECT_EQ(CountOf(log, kNoServer), 0) << log;
    EXPECT_TRUE(Record().checks.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, MissingLibraryTest, testing::ValuesIn(kMissing),
                         [](const testing::TestParamInfo<MissingCase>& info) { return std::string(info.param.name); });

// Checks that keep failing are paced, one error line each, until six
// minutes after the window was ready; then the player may play.
TEST_F(UpdateRun, FailingChecksArePacedUntilTheTimeLimit) {
    fakepatch::Script script;  // nobody answers; no second address
    InstallFake(script);

    const Outcome seen = RunUntilUpdateEnds();
    const auto pauses = Pauses();
    const std::size_t checks = Record().checks.size();
    const std::string log = Log();
    ASSERT_GE(pauses.size(), 10u);
    EXPECT_EQ(checks, pauses.size());  // the last pause runs into the limit
    EXPECT_EQ(CountOf(log, kNoServer), static_cast<int>(checks)) << log;
    EXPECT_EQ(CountOf(log, kBusy), 1) << log;
    EXPECT_TRUE(HasLine(log, std::string(R"(: Error: [^ ]*UpdateThread\.cpp\([0-9]+\): )") + kBusy)) << log;
    long long waited = 0;
    for (std::size_t i = 0; i < pauses.size(); ++i) {
        waited += pauses[i].count();
        // 1 s first, doubling up to 30 s, each drawn from the upper quarter.
        const long long nominal = std::min(1000LL << std::min<std::size_t>(i, 5), 30000LL);
        EXPECT_GE(pauses[i].count(), nominal - nominal / 4) << i;
        EXPECT_LE(pauses[i].count(), nominal) << i;
    }
    EXPECT_GT(waited, kUpdatePhaseLimitMs);
    EXPECT_LE(waited - pauses.back().count(), kUpdatePhaseLimitMs);
    EXPECT_TRUE(seen.buttonEnabled);
    EXPECT_FALSE(seen.updateBusy);
    EXPECT_TRUE(Record().runs.empty());
}

// A run that keeps failing is retried the same way, until six minutes
// after the good check.
TEST_F(UpdateRun, FailingRunsArePacedUntilTheTimeLimit) {
    fakepatch::Script script;
    script.answering = {L"first"};
    script.latestData = L"1.1";
    script.latestLauncher = L"2.0";
    script.runs = {{{}, false}};
    InstallFake(script);

    const Outcome seen = RunUntilUpdateEnds();
    const std::size_t runs = Record().runs.size();
    EXPECT_GE(runs, 10u);
    EXPECT_EQ(runs, Pauses().size());
    EXPECT_EQ(Record().checks.size(), 1u);
    EXPECT_EQ(CountOf(Log(), kBusy), 1) << Log();
    EXPECT_TRUE(seen.buttonEnabled);
    EXPECT_FALSE(seen.updateBusy);
    EXPECT_NE(VersionIni().find("Version=1.0\r\n"), std::string::npos);
}

struct RebuildCase {
    const char* name;
    const wchar_t* installed;
    bool answers;
    bool dataRemoved;
};

const RebuildCase kRebuild[] = {
    {"FreshInstallRebuildsData", L"0.0", true, true},
    {"InstalledDataStays", L"1.0", true, false},
    {"NoAnswerKeepsData", L"0.0", false, false},
};

class RebuildTest : public UpdateRun, public testing::WithParamInterface<RebuildCase> {};

// Every check clears what an earlier run left in "temp"; a "0.0"
// installation's data goes on a good check.
TEST_P(RebuildTest, DataAndTempFolders) {
    const RebuildCase& c = GetParam();
    WriteVersions(c.installed, L"2.0");
    Put("data/old.bin", "old");
    Put("temp/1/left.upd", "left");
    fakepatch::Script script;
    if (c.answers) script.answering = {L"first"};
    script.latestData = c.installed;
    script.latestLauncher = L"2.0";
    InstallFake(script);

    RunUntilUpdateEnds();
    EXPECT_FALSE(fs::exists(dir_.Path() / "temp"));
    EXPECT_EQ(fs::exists(dir_.Path() / "data" / "old.bin"), !c.dataRemoved);
}

INSTANTIATE_TEST_SUITE_P(Cases, RebuildTest, testing::ValuesIn(kRebuild),
                         [](const testing::TestParamInfo<RebuildCase>& info) { return std::string(info.param.name); });

// Closing the launcher while the library sits in a long run cancels it:
// the thread ends within the launcher's one-second wait.
TEST_F(UpdateRun, ShutdownDuringALongRunCancelsIt) {
    fakepatch::Script script;
    script.answering = {L"first"};
    script.latestData = L"1.1";
    script.runs = {{{Simple(Kind::Hold), Stage(L"1.1"), Simple(Kind::AllFinished)}, true}};
    InstallFake(script);

    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(PumpUntilHolding()) << Log();
        EXPECT_FALSE(frame.enterGameBtn->IsEnabled());
        EXPECT_TRUE(frame.updateBusy);
    });
    const fakepatch::Record record = Record();
    EXPECT_TRUE(record.holdEndedByCancel);
    EXPECT_GE(record.cancels, 1);
    EXPECT_EQ(record.releases, record.objects);
    const std::string log = Log();
    EXPECT_EQ(log.find("worker threads still running"), std::string::npos) << log;
    EXPECT_NE(VersionIni().find("Version=1.0\r\n"), std::string::npos);
}

}  // namespace
