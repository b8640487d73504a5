#include "liveupdate/PatchRun.h"

#include <fstream>
#include <set>
#include <system_error>

#include "liveupdate/CancelToken.h"
#include "liveupdate/FailedStage.h"
#include "liveupdate/PackageFetcher.h"
#include "liveupdate/UpdateLog.h"
#include "liveupdate/WideText.h"

namespace fs = std::filesystem;

namespace {

// The cache names a package by its content, so a partial download resumes
// whichever stage or manifest it comes back in.
std::string CacheName(const PublishedPackage& package) { return HexOf(package.sha256) + ".part"; }

std::string Extension(const std::string& name) { return name.substr(name.size() - 3); }

std::uint64_t PlanBytes(const UpdatePlan& plan) {
    std::uint64_t total = 0;
    for (const PublishedStage& stage : plan.stages) {
        for (const PublishedPackage& package : stage.packages) total += package.size;
    }
    return total;
}

}  // namespace

PatchRun::PatchRun(const fs::path& installFolder, UpdateLog& log, CancelToken& cancel, PackageFetcher& fetcher,
                   const PatchCallbacks& callbacks)
    : installFolder_(installFolder),
      cacheFolder_(installFolder / kCacheFolder),
      log_(log),
      cancel_(cancel),
      fetcher_(fetcher),
      callbacks_(callbacks) {}

bool PatchRun::Run(const UpdatePlan& plan, const std::vector<std::string>& baseUrls, std::string& reached) {
    meter_ = ProgressMeter(PlanBytes(plan));
    serial_ = plan.serial;
    doneBytes_ = 0;
    DropStaleCache(plan);
    for (std::size_t s = 0; s < plan.stages.size(); ++s) {
        const PublishedStage& stage = plan.stages[s];
        std::vector<Fetched> fetched;
        if (!FetchStage(stage, s + 1, baseUrls, fetched)) return false;
        if (!DeliverStage(stage, s + 1, fetched)) return false;
        if (!stage.isLauncher) reached = stage.to;
        UPDATELOG(log_, std::string(stage.isLauncher ? "launcher" : "data") + " stage " + stage.from + " -> " +
                            stage.to + " handed over");
        // Packages handed over may be installed already: their stage is
        // finished even when a cancel came meanwhile, so the launcher records
        // the version its game now has.
        if (!Raise(nullptr, false, stage.isLauncher, !fetched.empty())) return false;
        if (cancel_.IsCancelled()) return false;
    }
    if (!Raise(nullptr, true, false)) return false;
    std::error_code ec;
    fs::remove(cacheFolder_, ec);  // only when empty
    UPDATELOG(log_, "run finished: " + plan.text);
    return true;
}

