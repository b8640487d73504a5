#include "liveupdate/LiveUpdatePatch.h"

#include <ctime>
#include <exception>
#include <vector>

#include "liveupdate/FailedStage.h"
#include "liveupdate/InstalledVersion.h"
#include "liveupdate/ManifestCheck.h"
#include "liveupdate/PackageFetcher.h"
#include "liveupdate/PatchRun.h"
#include "liveupdate/SerialStore.h"
#include "liveupdate/UpdateKey.h"
#include "liveupdate/UpdatePlan.h"
#include "liveupdate/WideText.h"

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds kFailurePace{1};

std::string Utf8Of(const wchar_t* text) { return text ? Utf8FromWide(text) : std::string(); }

}  // namespace

LiveUpdatePatch::LiveUpdatePatch(const fs::path& installFolder) : LiveUpdatePatch(installFolder, FetchLimits{}) {}

LiveUpdatePatch::LiveUpdatePatch(const fs::path& installFolder, const FetchLimits& limits)
    : folder_(installFolder), log_(installFolder), fetcher_(std::make_unique<PackageFetcher>(log_, cancel_, limits)) {}

LiveUpdatePatch::~LiveUpdatePatch() = default;

bool LiveUpdatePatch::CheckServer(const wchar_t* address, const wchar_t* version) {
    // Nothing may unwind into the launcher, which is not built to catch it.
    try {
        return Check(Utf8Of(address), Utf8Of(version));
    } catch (const std::exception& e) {
        UPDATELOG(log_, std::string("check failed: ") + e.what());
    } catch (...) {
        UPDATELOG(log_, "check failed: unknown error");
    }
    return false;
}

bool LiveUpdatePatch::RunPatch(const std::wstring& dataVersion, const std::wstring& launcherVersion) {
    try {
        return Run(Utf8FromWide(dataVersion), Utf8FromWide(launcherVersion));
    } catch (const std::exception& e) {
        UPDATELOG(log_, std::string("run failed: ") + e.what());
    } catch (...) {
        UPDATELOG(log_, "run failed: unknown error");
    }
    return false;
}

bool LiveUpdatePatch::Check(const std::string& address, const std::string& version) {
    const Clock::time_point start = Clock::now();
    if (cancel_.IsCancelled()) return false;
    manifest_.reset();
    UPDATELOG(log_, "checking " + address + " for data version " + version);

    PublicKey key{};
    std::string failure;
    if (!LoadPublicKey(folder_ / "update.pub", key, failure)) {
        UPDATELOG(log_, "manifest " + address + " not checked: no usable update key: " + failure);
        return Failed(start);
    }
    std::string bytes;
    if (!fetcher_->FetchSmall(address, kMaxManifestBytes, bytes, failure)) {
        UPDATELOG(log_, "manifest " + address + " not fetched: " + failure);
        return Failed(start);
    }
    std::string signature;
    if (!fetcher_->FetchSmall(address + ".sig", kMaxSignatureBytes, signature, failure)) {
        UPDATELOG(log_, "manifest " + address + " refused: its signature " + address + ".sig not fetched: " + failure);
        return Failed(start);
    }
    PublishedManifest manifest;
    if (!CheckServedManifest(bytes, signature, key, std::time(nullptr), manifest, failure)) {
        UPDATELOG(log_, "manifest " + address + " refused: " + failure);
        return Failed(start);
    }
    if (!SerialAllowed(manifest, address)) return Failed(start);

    const std::optional<std::string> launcher = InstalledLauncherVersion();
    UpdatePlan plan;
    const std::optional<FailedStage> failed = ReadFailedStage(folder_);
    if (!PlanUpdate(manifest, version, launcher.value_or(manifest.latestLauncher), plan,
                    failed ? &*failed : nullptr)) {
        // Refused for this installation only: the manifest is genuine and
        // current, so its serial stays kept (see SerialAllowed), and the log
        // says so rather than reading like a forged or stale manifest.
        UPDATELOG(log_, "manifest " + address + " is signed and valid (serial " + std::to_string(manifest.serial) +
                            " kept against rollback) but offers no update path: " + plan.text);
        return Failed(start);
    }
    if (cancel_.IsCancelled()) return false;
    UPDATELOG(log_, "manifest " + address + " accepted: serial " + std::to_string(manifest.serial) +
                        ", latest data " + manifest.latestData + ", latest launcher " + manifest.latestLauncher +
                        "; plan: " + plan.text);
    if (!plan.fallBack.empty()) {
        UPDATELOG(log_, "planning around a failed stage: " + plan.fallBack + " (it failed: " + failed->reason + ")");
    } else if (failed && failed->serial == manifest.serial) {
        UPDATELOG(log_, "the stage " + failed->from + " -> " + failed->to + " failed at the last start (" +
                            failed->reason + ") and no full data stage replaces it; it is tried again");
    }
    manifestFolder_ = ManifestFolder(address);
    reached_ = version;
    manifest_ = std::move(manifest);
    return true;
}

