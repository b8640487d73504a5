#include "launcher/MyThread.h"

#include <pthread.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "platform/MiniDumper.h"
#include "platform/Utf8.h"

namespace {

std::atomic<MyThread::Failure> gFailure{MyThread::Failure::None};

// A worker that ran leaves the group from here, not from ~MyThread: after
// the destructor wx still runs its own code on the thread (~wxThread, its
// deletion bookkeeping under a wx mutex, pthread_exit's unwind, then its
// thread-specific values' destructors), and shutdown tears that bookkeeping
// down with wxUninitialize once the group is empty. The C library calls the
// destructors of thread-specific values in up to PTHREAD_DESTRUCTOR_ITERATIONS
// rounds, again only for values set anew; re-arming the value postpones the
// leave past every library's ordinary destructor. It leaves one round before
// the last, which the sanitizer runtimes keep for their own thread teardown.
void LeaveGroupAtThreadExit(void* value);

pthread_key_t GroupExitKey() {
    static const pthread_key_t key = [] {
        pthread_key_t made{};
        if (pthread_key_create(&made, &LeaveGroupAtThreadExit) != 0) std::abort();
        return made;
    }();
    return key;
}

void LeaveGroupAtThreadExit(void* value) {
    const auto round = reinterpret_cast<std::uintptr_t>(value);
    if (round + 1 < PTHREAD_DESTRUCTOR_ITERATIONS &&
        pthread_setspecific(GroupExitKey(), reinterpret_cast<void*>(round + 1)) == 0) {
        return;
    }
    WorkerGroup::Instance().Leave();
}

}  // namespace

MyThread::MyThread(LauncherFrameWnd* window, ThreadProc proc)
    : wxThread(wxTHREAD_DETACHED), window_(window), proc_(proc) {
    WorkerGroup::Instance().Enter();
}

MyThread::~MyThread() {
    // The creator deletes a thread that failed to start: it leaves here. One
    // that ran is deleted by wx on its own thread and leaves at thread exit.
    if (!entered_) WorkerGroup::Instance().Leave();
}

void MyThread::SetFailureForTesting(Failure failure) { gFailure = failure; }

wxThreadError MyThread::Create(unsigned int stackSize) {
    if (gFailure == Failure::Create) return wxTHREAD_NO_RESOURCE;
    // A run failure is simulated without a real thread: wx cannot delete a
    // created thread that never ran.
    if (gFailure == Failure::Run) return wxTHREAD_NO_ERROR;
    return wxThread::Create(stackSize);
}

wxThreadError MyThread::Run() {
    if (gFailure == Failure::Run) return wxTHREAD_RUNNING;
    return wxThread::Run();
}

wxThread::ExitCode MyThread::Entry() {
    // Armed before anything can fail: from here on the thread leaves the
    // group when it ends. A thread that cannot arm it leaves from ~MyThread.
    entered_ = pthread_setspecific(GroupExitKey(), reinterpret_cast<void*>(1)) == 0;
    platform::MiniDumper::PrepareThread();
    RunLogAttachCurrentThread();
    // Exceptions never cross the thread's entry: they are logged, and the
    // worker ends as if its function had returned.
    try {
        if (!WorkerGroup::Instance().ShouldStop()) proc_(window_);
    } catch (const std::exception& e) {
        RUNLOG_ERROR(L"worker thread ended by an exception: " + platform::ToWide(e.what()));
    } catch (...) {
        RUNLOG_ERROR(L"worker thread ended by an unknown exception");
    }
    return static_cast<ExitCode>(window_);
}

bool StartWorkerThread(LauncherFrameWnd* window, ThreadProc proc, const wchar_t* createError,
                       const wchar_t* runError) {
    auto* thread = new MyThread(window, proc);
    if (thread->Create(0) != wxTHREAD_NO_ERROR) {
        RunLogBareError(createError);
        delete thread;
        return false;
    }
    if (thread->Run() != wxTHREAD_NO_ERROR) {
        RunLogBareError(runError);
        delete thread;
        return false;
    }
    return true;
}
