#include "launcher/update/UpdateThread.h"

#include <atomic>
#include <mutex>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/MyThread.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "launcher/config/VersionStore.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/ui/UiThreadCall.h"
#include "launcher/update/LivePatchLoader.h"
#include "launcher/update/PatchCallbacks.h"
#include "launcher/update/RetryPacer.h"
#include "launcher/update/UpdateVersionCheck.h"
#include "liveupdate/LivePatch.h"
#include "platform/TickCount.h"
#include "toolkit/ControlUI.h"
#include "toolkit/ProgressUI.h"

namespace {

// The thread's progress, process-wide: one update thread per launcher start.
std::atomic<bool> gCheckDone{false};
std::atomic<bool> gUpdateFinished{false};
std::atomic<std::uint32_t> gCheckTick{0};

std::mutex& PauseMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
RetryPause& PauseHook() {
    static auto* hook = new RetryPause;
    return *hook;
}

bool Pause(RetryPacer& pacer) {
    const std::chrono::milliseconds pause = pacer.NextPause();
    RetryPause hook;
    {
        std::lock_guard lock(PauseMutex());
        hook = PauseHook();
    }
    return hook ? hook(pause) : WorkerGroup::Instance().SleepFor(pause);
}

bool PhaseTimedOut(std::uint32_t since) {
    return platform::TicksBetween(since, platform::GetTickCount()) > kUpdatePhaseLimitMs;
}

void DisableEnterGame() {
    CallOnUiThread([] {
        LauncherFrameWnd* frame = theLauncherFrame;
        if (frame && frame->enterGameBtn) frame->enterGameBtn->SetEnabled(false);
        return true;
    });
}

// The bar full, its label at "100%" and the marker at its end: the check is
// behind the player, and a full bar beside "0%" would contradict itself.
void ShowCheckDone() {
    CallOnUiThread([] {
        LauncherFrameWnd* frame = theLauncherFrame;
        UIUpdateWnd* pane = frame ? frame->updateWnd.get() : nullptr;
        if (!pane) return false;
        pane->SetUpdateProgress(100.0f);
        return true;
    });
}

// The rule for Enter Game must see the thread gone however it ends. The
// mark is cleared on the UI thread, where the server-list thread settles
// the button too, so whichever of the two ends last gives it back.
struct RunningMark {
    LauncherFrameWnd& frame;
    bool giveBack = false;  // the thread ends with Enter Game allowed

    ~RunningMark() {
        const bool give = giveBack;
        CallOnUiThread([give] {
            LauncherFrameWnd* f = theLauncherFrame;
            if (!f) return false;
            f->updateThreadRunning = false;
            if (give && !f->serverListRequest && f->enterGameBtn) f->enterGameBtn->SetEnabled(true);
            return true;
        });
        frame.updateThreadRunning = false;  // also when the UI thread is gone
    }
};

void GiveUp(RunningMark& mark) {
    RUNLOG_ERROR(L"The network is busy,please update again later!");
    mark.frame.updateBusy = false;
    mark.giveBack = true;
}

// The check phase: true once a check succeeded and an update is needed.
// False when the thread is to end.
bool CheckPhase(RunningMark& mark, RetryPacer& pacer, bool& tryAgain) {
    LauncherFrameWnd& frame = mark.frame;
    tryAgain = false;
    if (PhaseTimedOut(frame.readyTick)) {
        GiveUp(mark);
        return false;
    }
    if (!CheckUpdateVersion()) {
        tryAgain = Pause(pacer);
        return false;
    }
    gCheckDone = true;
    gCheckTick = platform::GetTickCount();
    ShowCheckDone();
    if (!frame.updateBusy) {
        RUNLOG_MESSAGE(L"The current is the latest version... ");
        mark.giveBack = true;
        return false;
    }
    RUNLOG_MESSAGE(L"Connect the server and update... ");
    DisableEnterGame();
    return true;
}

// One pass of the download phase; false when the thread is to end.
bool DownloadPass(RunningMark& mark, RetryPacer& pacer) {
    LauncherFrameWnd& frame = mark.frame;
    // A failed install or the all-finished event cleared the flag: there is
    // nothing left to wait for.
    if (gUpdateFinished || !frame.updateBusy) return false;
    if (PhaseTimedOut(gCheckTick)) {
        GiveUp(mark);
        return false;
    }
    LivePatchLoader* loader = frame.livePatchLoader;
    LivePatch* patch = loader ? loader->patch : nullptr;
    if (!patch) return Pause(pacer);
    VersionStore& versions = VersionStore::Instance();
    const bool done = patch->RunPatch(versions.version, versions.lVersion);
    AbandonUnfinishedStage();
    // A failed install gave Enter Game back already; a started self-update
    // is quitting the launcher.
    if (CurrentPatchRun() != PatchRunState::Going) return false;
    if (!done) return Pause(pacer);
    UnloadLivePatch();
    gUpdateFinished = true;
    mark.giveBack = true;
    return false;
}

}  // namespace

void StartUpdateThread(LauncherFrameWnd& window) {
    window.updateThreadRunning = true;
    if (!StartWorkerThread(&window, &UpdateThreadProc, L"Can't create the update thread!",
                           L"The UpdateThread run Error!")) {
        window.updateThreadRunning = false;
    }
}

void UpdateThreadProc(LauncherFrameWnd*) {
    LauncherFrameWnd* frame = theLauncherFrame.load();
    if (!frame) return;
    RunningMark mark{*frame};
    gCheckDone = false;
    gUpdateFinished = false;
    ResetPatchRun();
    if (!WorkerGroup::Instance().WaitUntil([frame] { return frame->windowReady.load(); })) return;

    RetryPacer checkPacer;
    RetryPacer runPacer;
    for (;;) {
        if (WorkerGroup::Instance().ShouldStop()) return;
        RUNLOG_MESSAGE(L"Please later is connect to the server... ");
        if (!gCheckDone) {
            bool tryAgain = false;
            if (!CheckPhase(mark, checkPacer, tryAgain) && !tryAgain) return;
            continue;
        }
        if (!DownloadPass(mark, runPacer)) return;
    }
}

void SignalWindowReady() { WorkerGroup::Instance().Wake(); }

void SetRetryPauseForTesting(RetryPause pause) {
    std::lock_guard lock(PauseMutex());
    PauseHook() = std::move(pause);
}