bool LiveUpdatePatch::SerialAllowed(const PublishedManifest& manifest, const std::string& address) {
    const SerialStore store(folder_);
    std::uint64_t highest = 0;
    std::string failure;
    if (!store.Load(highest, failure)) {
        // Only this installation writes the file; one it cannot read gives
        // no protection to keep, and refusing every manifest would end all
        // updates for good.
        UPDATELOG(log_, "rollback check starts afresh: " + failure);
    }
    if (manifest.serial < highest) {
        UPDATELOG(log_, "manifest " + address + " refused: serial " + std::to_string(manifest.serial) +
                            " is lower than serial " + std::to_string(highest) +
                            " accepted before (a rolled-back manifest)");
        return false;
    }
    // Kept as soon as a genuine, current manifest is seen, whether or not a
    // path exists for this installation: older ones are replays either way.
    if (manifest.serial > highest && !store.Store(manifest.serial, failure)) {
        UPDATELOG(log_, "highest accepted serial not kept: " + failure);
    }
    return true;
}

std::optional<std::string> LiveUpdatePatch::InstalledLauncherVersion() {
    std::string version;
    std::string failure;
    if (ReadInstalledLauncherVersion(folder_, version, failure)) return version;
    UPDATELOG(log_, "installed launcher version unknown (" + failure + "); the check plans the data stages only");
    return std::nullopt;
}

bool LiveUpdatePatch::Run(const std::string& dataVersion, const std::string& launcherVersion) {
    const Clock::time_point start = Clock::now();
    if (cancel_.IsCancelled()) return false;
    if (!manifest_) {
        UPDATELOG(log_, "run refused: no manifest was accepted by this object");
        return Failed(start);
    }
    UpdatePlan plan;
    const std::optional<FailedStage> failed = ReadFailedStage(folder_);
    if (!PlanUpdate(*manifest_, dataVersion, launcherVersion, plan, failed ? &*failed : nullptr)) {
        UPDATELOG(log_, "run refused: no update path from data " + dataVersion + ", launcher " + launcherVersion +
                            ": " + plan.text);
        return Failed(start);
    }
    UPDATELOG(log_, "run from data " + dataVersion + ", launcher " + launcherVersion + ": " + plan.text);
    reached_ = dataVersion;
    std::vector<std::string> baseUrls{manifestFolder_};
    baseUrls.insert(baseUrls.end(), manifest_->mirrors.begin(), manifest_->mirrors.end());
    PatchRun run(folder_, log_, cancel_, *fetcher_, PatchCallbacks{onEvent, onProgress, context1, context2});
    if (run.Run(plan, baseUrls, reached_)) return true;
    if (cancel_.IsCancelled()) UPDATELOG(log_, "run cancelled");
    return Failed(start);
}

bool LiveUpdatePatch::Failed(Clock::time_point start) {
    const Clock::duration left = start + kFailurePace - Clock::now();
    if (left > Clock::duration::zero()) {
        cancel_.SleepFor(std::chrono::ceil<std::chrono::milliseconds>(left));
    }
    return false;
}

std::wstring LiveUpdatePatch::GetReachedVersion() { return WideFromUtf8(reached_); }

std::wstring LiveUpdatePatch::GetLatestVersion() {
    return manifest_ ? WideFromUtf8(manifest_->latestData) : std::wstring();
}

std::wstring LiveUpdatePatch::GetLatestLauncherVersion() {
    return manifest_ ? WideFromUtf8(manifest_->latestLauncher) : std::wstring();
}

std::int32_t LiveUpdatePatch::GetDownloadSpeed() { return fetcher_->CurrentSpeed(); }

void LiveUpdatePatch::Release() { delete this; }

void LiveUpdatePatch::Cancel() { cancel_.Cancel(); }
