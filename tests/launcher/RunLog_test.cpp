#include "launcher/RunLog.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "support/TextPattern.h"

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no CRLF>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class RunLogTest : public testing::Test {
protected:
    void SetUp() override { RunLog::SetClockForTesting([] { return At(2018, 5, 7, 9, 3, 0); }); }
    void TearDown() override { RunLog::SetClockForTesting(nullptr); }

    std::wstring LogPath() const { return (dir / "run.log").wstring(); }
    std::string Contents() const { return testsupport::ReadFileBytes(dir / "run.log"); }

    testsupport::TempDir dir;
};

TEST_F(RunLogTest, EveryWayOfLoggingGivesTheExactLine) {
    struct Case {
        const char* name;
        std::function<void()> log;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"wxLogError", [] { wxLogError("Can't create the update thread!"); },
         "2018-05-07 09:03:00: Error: Can't create the update thread!"},
        {"wxLogWarning", [] { wxLogWarning("disk nearly full"); }, "2018-05-07 09:03:00: Warning: disk nearly full"},
        {"wxLogMessage", [] { wxLogMessage("launcher Init!"); }, "2018-05-07 09:03:00: launcher Init!"},
        {"bare error", [] { RunLogBareError(L"The UpdateThread run Error!"); },
         "2018-05-07 09:03:00: Error: The UpdateThread run Error!"},
        {"bare message", [] { RunLogBareMessage(L"download ok"); }, "2018-05-07 09:03:00: download ok"},
        {"placed error", [] { RunLogError("src/a.cpp", 12, L"load qx.ini error"); },
         "2018-05-07 09:03:00: Error: src/a.cpp(12): load qx.ini error"},
        {"placed warning", [] { RunLogWarning("b.cpp", 3, L"slow"); }, "2018-05-07 09:03:00: Warning: b.cpp(3): slow"},
        {"placed message", [] { RunLogMessage("c.cpp", 7, L"finish  launcher OnPrepare!"); },
         "2018-05-07 09:03:00: c.cpp(7): finish  launcher OnPrepare!"},
        {"percent through wx", [] { wxLogError("%s", "100%s done %d"); }, "2018-05-07 09:03:00: Error: 100%s done %d"},
        {"percent placed", [] { RunLogMessage("d.cpp", 1, L"50% of %s"); }, "2018-05-07 09:03:00: d.cpp(1): 50% of %s"},
        {"chinese text", [] { RunLogMessage("e.cpp", 2, L"路径 C:/游戏/qx.ini"); },
         "2018-05-07 09:03:00: e.cpp(2): 路径 C:/游戏/qx.ini"},
        {"embedded line feed", [] { RunLogBareMessage(L"one\ntwo"); }, "2018-05-07 09:03:00: one\r\ntwo"},
    };
    for (const auto& c : cases) {
        auto log = RunLog::Open(LogPath());
        ASSERT_NE(log, nullptr);
        c.log();
        const std::string contents = Contents();
        const std::size_t firstEnd = contents.find("\r\n");
        ASSERT_NE(firstEnd, std::string::npos) << c.name;
        EXPECT_EQ(contents.substr(firstEnd + 2), c.expected + "\r\n") << c.name;
    }
}

TEST_F(RunLogTest, SecondLaunchLeavesOnlyItsOwnLines) {
    {
        auto first = RunLog::Open(LogPath());
        ASSERT_NE(first, nullptr);
        RunLogBareError(L"first launch line");
    }
    EXPECT_FALSE(RunLogIsOpen());
    RUNLOG_ERROR(L"between launches");  // no log open: dropped
    auto second = RunLog::Open(LogPath());
    ASSERT_NE(second, nullptr);
    RunLogBareError(L"second launch line");
    const std::string contents = Contents();
    EXPECT_EQ(contents.find("first launch line"), std::string::npos);
    EXPECT_EQ(contents.find("between launches"), std::string::npos);
    const auto lines = Lines(contents);
    ASSERT_EQ(lines.size(), 2u);
    // Every field of the time stamp is zero-padded (the test clock's month,
    // day, hour, minute and second are single digits).
    EXPECT_TRUE(testsupport::TextPattern(R"(2018-05-07 09:03:00: .*RunLog\.cpp\([0-9]+\): launcher started!)").Matches(lines[0]))
        << lines[0];
    EXPECT_EQ(lines[1], "2018-05-07 09:03:00: Error: second launch line");
}

TEST_F(RunLogTest, UncreatableFileMeansNoLogAndPlacedLinesDropped) {
    auto log = RunLog::Open((dir / "missing-folder" / "run.log").wstring());
    EXPECT_EQ(log, nullptr);
    EXPECT_FALSE(RunLogIsOpen());
    RUNLOG_ERROR(L"nowhere to go");  // must neither crash nor create anything
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

TEST_F(RunLogTest, WorkerThreadLinesAreWrittenAtOnce) {
    auto log = RunLog::Open(LogPath());
    ASSERT_NE(log, nullptr);
    std::thread worker([] {
        RunLogAttachCurrentThread();
        wxLogWarning("from worker %d", 7);
        RunLogError("w.cpp", 9, L"placed from worker");
    });
    worker.join();
    // No flush by the UI thread: the lines must already be in the file.
    const auto lines = Lines(Contents());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "2018-05-07 09:03:00: Warning: from worker 7");
    EXPECT_EQ(lines[2], "2018-05-07 09:03:00: Error: w.cpp(9): placed from worker");
}

TEST_F(RunLogTest, ConcurrentThreadsNeverMixLines) {
    auto log = RunLog::Open(LogPath());
    ASSERT_NE(log, nullptr);
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            RunLogAttachCurrentThread();
            const std::wstring filler(200, static_cast<wchar_t>(L'a' + t));
            for (int i = 0; i < kLinesEach; ++i) {
                if (i % 2 == 0) {
                    RunLogMessage("t.cpp", t, filler);
                } else {
                    wxLogMessage("%s", wxString(filler));
                }
            }
        });
    }
    for (auto& th : threads) th.join();

    const auto lines = Lines(Contents());
    ASSERT_EQ(lines.size(), 1u + kThreads * kLinesEach);
    const testsupport::TextPattern form(R"(2018-05-07 09:03:00: (t\.cpp\([0-9]\): )?([a-d])\2{199})");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ASSERT_TRUE(form.Matches(lines[i])) << "line " << i << ": " << lines[i];
    }
}

}  // namespace
