#pragma once

// One RunPatch: the plan's packages fetched into the cache folder, each
// stage's packages moved to temp/<S>/<N>.<ext> once all of them are
// verified, and the launcher's events raised in the protocol's order: byte
// progress while a stage downloads, one package event per package, the
// stage-finished event, and after the last stage the all-finished event. A
// stage is handed over only whole, so a failed run never leaves half a
// stage installed by a download that broke. Runs on the caller's (the
// launcher's update) thread; the callbacks are called there.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "liveupdate/LivePatch.h"
#include "liveupdate/ProgressMeter.h"
#include "liveupdate/UpdatePlan.h"

class CancelToken;
class PackageFetcher;
class UpdateLog;

// What the launcher wrote into the object, read once per run.
struct PatchCallbacks {
    LivePatchEventFn onEvent = nullptr;
    LivePatchProgressFn onProgress = nullptr;
    void* context1 = nullptr;
    void* context2 = nullptr;
};

class PatchRun {
public:
    // The folder under the installation folder where packages download.
    static constexpr const char* kCacheFolder = "updatecache";

    PatchRun(const std::filesystem::path& installFolder, UpdateLog& log, CancelToken& cancel,
             PackageFetcher& fetcher, const PatchCallbacks& callbacks);

    // `baseUrls`: the manifest's folder, then the mirrors. `reached` moves
    // to each data stage's version just before its stage-finished event.
    // True after the all-finished event; false (logged) when a package
    // cannot be fetched or moved, or on cancel.
    bool Run(const UpdatePlan& plan, const std::vector<std::string>& baseUrls, std::string& reached);

private:
    struct Fetched {
        std::filesystem::path cache;
        std::filesystem::path target;
    };

    void DropStaleCache(const UpdatePlan& plan);
    bool FetchStage(const PublishedStage& stage, std::size_t stageNumber, const std::vector<std::string>& baseUrls,
                    std::vector<Fetched>& fetched);
    bool FetchOne(const PublishedPackage& package, const std::vector<std::string>& baseUrls,
                  const std::filesystem::path& cache, const std::wstring& target);
    bool DeliverStage(const PublishedStage& stage, std::size_t stageNumber, const std::vector<Fetched>& fetched);
    void ReportBytes(const std::wstring& target, std::uint64_t done);
    // Raises an event unless the run was cancelled (or `evenIfCancelled`:
    // the rest of a stage being handed over); false when it was not raised.
    bool Raise(const wchar_t* path, bool isFileEvent, bool isLauncherStage, bool evenIfCancelled = false);

    std::filesystem::path installFolder_;
    std::filesystem::path cacheFolder_;
    UpdateLog& log_;
    CancelToken& cancel_;
    PackageFetcher& fetcher_;
    PatchCallbacks callbacks_;
    ProgressMeter meter_{0};
    std::uint64_t doneBytes_ = 0;  // bytes of the plan's packages already complete
    std::uint64_t serial_ = 0;     // of the manifest the plan comes from
};
