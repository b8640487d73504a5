#include "tools/updatetool/SiteManifest.h"

#include <set>

#include "liveupdate/ManifestCheck.h"
#include "liveupdate/ManifestReader.h"
#include "liveupdate/UpdateFiles.h"

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

bool CheckPublishedManifest(const std::string& xml, std::time_t now, std::string& reason) {
    PublishedManifest m;
    if (!ReadManifestText(xml, m, reason)) return false;
    if (m.expires <= now) {
        reason = "it has expired";
        return false;
    }
    return true;
}

std::vector<std::string> UnnamedSerialFolders(const fs::path& site, const PublishedManifest& manifest) {
    std::set<std::string> named;
    for (const PublishedStage& s : manifest.stages) {
        for (const PublishedPackage& p : s.packages) named.insert(p.name.substr(0, p.name.find('/')));
    }
    std::set<std::string> unnamed;
    std::error_code ec;
    for (fs::directory_iterator it(site, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool digits = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
        std::error_code typeError;
        if (digits && it->is_directory(typeError) && !it->is_symlink(typeError) && !named.count(name)) {
            unnamed.insert(name);
        }
    }
    return {unnamed.begin(), unnamed.end()};
}
