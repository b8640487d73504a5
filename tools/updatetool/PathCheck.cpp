#include "tools/updatetool/PathCheck.h"

#include <set>

#include "liveupdate/UpdatePlan.h"

namespace {

// Every version of `kind` a player may have once the manifest is served:
// each version a stage starts at or leads to, the newest one, and those the
// operator names.
std::set<std::string> Starts(const PublishedManifest& m, bool isLauncher, const std::vector<std::string>& named) {
    std::set<std::string> versions{isLauncher ? m.latestLauncher : m.latestData};
    for (const PublishedStage& s : m.stages) {
        if (s.isLauncher != isLauncher) continue;
        if (s.from != "*") versions.insert(s.from);
        versions.insert(s.to);
    }
    for (const std::string& v : named) {
        if (!v.empty()) versions.insert(v);
    }
    return versions;
}

const char* KindName(bool isLauncher) { return isLauncher ? "launcher" : "data"; }

}  // namespace

bool DownloadBytes(const PublishedManifest& m, const std::string& data, const std::string& launcher,
                   std::uint64_t& bytes, std::string& text) {
    UpdatePlan plan;
    const bool ok = PlanUpdate(m, data, launcher, plan);
    text = std::move(plan.text);
    bytes = 0;
    for (const PublishedStage& stage : plan.stages) {
        for (const PublishedPackage& p : stage.packages) bytes += p.size;
    }
    return ok;
}

std::string PathLine(const StartingPath& path) {
    const std::string head = std::string("from ") + KindName(path.isLauncher) + " " + path.version + ": ";
    if (!path.ok) return head + "NO PATH (" + path.text + ")";
    return head + std::to_string(path.bytes) + " bytes (" + path.text + ")";
}

PathReport CheckPaths(const PublishedManifest& m, const PlayerVersions& players) {
    PathReport report;
    for (const PublishedStage& s : m.stages) {
        // The planner never takes a stage from the newest version, so a
        // stage to itself there would pass its test unseen.
        if (s.from == s.to) {
            report.problems.push_back(std::string("the ") + KindName(s.isLauncher) + " stage " + s.from + " -> " +
                                      s.to + " leads to the version it starts at");
        }
    }
    for (const bool isLauncher : {false, true}) {
        for (const std::string& version : Starts(m, isLauncher, isLauncher ? players.launcher : players.data)) {
            StartingPath path;
            path.isLauncher = isLauncher;
            path.version = version;
            // Each kind is planned with the other one already newest, so
            // the bytes are those of this kind's stages alone.
            path.ok = isLauncher ? DownloadBytes(m, m.latestData, version, path.bytes, path.text)
                                 : DownloadBytes(m, version, m.latestLauncher, path.bytes, path.text);
            if (!path.ok) {
                report.problems.push_back(std::string("players on ") + KindName(isLauncher) + " " + version +
                                          " find no path to " + (isLauncher ? m.latestLauncher : m.latestData) +
                                          ": " + path.text);
            }
            report.paths.push_back(std::move(path));
        }
    }
    return report;
}

bool HasFullDataStage(const PublishedManifest& m) {
    for (const PublishedStage& s : m.stages) {
        if (!s.isLauncher && s.from == "*" && s.to == m.latestData) return true;
    }
    return false;
}
