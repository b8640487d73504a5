#include "tools/updatetool/SiteManifest.h"

#include <sodium.h>

#include <set>

#include "tools/updatetool/ManifestReader.h"
#include "tools/updatetool/ToolFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSignatureFileLimit = 4096;
constexpr int kMaxPlanSteps = 64;

bool SignatureHolds(const std::string& bytes, const std::string& sigText, const PublicKey& key, std::string& reason) {
    unsigned char signature[crypto_sign_BYTES];
    if (!DecodeBase64Exact(sigText, signature, sizeof signature)) {
        reason = "the signature file is not 88 characters of base64";
        return false;
    }
    if (crypto_sign_verify_detached(signature, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                    key.data()) != 0) {
        reason = "the signature does not match the manifest and this key";
        return false;
    }
    return true;
}

const PublishedStage* NextStage(const PublishedManifest& m, bool isLauncher, const std::string& from) {
    const PublishedStage* any = nullptr;
    for (const PublishedStage& s : m.stages) {
        if (s.isLauncher != isLauncher) continue;
        if (s.from == from) return &s;
        if (!any && s.from == "*") any = &s;
    }
    return any;
}

}  // namespace

bool ReadSiteManifest(const fs::path& path, const PublicKey& key, PublishedManifest& manifest, std::string& failure) {
    std::string bytes;
    std::string sigText;
    if (!ReadWholeFile(path, kMaxManifestBytes, bytes, failure)) return false;
    if (!ReadWholeFile(path.string() + ".sig", kSignatureFileLimit, sigText, failure)) {
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

std::optional<std::time_t> ParsePublishedTime(const std::string& text) { return ParseManifestTimeText(text); }

bool LoadLauncherPublicKey(const fs::path& path, PublicKey& key, std::string& failure) {
    return LoadPublicKey(path, key, failure);
}

bool CheckServedManifest(const std::string& bytes, const std::string& sigText, const PublicKey& key, std::time_t now,
                         PublishedManifest& manifest, std::string& reason) {
    if (!SignatureHolds(bytes, sigText, key, reason)) return false;
    if (!ReadManifestText(bytes, manifest, reason)) return false;
    if (manifest.expires <= now) {
        reason = "the manifest expired at " + ManifestTimeText(manifest.expires);
        return false;
    }
    return true;
}

bool DescribePlan(const PublishedManifest& m, const std::string& dataVersion, const std::string& launcherVersion,
                  std::string& text) {
    text.clear();
    std::string current = dataVersion;
    std::set<std::string> visited{current};
    for (int steps = 0; current != m.latestData; ++steps) {
        const PublishedStage* stage = NextStage(m, false, current);
        if (!stage) {
            text += "no data stage from " + current;
            return false;
        }
        if (steps == kMaxPlanSteps) {
            text += "more than 64 data stages";
            return false;
        }
        text += "data " + current + " -> " + stage->to + "; ";
        current = stage->to;
        if (!visited.insert(current).second) {
            text += "the data stages loop back to " + current;
            return false;
        }
    }
    if (launcherVersion != m.latestLauncher) {
        const PublishedStage* stage = NextStage(m, true, launcherVersion);
        if (!stage || stage->to != m.latestLauncher) {
            text += "no launcher stage from " + launcherVersion + " to " + m.latestLauncher;
            return false;
        }
        text += "launcher " + launcherVersion + " -> " + stage->to + "; ";
    }
    if (text.empty()) text = "nothing to do; ";
    text.resize(text.size() - 2);
    return true;
}

std::string ManifestFolder(const std::string& url) {
    std::string base = url.substr(0, url.find_first_of("?#"));
    const std::size_t scheme = base.find("://");
    const std::size_t pathStart = scheme == std::string::npos ? std::string::npos : base.find('/', scheme + 3);
    if (pathStart == std::string::npos) return base + "/";
    return base.substr(0, base.rfind('/') + 1);
}
