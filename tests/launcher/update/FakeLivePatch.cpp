// The fake update library (see FakeLivePatch.h). Compiled twice: once with
// its GetLivePatch export, once without it (FAKE_LIVEPATCH_NO_EXPORT).

#include "launcher/update/FakeLivePatch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "liveupdate/LivePatch.h"

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace {

// A hold that nobody ends gives up after this long, so a broken test never hangs.
constexpr auto kLongestHold = std::chrono::seconds(60);

std::mutex gMutex;
std::condition_variable gChanged;
fakepatch::Script gScript;
fakepatch::Record gRecord;
bool gLetGo = false;
int gRunCalls = 0;

class FakePatch : public LivePatch {
public:
    bool CheckServer(const wchar_t* address, const wchar_t* version) override {
        std::lock_guard lock(gMutex);
        gRecord.checks.emplace_back(address ? address : L"", version ? version : L"");
        if (cancelled_) return false;
        return std::find(gScript.answering.begin(), gScript.answering.end(), std::wstring(address ? address : L"")) !=
               gScript.answering.end();
    }

    bool RunPatch(const std::wstring& dataVersion, const std::wstring& launcherVersion) override {
        fakepatch::Run run;
        {
            std::lock_guard lock(gMutex);
            gRecord.runs.emplace_back(dataVersion, launcherVersion);
            gRecord.callbacksSet = onEvent && onProgress && context1 && context2;
            if (cancelled_ || gScript.runs.empty()) return false;
            run = gScript.runs[std::min<std::size_t>(gRunCalls++, gScript.runs.size() - 1)];
        }
        for (const fakepatch::Step& step : run.steps) {
            if (Cancelled()) return false;
            Play(step);
        }
        return !Cancelled() && run.result;
    }

    std::wstring GetReachedVersion() override {
        std::lock_guard lock(gMutex);
        return reached_;
    }
    std::wstring GetLatestVersion() override {
        std::lock_guard lock(gMutex);
        return gScript.latestData;
    }
    std::wstring GetLatestLauncherVersion() override {
        std::lock_guard lock(gMutex);
        return gScript.latestLauncher;
    }
    std::int32_t GetDownloadSpeed() override {
        std::lock_guard lock(gMutex);
        ++gRecord.speedCalls;
        return 1024;
    }
    void Release() override {
        {
            std::lock_guard lock(gMutex);
            ++gRecord.releases;
        }
        delete this;
    }
    void Cancel() override {
        {
            std::lock_guard lock(gMutex);
            ++gRecord.cancels;
            cancelled_ = true;
        }
        gChanged.notify_all();
    }

private:
    bool Cancelled() {
        std::lock_guard lock(gMutex);
        return cancelled_;
    }

    void Play(const fakepatch::Step& step) {
        using Kind = fakepatch::Step::Kind;
        switch (step.kind) {
            case Kind::Progress: {
                const std::wstring name = step.path.empty() ? std::wstring(L"1.upd") : step.path;
                onEvent(name.c_str(), step.done, step.total, false, context1, false);
                onProgress(context2, step.total, step.done, 0, 0);
                break;
            }
            case Kind::Package:
                onEvent(step.path.c_str(), 0, 0, true, context1, false);
                break;
            case Kind::Stage:
                if (!step.launcherStage) {
                    std::lock_guard lock(gMutex);
                    reached_ = step.reached;
                }
                onEvent(nullptr, 0, 0, false, context1, step.launcherStage);
                break;
            case Kind::AllFinished:
                onEvent(nullptr, 0, 0, true, context1, false);
                break;
            case Kind::Hold: {
                std::unique_lock lock(gMutex);
                gRecord.holding = true;
                gChanged.notify_all();
                gChanged.wait_for(lock, kLongestHold, [this] { return cancelled_ || gLetGo; });
                gRecord.holding = false;
                gRecord.holdEndedByCancel = cancelled_;
                gLetGo = false;
                break;
            }
        }
    }

    bool cancelled_ = false;  // guarded by gMutex
    std::wstring reached_;    // guarded by gMutex
};

}  // namespace

extern "C" FAKE_EXPORT void FakeLivePatchSetScript(const fakepatch::Script& script) {
    std::lock_guard lock(gMutex);
    gScript = script;
    gRecord = {};
    gLetGo = false;
    gRunCalls = 0;
}

extern "C" FAKE_EXPORT fakepatch::Record FakeLivePatchRecord() {
    std::lock_guard lock(gMutex);
    return gRecord;
}

extern "C" FAKE_EXPORT void FakeLivePatchLetGo() {
    {
        std::lock_guard lock(gMutex);
        gLetGo = true;
    }
    gChanged.notify_all();
}

#ifndef FAKE_LIVEPATCH_NO_EXPORT
extern "C" FAKE_EXPORT LivePatch* GetLivePatch() {
    std::lock_guard lock(gMutex);
    if (!gScript.makeObject) return nullptr;
    ++gRecord.objects;
    return new FakePatch;
}
#endif
