#include "launcher/update/UpdateVersionCheck.h"

#include <filesystem>
#include <system_error>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "launcher/config/VersionStore.h"
#include "launcher/update/FolderTree.h"
#include "launcher/update/LivePatchLoader.h"
#include "launcher/update/PatchCallbacks.h"
#include "liveupdate/LivePatch.h"
#include "platform/Utf8.h"

namespace {

// A fresh install (or one whose data must be rebuilt) announces itself so.
constexpr wchar_t kRebuildVersion[] = L"0.0";

bool FolderExists(const std::wstring& path) {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(platform::ToUtf8(path)), ec);
}

bool AskServer(LivePatchLoader& loader, const std::wstring& address, const std::wstring& version) {
    if (!loader.patch->CheckServer(address.c_str(), version.c_str())) return false;
    loader.serverAddress = address;
    loader.version = version;
    return true;
}

}  // namespace

bool CheckUpdateVersion() {
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!frame) return false;
    const std::wstring& appDir = frame->config.appDir;
    // What an earlier run downloaded is never trusted again.
    if (FolderExists(appDir + L"temp")) RemoveFolderTree(appDir + L"temp");

    LivePatchLoader& loader = TheLivePatchLoader();
    frame->livePatchLoader = &loader;
    // The versions stay put during the check: the UI thread writes them
    // only from the update thread's own stage events.
    const VersionStore& versions = VersionStore::Instance();
    if (LoadLivePatch(loader)) {
        const std::wstring& url2 = frame->config.updateVersionUrl2;
        const bool answered = AskServer(loader, frame->config.updateVersionUrl1, versions.version) ||
                              (!url2.empty() && AskServer(loader, url2, versions.version));
        if (!answered) {
            // A check cut short by shutdown is no server failure.
            if (!WorkerGroup::Instance().ShouldStop()) {
                RUNLOG_ERROR(L"can not connect update server! may be update server not open! ");
            }
            return false;
        }
        frame->updateBusy = versions.version != loader.patch->GetLatestVersion() ||
                            versions.lVersion != loader.patch->GetLatestLauncherVersion();
    }

    if (versions.version == kRebuildVersion && FolderExists(appDir + L"data")) RemoveFolderTree(appDir + L"data");

    if (LivePatch* patch = loader.patch) {
        patch->context1 = &loader;
        patch->context2 = frame;
        patch->onEvent = &OnPatchEvent;
        patch->onProgress = &OnPatchProgress;
    }
    return true;
}
