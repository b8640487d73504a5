#include "tools/updatetool/SiteManifest.h"

#include <set>

#include "liveupdate/ManifestCheck.h"
#include "liveupdate/ManifestReader.h"
#include "liveupdate/UpdateFiles.h"
#include "liveupdate/UpdatePlan.h"

namespace fs = std::filesystem;

bool ReadSiteManifest(const fs::path& path, const PublicKey& key, PublishedManifest& manifest, std::string& failure) {
    std::string bytes;
    std::string sigText;
    if (!ReadWholeFile(path, kMaxManifestBytes, bytes, failure)) return false;
    if (!ReadWholeFile(path.string() + ".sig", kMaxSignatureBytes, sigText, failure)) {
        failure = "the manifest there has no readable signature: " + failure;
        return false;
    }
    std::string reason;
    if (!SignatureHolds(bytes, sigText, key, reason)) {
        failure = PathText(path) + " cannot be continued: " + reason + " (signed by another key, or changed)";
        return false;
    }
    if (!ReadManifestText(bytes, manifest, reason)) {
        failure = PathText(path) + " breaks a rule: " + reason;
        return false;
    }
    return true;
}

bool CheckPublishedManifest(const std::string& xml, std::time_t now, std::vector<std::string>& notes,
                            std::string& reason) {
    PublishedManifest m;
    if (!ReadManifestText(xml, m, reason)) return false;
    if (m.expires <= now) {
        reason = "it has expired";
        return false;
    }
    std::set<std::pair<bool, std::string>> starts;
    for (const PublishedStage& s : m.stages) {
        if (s.from != "*") starts.insert({s.isLauncher, s.from});
    }
    for (const auto& [isLauncher, version] : starts) {
        std::string text;
        const bool ok = isLauncher ? DescribePlan(m, m.latestData, version, text)
                                   : DescribePlan(m, version, m.latestLauncher, text);
        if (!ok) {
            notes.push_back(std::string("players on ") + (isLauncher ? "launcher " : "data ") + version +
                            " find no path: " + text);
        }
    }
    return true;
}
