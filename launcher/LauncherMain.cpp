#include "launcher/LauncherMain.h"

#include <curl/curl.h>
#include <wx/init.h>
#include <wx/socket.h>

#include <chrono>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
#include <memory>

#include <sys/stat.h>

#include "launcher/InstanceLock.h"
#include "launcher/LauncherFrameWnd.h"
#include "launcher/config/VersionStore.h"
#include "launcher/update/SelfUpdate.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/LivePatchLoader.h"
#include "launcher/update/UpdateThread.h"
#include "launcher/QuitSignals.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "platform/Com.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "toolkit/PaintManagerUI.h"

namespace {

// Frees the child windows and the run-log target while the main window still
// exists. Workers are asked to stop and given a bounded time first, so none
// of them can reach a window object after it is freed. Returns whether every
// worker ended.
bool ShutdownChildren(LauncherFrameWnd& frame, int workerStopTimeoutMs) {
    WorkerGroup::Instance().RequestStop();
    // The update library may sit in a transfer: it is told to stop first,
    // so no worker is waited for while it waits on the network.
    CancelLivePatch();
    const bool workersEnded =
        WorkerGroup::Instance().WaitForAll(std::chrono::milliseconds(workerStopTimeoutMs));
    if (!workersEnded) {
        RUNLOG_WARNING(L"worker threads still running at shutdown; the main window is left to the process exit");
        frame.LeaveChildWindowsAllocated();
    }
    // Child windows are destroyed, never deleted: each object frees itself
    // with its window and clears the frame's handle, so nothing is freed
    // twice whether the player or the shutdown closed it first.
    frame.DestroyPopups();
    frame.CloseRunLog();
    frame.DestroyUpdatePane();
    // wx's thread bookkeeping is torn down with the library: a worker still
    // running would use it after it is gone, so wx stays up for the exit.
    if (workersEnded) {
        UnloadLivePatch();
        wxUninitialize();
    }
    return workersEnded;
}

}  // namespace

int LauncherMain(int argc, char** argv, const LaunchOptions& options) {
    // Nothing this launcher or its updater writes into the game may be
    // writable by other users: a world-writable client or library is one
    // any local user could replace.
    ::umask(::umask(0) | 022);
    const std::wstring appDir = platform::GetInstallFolder();
    InstanceLock instanceLock;
    pid_t owner = 0;
    if (instanceLock.Acquire(platform::ToUtf8(appDir), owner) == InstanceLock::Result::HeldByAnother) {
        AskToShowWindow(owner);
        RunLog::AppendLine(appDir + L"run.log", wxLOG_Message,
                           L"another launcher runs in this installation folder; its window is shown and this "
                           L"start ends");
        return 0;
    }

    // SIGINT and SIGTERM get their handler before the backend starts its
    // threads; whichever thread a signal lands on, the handler only wakes the
    // waiting thread, which posts the quit message to the UI thread. SIGUSR1
    // (a second start in this folder) shows the main window.
    SetShowWindowTask([] {
        LauncherFrameWnd* frame = theLauncherFrame;
        if (!frame || !platform::IsWindow(frame->GetHWND())) return;
        platform::ShowWindow(frame->GetHWND(), SW_RESTORE);
        platform::SetWindowPos(frame->GetHWND(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    });
    StartQuitSignalThread();
    const char* backend = platform::StartWindowBackend(options.backend, argc, argv);

    DuiLib::CPaintManagerUI::SetInstance(nullptr);
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath().GetData());
    DuiLib::CPaintManagerUI::SetResourceZip(L"bt.dat");

    if (platform::FAILED(platform::CoInitialize(nullptr))) {
        platform::StopWindowBackend();
        StopQuitSignalThread();
        return 0;
    }

    auto frame = std::make_unique<LauncherFrameWnd>();
    theLauncherFrame = frame.get();

    frame->Create(nullptr, L"Tarno游戏", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 572);
    frame->CenterWindow();
    // An install killed part-way left its journal: put the game back as it
    // was before anything updates it. The journal also covers version.ini,
    // which the window read meanwhile: read again, it names the game that
    // is on disk.
    bool rolledBack = false;
    RollBackInterruptedInstall(frame->config.appDir, &rolledBack);
    if (rolledBack) VersionStore::Instance().Load(VersionStore::Instance().path);
    TakeFailedSelfUpdate(frame->config.appDir);
    if (frame->runLog) RUNLOG_MESSAGE(L"window backend: " + platform::ToWide(backend));

    wxSocketBase::Initialize();
    curl_global_init(CURL_GLOBAL_ALL);
    if (options.startUpdateThread) StartUpdateThread(*frame);

    if (options.onRunning) platform::PostUiTask(options.onRunning);
    DuiLib::CPaintManagerUI::MessageLoop();

    const bool workersEnded = ShutdownChildren(*frame, options.workerStopTimeoutMs);
    theLauncherFrame = nullptr;
    if (workersEnded) {
        frame.reset();
    } else {
        // A worker that ignored the stop request may still hold the frame:
        // leaving it allocated is the only way to rule out a use after free.
        if (platform::IsWindow(frame->GetHWND())) platform::DestroyWindow(frame->GetHWND());
#if defined(__SANITIZE_ADDRESS__)
        __lsan_ignore_object(frame.get());
#endif
        (void)frame.release();
    }
    platform::CoUninitialize();
    // libcurl's and wx's global clean-ups must not run under a transfer
    // that may still be going on; the process exit takes care of both then.
    if (workersEnded) curl_global_cleanup();

    platform::ResetWindowLayer();
    if (workersEnded) platform::StopWindowBackend();
    StopQuitSignalThread();
    return 0;
}
