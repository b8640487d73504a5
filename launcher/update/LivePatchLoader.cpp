#include "launcher/update/LivePatchLoader.h"

#include <dlfcn.h>

#include <mutex>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "liveupdate/LivePatch.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"

namespace {

// Guards the loader's two handles against a Cancel from another thread.
std::mutex& SwapMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

// Caller holds SwapMutex().
void ReleaseHeld(LivePatchLoader& loader) {
    if (loader.patch) {
        loader.patch->Release();
        loader.patch = nullptr;
    }
    if (loader.module) {
        ::dlclose(loader.module);
        loader.module = nullptr;
    }
}

std::wstring LastLoadError() {
    const char* error = ::dlerror();
    return error ? platform::ToWide(error) : std::wstring(L"unknown error");
}

}  // namespace

LivePatchLoader& TheLivePatchLoader() {
    static auto* loader = new LivePatchLoader;
    return *loader;
}

bool LoadLivePatch(LivePatchLoader& loader) {
    std::lock_guard lock(SwapMutex());
    ReleaseHeld(loader);
    const std::string path = platform::ToUtf8(platform::GetInstallFolder() + kLivePatchLibrary);
    loader.module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loader.module) {
        RUNLOG_MESSAGE(L"update library not loaded: " + LastLoadError());
        return false;
    }
    ::dlerror();
    auto getLivePatch = reinterpret_cast<GetLivePatchFn>(::dlsym(loader.module, "GetLivePatch"));
    if (!getLivePatch) {
        RUNLOG_MESSAGE(L"update library not loaded: " + LastLoadError());
        ReleaseHeld(loader);
        return false;
    }
    loader.patch = getLivePatch();
    if (!loader.patch) {
        RUNLOG_MESSAGE(L"update library not loaded: GetLivePatch gave no object");
        ReleaseHeld(loader);
        return false;
    }
    // A shutdown that cancelled before this object existed must still end it.
    if (WorkerGroup::Instance().ShouldStop()) loader.patch->Cancel();
    return true;
}

void UnloadLivePatch() {
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!frame) return;
    LivePatchLoader* loader = frame->livePatchLoader.exchange(nullptr);
    if (!loader) return;
    std::lock_guard lock(SwapMutex());
    ReleaseHeld(*loader);
}

void CancelLivePatch() {
    std::lock_guard lock(SwapMutex());
    if (LivePatch* patch = TheLivePatchLoader().patch) patch->Cancel();
}
