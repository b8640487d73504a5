#include "launcher/update/PatchCallbacks.h"

#include <atomic>
#include <cmath>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/config/VersionStore.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/ui/UiThreadCall.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/LivePatchLoader.h"
#include "launcher/update/SelfUpdate.h"
#include "liveupdate/LivePatch.h"
#include "platform/Window.h"
#include "toolkit/ControlUI.h"

namespace {

std::atomic<PatchRunState> gRunState{PatchRunState::Going};
// The whole percent last sent to the bar by byte progress; -1 after
// anything else moved the bar, so the next value is always shown.
std::atomic<int> gLastPercent{-1};

// Byte progress is frequent: the bar is only sent whole percents that
// differ from the last one, without waiting for the UI thread.
void ShowDownloadPercent(double done, double total) {
    const int percent = static_cast<int>(std::trunc(done / total * 100.0));
    if (gLastPercent.exchange(percent) == percent) return;
    platform::PostUiTask([percent] {
        LauncherFrameWnd* frame = theLauncherFrame;
        if (frame && frame->updateWnd) frame->updateWnd->SetUpdateProgress(static_cast<float>(percent));
    });
}

void ShowVersion(LauncherFrameWnd& frame, const std::wstring& version) {
    if (!frame.updateWnd) return;
    if (DuiLib::CControlUI* label = frame.updateWnd->CurVersionTxt()) label->SetText(version.c_str());
}

void OnPackage(const wchar_t* path, LivePatchLoader& loader) {
    const bool installed = InstallPackage(path);
    gLastPercent = -1;  // unpacking and installing moved the bar
    if (installed) return;
    // The installer has logged the failure and given Enter Game back. The
    // rest of this run is of no use: it would only record stages whose
    // files are missing.
    gRunState = PatchRunState::InstallFailed;
    if (loader.patch) loader.patch->Cancel();
}

void OnStageFinished(LauncherFrameWnd& frame, LivePatchLoader& loader, bool isLauncherStage) {
    if (!loader.patch) return;
    const std::wstring reached =
        isLauncherStage ? loader.patch->GetLatestLauncherVersion() : loader.patch->GetReachedVersion();
    // The stage is installed: version.ini follows it here, on this thread,
    // before anything can stop the launcher. Left to the UI thread, a quit
    // arriving during the install (SIGTERM, a closed window) dropped the
    // save, and the next start patched the new game again as the old one.
    if (!VersionStore::Instance().SaveKey(isLauncherStage ? L"LVersion" : L"Version", reached)) {
        RUNLOG_ERROR(L"save version.ini failure!");
    }
    // The store's fields are read by the UI thread too, so they change only there.
    const bool recorded = CallOnUiThread([reached, isLauncherStage] {
        LauncherFrameWnd* f = theLauncherFrame;
        if (!f) return false;
        VersionStore& versions = VersionStore::Instance();
        (isLauncherStage ? versions.lVersion : versions.version) = reached;
        ShowVersion(*f, reached);
        return true;
    });
    gLastPercent = -1;
    if (!recorded) return;  // shutting down
    if (frame.selfUpdatePending && !frame.updaterPath.empty() && StartSelfUpdater(frame)) {
        // The launcher is quitting: nothing more of this run is wanted.
        gRunState = PatchRunState::Quitting;
        if (loader.patch) loader.patch->Cancel();
    }
}

void OnAllFinished(LauncherFrameWnd& frame) {
    frame.updateBusy = false;
    CallOnUiThread([] {
        LauncherFrameWnd* f = theLauncherFrame;
        if (!f) return false;
        if (f->updateWnd) f->updateWnd->SetUpdateProgress(100.0f);
        ShowVersion(*f, VersionStore::Instance().version);
        // A list still being fetched gives the button back when it ends.
        if (f->enterGameBtn && !f->serverListRequest) f->enterGameBtn->SetEnabled(true);
        return true;
    });
    gLastPercent = -1;
}

}  // namespace

int OnPatchProgress(void*, double downloadTotal, double downloaded, double, double) {
    // Also refuses a NaN total.
    if (!(downloadTotal > 0.0)) return 0;
    if (gRunState != PatchRunState::Going || !theLauncherFrame.load()) return 0;
    ShowDownloadPercent(downloaded, downloadTotal);
    return 0;
}

void OnPatchEvent(const wchar_t* path, std::int32_t done, std::int32_t total, bool isFileEvent, void* context,
                  bool isLauncherStage) {
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!context || !frame) return;
    if (gRunState != PatchRunState::Going) return;
    auto& loader = *static_cast<LivePatchLoader*>(context);
    if (path && isFileEvent) {
        OnPackage(path, loader);
    } else if (path) {
        if (loader.patch) (void)loader.patch->GetDownloadSpeed();
        if (total > 0) ShowDownloadPercent(static_cast<double>(done), static_cast<double>(total));
    } else if (!isFileEvent) {
        OnStageFinished(*frame, loader, isLauncherStage);
    } else {
        OnAllFinished(*frame);
    }
}

PatchRunState CurrentPatchRun() { return gRunState; }

void ResetPatchRun() {
    gRunState = PatchRunState::Going;
    gLastPercent = -1;
}
