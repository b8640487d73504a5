#pragma once

// A detached worker thread that runs one function with the main window. The
// object deletes itself when the function returns; when Create or Run fails
// the creator deletes it. Every MyThread belongs to the WorkerGroup from
// construction until its thread has finished every use of wx (or, one that
// never ran, until it is deleted), so shutdown can wait for it and then tear
// wx down.

#include <wx/thread.h>

class LauncherFrameWnd;

using ThreadProc = void (*)(LauncherFrameWnd* window);

class MyThread : public wxThread {
public:
    MyThread(LauncherFrameWnd* window, ThreadProc proc);
    ~MyThread() override;

    // Test hooks: the next threads fail to be created or to run.
    enum class Failure { None, Create, Run };
    static void SetFailureForTesting(Failure failure);

    wxThreadError Create(unsigned int stackSize = 0);
    wxThreadError Run();

protected:
    ExitCode Entry() override;

private:
    LauncherFrameWnd* window_;
    ThreadProc proc_;
    // Set by Entry; read by the destructor, on the same thread when it ran.
    bool entered_ = false;
};

// Starts `proc` on a new MyThread. On failure writes `createError` or
// `runError` as a bare error line and deletes the thread; false then. UI thread.
bool StartWorkerThread(LauncherFrameWnd* window, ThreadProc proc, const wchar_t* createError,
                       const wchar_t* runError);
