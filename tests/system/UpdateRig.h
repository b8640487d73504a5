#pragma once

// A random update world made real, for the system-level tests: its version
// trees written, its packages built with `updatetool package` and published
// with `updatetool publish`, served by `tools/updatesite`, and an
// installation of its old version (the demo's launcher and its files, the
// world's game) on which the real headless launcher runs. The trees of
// every version are kept, so an installation can be compared with the
// version its version.ini names whatever moment a fault came at.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "faults/FaultChild.h"
#include "faults/GameSnapshot.h"
#include "system/UpdateWorld.h"

namespace testsupport {
class ChildProcess;
}

namespace systemtest {

class UpdateRig {
public:
    // Makes the world under `dir` (trees/, packages/, site/); the
    // installation is laid down by LayInstallation.
    UpdateRig(const std::filesystem::path& dir, UpdatePlan plan);
    ~UpdateRig();
    UpdateRig(const UpdateRig&) = delete;
    UpdateRig& operator=(const UpdateRig&) = delete;

    // Empty when the world was built; otherwise what failed.
    const std::string& Failure() const { return failure_; }
    const UpdatePlan& Plan() const { return plan_; }
    const std::filesystem::path& Install() const { return install_; }
    // What `updatetool package` printed on standard error for package `n`
    // (1-based) of stage `s` (1-based).
    std::string PackageWarnings(std::size_t s, std::size_t n) const;

    // Publishes, beside the plan's stages, a full data stage from "*" to the
    // newest data version (built against an empty folder).
    bool PublishFullStage();

    // Lays the old version down at `folder` (default <dir>/install), its
    // Do.ini pointing at the site when it runs, else at a closed port.
    bool LayInstallation(const std::filesystem::path& folder = {});
    // Serves the site on a free port (slowed to `bytesPerSecond` unless 0)
    // and points the installation at it.
    bool StartSite(unsigned long long bytesPerSecond = 0);
    // Ends the site; the installation then points at a closed port.
    void StopSite();
    std::filesystem::path SiteLog() const;

    // Starts the installation's launcher headless, as a player does; its
    // previous run.log and update.log are removed first unless `keepLogs`.
    std::unique_ptr<faulttest::ChildProcess> StartLauncher(const faulttest::ChildFence& fence = {},
                                                           bool keepLogs = false) const;
    // Waits until the launcher has reached the plan's newest versions and has
    // nothing left to do (a finished run, or after a self-update a check that
    // found the newest versions).
    bool WaitForTarget(std::chrono::seconds timeout) const;
    // SIGKILLs every process running a program of the installation until
    // none is left, and reaps those that are this process's.
    void KillPrograms() const;

    // "Version/LVersion" as version.ini names them now, and as the plan ends.
    std::string Versions() const;
    std::string TargetVersions() const;
    // "" when the installation holds exactly the game tree of the data
    // version and the launcher tree of the launcher version version.ini
    // names, byte for byte; otherwise the differences. The installation's
    // other files (its ini files, logs, caches, the server list's download,
    // temp and journal) are left out.
    std::string DifferenceFromNamedVersions() const;
    // The installation's run.log, update.log and the programs' output.
    std::string Logs() const;

private:
    bool Build();
    bool Package(const std::string& options, const std::filesystem::path& oldTree, const std::filesystem::path& newTree,
                 const std::filesystem::path& output);
    void PointAt(const std::string& url) const;

    std::filesystem::path dir_;
    std::filesystem::path install_;
    UpdatePlan plan_;
    std::string failure_;
    std::unique_ptr<testsupport::ChildProcess> site_;
    std::string siteUrl_;
    int siteStarts_ = 0;
};

// Relative path -> bytes of the installation at `root`, a game folder
// linked onto another file system walked like any other.
faulttest::GameSnapshot InstalledTree(const std::filesystem::path& root);

}  // namespace systemtest