void PatchRun::DropStaleCache(const UpdatePlan& plan) {
    std::set<std::string> wanted;
    for (const PublishedStage& stage : plan.stages) {
        for (const PublishedPackage& package : stage.packages) wanted.insert(CacheName(package));
    }
    std::error_code ec;
    for (fs::directory_iterator it(cacheFolder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (wanted.count(name)) continue;
        std::error_code removeError;
        fs::remove_all(it->path(), removeError);
        UPDATELOG(log_, "dropped " + PathText(it->path()) + ", which no planned package needs");
    }
}

bool PatchRun::FetchStage(const PublishedStage& stage, std::size_t stageNumber,
                          const std::vector<std::string>& baseUrls, std::vector<Fetched>& fetched) {
    std::error_code ec;
    fs::create_directories(cacheFolder_, ec);
    if (ec) {
        UPDATELOG(log_, "cannot create " + PathText(cacheFolder_) + ": " + ec.message());
        return false;
    }
    const fs::path stageFolder = installFolder_ / "temp" / std::to_string(stageNumber);
    for (std::size_t n = 0; n < stage.packages.size(); ++n) {
        const PublishedPackage& package = stage.packages[n];
        Fetched item{cacheFolder_ / CacheName(package),
                     stageFolder / (std::to_string(n + 1) + "." + Extension(package.name))};
        if (!FetchOne(package, baseUrls, item.cache, WideFromUtf8(PathText(item.target)))) return false;
        doneBytes_ += package.size;
        fetched.push_back(std::move(item));
    }
    return true;
}

bool PatchRun::FetchOne(const PublishedPackage& package, const std::vector<std::string>& baseUrls,
                        const fs::path& cache, const std::wstring& target) {
    if (cancel_.IsCancelled()) return false;
    PackageSource source;
    for (const std::string& base : baseUrls) source.urls.push_back(base + package.name);
    source.size = package.size;
    source.sha256 = package.sha256;
    std::string failure;
    const auto progress = [&](std::uint64_t present) { ReportBytes(target, doneBytes_ + present); };
    if (fetcher_.FetchPackage(source, cache, progress, failure)) return true;
    UPDATELOG(log_, "run stopped: " + package.name + " could not be fetched: " + failure);
    return false;
}

bool PatchRun::DeliverStage(const PublishedStage& stage, std::size_t stageNumber, const std::vector<Fetched>& fetched) {
    if (fetched.empty()) return true;
    // What an earlier run of this check left for this position is stale:
    // its stage was handed over then, and the plan has moved on.
    const fs::path stageFolder = fetched.front().target.parent_path();
    std::error_code ec;
    fs::remove_all(stageFolder, ec);
    fs::create_directories(stageFolder, ec);
    if (ec) {
        UPDATELOG(log_, "cannot create " + PathText(stageFolder) + ": " + ec.message());
        return false;
    }
    if (cancel_.IsCancelled()) return false;
    // The stage note tells the launcher which stage these packages are, for
    // its record should the install fail.
    {
        std::ofstream note(stageFolder / kStageNoteFile, std::ios::binary | std::ios::trunc);
        note << StageNote(serial_, stage) << '\n';
    }
    for (std::size_t n = 0; n < fetched.size(); ++n) {
        // A stage is handed over whole: once its first package has gone to
        // the launcher, a cancel no longer holds the rest back, or the game
        // would be left between two versions.
        // A package the stage lists twice has one cache file: copy it for
        // all but its last use.
        bool usedAgain = false;
        for (std::size_t later = n + 1; later < fetched.size(); ++later) {
            usedAgain = usedAgain || fetched[later].cache == fetched[n].cache;
        }
        if (usedAgain) {
            fs::copy_file(fetched[n].cache, fetched[n].target, fs::copy_options::overwrite_existing, ec);
        } else {
            fs::rename(fetched[n].cache, fetched[n].target, ec);
        }
        if (ec) {
            UPDATELOG(log_, "run stopped: cannot move " + PathText(fetched[n].cache) + " to " +
                                PathText(fetched[n].target) + ": " + ec.message());
            return false;
        }
        UPDATELOG(log_, "stage " + std::to_string(stageNumber) + " package " + std::to_string(n + 1) + " (" +
                            stage.packages[n].name + ") ready at " + PathText(fetched[n].target));
        const std::wstring path = WideFromUtf8(PathText(fetched[n].target));
        Raise(path.c_str(), true, false, true);
    }
    return true;
}

void PatchRun::ReportBytes(const std::wstring& target, std::uint64_t done) {
    if (cancel_.IsCancelled() || !meter_.TakeReport(ProgressMeter::Clock::now())) return;
    const std::uint64_t total = meter_.TotalBytes();
    if (done > total) done = total;
    if (callbacks_.onEvent) {
        callbacks_.onEvent(target.c_str(), meter_.EventCount(done), meter_.EventCount(total), false,
                           callbacks_.context1, false);
    }
    if (callbacks_.onProgress) {
        callbacks_.onProgress(callbacks_.context2, static_cast<double>(total), static_cast<double>(done), 0.0, 0.0);
    }
}

bool PatchRun::Raise(const wchar_t* path, bool isFileEvent, bool isLauncherStage, bool evenIfCancelled) {
    if (!evenIfCancelled && cancel_.IsCancelled()) return false;
    if (callbacks_.onEvent) {
        callbacks_.onEvent(path, meter_.EventCount(doneBytes_), meter_.EventCount(meter_.TotalBytes()), isFileEvent,
                           callbacks_.context1, isLauncherStage);
    }
    return true;
}
