#pragma once

// The update library's object behind the launcher's LivePatch interface:
// checks a served manifest (signature with "update.pub", every rule,
// expiry, rollback against the highest serial this installation accepted),
// plans the stages, and runs the plan. Everything it decides goes to
// "update.log" in the installation folder.
//
// Threads as the interface says: CheckServer, RunPatch and the getters on
// the launcher's update thread, Cancel from any thread. A failed check or
// run returns no sooner than a second after it began (earlier on cancel),
// because the launcher calls again at once and must not hammer a server
// that refuses it.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "liveupdate/CancelToken.h"
#include "liveupdate/LivePatch.h"
#include "liveupdate/ManifestText.h"
#include "liveupdate/UpdateLog.h"

class PackageFetcher;
struct FetchLimits;

class LiveUpdatePatch final : public LivePatch {
public:
    // `installFolder`: where "update.pub", "version.ini", the state file,
    // the log, the cache and "temp" are.
    explicit LiveUpdatePatch(const std::filesystem::path& installFolder);
    LiveUpdatePatch(const std::filesystem::path& installFolder, const FetchLimits& limits);
    ~LiveUpdatePatch() override;
    LiveUpdatePatch(const LiveUpdatePatch&) = delete;
    LiveUpdatePatch& operator=(const LiveUpdatePatch&) = delete;

    bool CheckServer(const wchar_t* address, const wchar_t* version) override;
    bool RunPatch(const std::wstring& dataVersion, const std::wstring& launcherVersion) override;
    std::wstring GetReachedVersion() override;
    std::wstring GetLatestVersion() override;
    std::wstring GetLatestLauncherVersion() override;
    std::int32_t GetDownloadSpeed() override;
    void Release() override;
    void Cancel() override;

private:
    using Clock = std::chrono::steady_clock;

    bool Check(const std::string& address, const std::string& version);
    bool Run(const std::string& dataVersion, const std::string& launcherVersion);
    // Whether the check may go on with `manifest`'s serial; stores a higher one.
    bool SerialAllowed(const PublishedManifest& manifest, const std::string& address);
    // The launcher version to plan the check with; none when version.ini
    // cannot be read (then only the data stages are planned).
    std::optional<std::string> InstalledLauncherVersion();
    // Returns false once a second has passed since `start`, or at cancel.
    bool Failed(Clock::time_point start);

    std::filesystem::path folder_;
    UpdateLog log_;
    CancelToken cancel_;
    std::unique_ptr<PackageFetcher> fetcher_;

    // The last accepted check.
    std::optional<PublishedManifest> manifest_;
    std::string manifestFolder_;
    std::string reached_;
};
