#include "launcher/MyThread.h"

#include <atomic>
#include <exception>

#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "platform/MiniDumper.h"
#include "platform/Utf8.h"

namespace {

std::atomic<MyThread::Failure> gFailure{MyThread::Failure::None};

}  // namespace

MyThread::MyThread(LauncherFrameWnd* window, ThreadProc proc)
    : wxThread(wxTHREAD_DETACHED), window_(window), proc_(proc) {
    WorkerGroup::Instance().Enter();
}

MyThread::~MyThread() {
    // The last thing of ours a worker runs: wx deletes a detached thread
    // after its function returned, and the creator deletes one that failed
    // to start. Shutdown may tear wx down once every worker has left.
    WorkerGroup::Instance().Leave();
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
