#include "launcher/update/PatchCallbacks.h"

#include <atomic>
#include <cmath>
#include <memory>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/config/VersionStore.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/ui/UiThreadCall.h"
#include "launcher/update/FailedStageRecord.h"
#include "launcher/update/FolderTree.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/InstallProgress.h"
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

// The stage being installed: its journal, begun by its first package and
// committed with the stage's version, and the download folder its packages
// were delivered to. Update thread only.
std::unique_ptr<InstallJournal> gStageJournal;
std::wstring gStageFolder;

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void StopRun(LivePatchLoader& loader, PatchRunState state) {
    gRunState = state;
    if (loader.patch) loader.patch->Cancel();
}

void OnPackage(const wchar_t* path, LivePatchLoader& loader) {
    if (!gStageJournal) gStageJournal = std::make_unique<InstallJournal>();
    gStageFolder = FolderOf(path);
    std::wstring failure;
    const bool installed = InstallPackage(path, *gStageJournal, failure);
    gLastPercent = -1;  // unpacking and installing moved the bar
    if (installed) return;
    // The next check plans around this stage when it can.
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!failure.empty() && frame && !RecordFailedStage(frame->config.appDir, gStageFolder, failure)) {
        RUNLOG_WARNING(L"the failed update stage could not be recorded");
    }
    // The installer has rolled the stage back, logged the failure and given
    // Enter Game back. The rest of this run is of no use: it would only
    // record stages whose files are missing.
    gStageJournal.reset();
    StopRun(loader, PatchRunState::InstallFailed);
}

// Records `key` = `reached` in version.ini inside the stage's journal and
// commits the stage: the game files and the version move together or not
// at all. False after rolling the stage back.
bool CommitStage(const LauncherFrameWnd& frame, const wchar_t* key, const std::wstring& reached) {
    std::unique_ptr<InstallJournal> journal = std::move(gStageJournal);
    if (!journal) journal = std::make_unique<InstallJournal>();
    VersionStore& versions = VersionStore::Instance();
    const bool begun = journal->Active() || journal->Begin(frame.config.appDir);
    if (!begun || !journal->SaveCopy(versions.path) || !versions.SaveKey(key, reached)) {
        journal->RollBack();
        return false;
    }
    return journal->Commit();
}

// The launcher stage's package carries the self-updater: it puts the files
// in place once this launcher has ended and records the launcher version
// itself after its last replacement, so version.ini never names launcher
// files that are not installed.
void HandOverToUpdater(LauncherFrameWnd& frame, LivePatchLoader& loader, const std::wstring& reached) {
    if (SelfUpdateHeldBack()) {
        RUNLOG_WARNING(L"the launcher update to " + reached + L" waits for the next start");
        frame.selfUpdatePending = false;
        return;
    }
    if (!WriteSelfUpdateVersion(frame.updaterSource, reached)) {
        RUNLOG_ERROR(L"can not hand the launcher version " + reached + L" to the launcher updater");
        frame.selfUpdatePending = false;
        return;
    }
    if (StartSelfUpdater(frame)) StopRun(loader, PatchRunState::Quitting);
}

void OnStageFinished(LauncherFrameWnd& frame, LivePatchLoader& loader, bool isLauncherStage) {
    if (!loader.patch) return;
    const std::wstring reached =
        isLauncherStage ? loader.patch->GetLatestLauncherVersion() : loader.patch->GetReachedVersion();
    if (isLauncherStage && frame.selfUpdatePending && !frame.updaterPath.empty()) {
        gStageJournal.reset();  // nothing of the stage was installed here
        HandOverToUpdater(frame, loader, reached);
        gLastPercent = -1;
        return;
    }
    // The stage commits here, on this thread, before anything can stop the
    // launcher. Left to the UI thread, a quit arriving during the install
    // (SIGTERM, a closed window) dropped the save, and the next start
    // patched the new game again as the old one.
    if (!CommitStage(frame, isLauncherStage ? L"LVersion" : L"Version", reached)) {
        RUNLOG_ERROR(L"save version.ini failure!");
        RecordFailedStage(frame.config.appDir, gStageFolder, L"save version.ini failure!");
        GiveBackEnterGame();
        StopRun(loader, PatchRunState::InstallFailed);
        return;
    }
    if (!isLauncherStage) ClearFailedStage(frame.config.appDir);
    if (!gStageFolder.empty() && !RemoveFolderTree(gStageFolder)) {
        RUNLOG_WARNING(L"the download folder " + gStageFolder + L" could not be removed");
    }
    gStageFolder.clear();
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
        StopRun(loader, PatchRunState::Quitting);
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

void AbandonUnfinishedStage() {
    std::unique_ptr<InstallJournal> journal = std::move(gStageJournal);
    gStageFolder.clear();
    if (!journal || !journal->Active()) return;
    // The run ended inside a stage (a later package could not be delivered,
    // or the run was cancelled): the packages installed so far go back.
    RUNLOG_WARNING(L"an update stage ended before its last package; its installed packages were rolled back");
    journal->RollBack();
}

void ResetPatchRun() {
    gRunState = PatchRunState::Going;
    gLastPercent = -1;
}
