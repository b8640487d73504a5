#include "launcher/MyThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <stdexcept>
#include <thread>

#include "launcher/QuitSignals.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "platform/Window.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"

namespace {

std::atomic<int> gRuns{0};

void CountingProc(LauncherFrameWnd*) { ++gRuns; }

void ThrowingProc(LauncherFrameWnd*) { throw std::runtime_error("disk on fire"); }

class MyThreadTest : public testing::Test {
protected:
    void SetUp() override {
        gRuns = 0;
        WorkerGroup::Instance().ResetForTesting();
        log_ = RunLog::Open((dir_.Path() / "run.log").wstring());
        ASSERT_TRUE(log_);
    }
    void TearDown() override {
        MyThread::SetFailureForTesting(MyThread::Failure::None);
        WorkerGroup::Instance().RequestStop();
        EXPECT_TRUE(WorkerGroup::Instance().WaitForAll(std::chrono::seconds(5)));
        WorkerGroup::Instance().ResetForTesting();
        log_.reset();
    }
    std::string Log() { return testsupport::ReadFileBytes(dir_.Path() / "run.log"); }

    testsupport::TempDir dir_;
    std::unique_ptr<RunLog> log_;
};

TEST_F(MyThreadTest, StartFailuresWriteTheirBareLineAndLeaveNoWorker) {
    const struct {
        MyThread::Failure failure;
        const wchar_t* expectedLine;
    } cases[] = {
        {MyThread::Failure::Create, L"Can't create the update thread!"},
        {MyThread::Failure::Run, L"The UpdateThread run Error!"},
    };
    for (const auto& c : cases) {
        MyThread::SetFailureForTesting(c.failure);
        EXPECT_FALSE(StartWorkerThread(nullptr, &CountingProc, L"Can't create the update thread!",
                                       L"The UpdateThread run Error!"));
        EXPECT_EQ(WorkerGroup::Instance().Running(), 0);
        const std::string expected = ": Error: " + platform::ToUtf8(c.expectedLine) + "\r\n";
        EXPECT_NE(Log().find(expected), std::string::npos) << Log();
    }
    EXPECT_EQ(gRuns.load(), 0);
}

TEST_F(MyThreadTest, AnExceptionInTheWorkerIsLoggedNotFatal) {
    ASSERT_TRUE(StartWorkerThread(nullptr, &ThrowingProc, L"c", L"r"));
    EXPECT_TRUE(WorkerGroup::Instance().WaitForAll(std::chrono::seconds(5)));
    EXPECT_NE(Log().find("Error: "), std::string::npos);
    EXPECT_NE(Log().find("disk on fire"), std::string::npos);
}

// Stands for a library's thread-specific value (wx keeps some): its
// destructor runs when the worker's thread ends, after the MyThread object
// is gone, and takes its time.
pthread_key_t gLibraryKey;
std::atomic<bool> gLibraryValueFreed{false};

void FreeLibraryValue(void*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    gLibraryValueFreed = true;
}

void ProcWithLibraryValue(LauncherFrameWnd*) { pthread_setspecific(gLibraryKey, &gLibraryKey); }

TEST_F(MyThreadTest, TheGroupIsEmptyOnlyOnceTheThreadsLibraryCleanUpIsDone) {
    // Shutdown runs wxUninitialize the moment the group is empty, while wx
    // still runs its own code on a finished worker's thread; a worker that
    // left in its destructor crashed or hung the process at exit.
    ASSERT_EQ(pthread_key_create(&gLibraryKey, &FreeLibraryValue), 0);
    gLibraryValueFreed = false;
    ASSERT_TRUE(StartWorkerThread(nullptr, &ProcWithLibraryValue, L"c", L"r"));
    EXPECT_TRUE(WorkerGroup::Instance().WaitForAll(std::chrono::seconds(10)));
    EXPECT_TRUE(gLibraryValueFreed.load());
    pthread_key_delete(gLibraryKey);
}

TEST(QuitSignalsTest, TerminationSignalPostsTheQuitMessage) {
    // In a freshly started child process (the thread-safe style re-runs the
    // binary for this test alone), so no lock is inherited mid-use. Another
    // thread with the signal unblocked (as library threads have) must not
    // matter: the signal ends the message loop the orderly way, with exit
    // code 0 from the loop, instead of killing the process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(20);  // a regression must fail the test, not hang it
            platform::InitUiThread();
            if (!StartQuitSignalThread()) std::_Exit(2);
            std::thread bystander([] {
                sigset_t all;
                sigemptyset(&all);
                pthread_sigmask(SIG_SETMASK, &all, nullptr);
                pthread_kill(pthread_self(), SIGTERM);  // lands on this thread
            });
            bystander.join();
            const int code = platform::RunMessageLoop();
            StopQuitSignalThread();
            std::_Exit(code == 0 ? 42 : 3);
        },
        testing::ExitedWithCode(42), "");
}

}  // namespace
