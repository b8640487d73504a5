#include "tools/updatetool/Publisher.h"

#include <sodium.h>
#include <unzip.h>

#include <limits>
#include <set>
#include <system_error>

#include "tools/updatetool/KeyFiles.h"
#include "tools/updatetool/PackageBuilder.h"
#include "tools/updatetool/PublishStaging.h"
#include "tools/updatetool/SiteManifest.h"
#include "tools/updatetool/ToolFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;

struct Run {
    const PublishOptions& options;
    PublishResult& result;
    std::string& failure;
    fs::path staging;  // empty in a dry run
    bool Refuse(const std::string& text) {
        failure = text;
        return false;
    }
};

// The secret key leaves memory on every way out.
struct KeyWipe {
    SigningKey& key;
    ~KeyWipe() { sodium_memzero(key.secret.data(), key.secret.size()); }
};

std::string KindName(bool isLauncher) { return isLauncher ? "launcher" : "data"; }

// Every package the manifest already lists must still be what it says, or
// the new signature would vouch for bytes nobody checked.
bool CheckListedPackages(Run& r, const PublishedManifest& m) {
    for (const PublishedStage& stage : m.stages) {
        for (const PublishedPackage& p : stage.packages) {
            Sha256Digest digest{};
            std::uint64_t size = 0;
            std::string why;
            if (!HashFile(r.options.site / p.name, digest, size, why)) {
                return r.Refuse("the manifest there lists " + p.name + ", but " + why);
            }
            if (size != p.size || digest != p.sha256) {
                return r.Refuse((r.options.site / p.name).string() + " no longer matches the manifest there (size " +
                                std::to_string(size) + ", listed " + std::to_string(p.size) + ")");
            }
        }
    }
    return true;
}

// Checks the archive the way the installer will first see it: a zip whose
// root launcherupdate.exe makes it a launcher package.
bool CheckArchive(Run& r, const fs::path& file, bool isLauncher) {
    unzFile zip = unzOpen64(file.c_str());
    if (!zip) return r.Refuse(file.string() + " is not a zip archive");
    const bool hasEntry = unzGoToFirstFile(zip) == UNZ_OK;
    const bool selfUpdate = unzLocateFile(zip, kSelfUpdaterName, 1) == UNZ_OK;
    unzClose(zip);
    if (!hasEntry) return r.Refuse(file.string() + " is an empty archive");
    if (!isLauncher && selfUpdate) {
        return r.Refuse(file.string() + " carries launcherupdate.exe: publish it in a launcher stage");
    }
    if (isLauncher && !selfUpdate) {
        r.result.notes.push_back(file.string() + " has no launcherupdate.exe: the launcher installs it like a data "
                                 "package, over its own running files");
    }
    return true;
}

// The same packages, byte for byte, as the stage already published from
// the same version to the same version.
bool SameStage(const PublishedStage& published, const PublishedStage& stage) {
    if (published.to != stage.to || published.packages.size() != stage.packages.size()) return false;
    for (std::size_t i = 0; i < stage.packages.size(); ++i) {
        const PublishedPackage& a = published.packages[i];
        const PublishedPackage& b = stage.packages[i];
        if (a.size != b.size || a.sha256 != b.sha256) return false;
    }
    return true;
}

const PublishedStage* Published(const PublishedManifest& m, const StageRequest& request) {
    for (const PublishedStage& s : m.stages) {
        if (s.isLauncher == request.isLauncher && s.from == request.from) return &s;
    }
    return nullptr;
}

// Copies the stage's packages into the staging folder (a dry run only
// hashes them). A stage whose packages are those already published keeps
// its published names: nothing is copied again.
bool AddStage(Run& r, const StageRequest& request, const PublishedManifest& m, PublishedStage& stage) {
    stage.isLauncher = request.isLauncher;
    stage.from = request.from;
    stage.to = request.to;
    const std::string folder = std::to_string(m.serial) + "/" + KindName(request.isLauncher) + "-" +
                               (request.from == "*" ? std::string("any") : request.from) + "-" + request.to;
    for (std::size_t i = 0; i < request.packages.size(); ++i) {
        const fs::path& source = request.packages[i];
        const std::string file = source.filename().string();
        const std::string ext = file.ends_with(".upd") ? "upd" : file.ends_with(".tre") ? "tre" : "";
        if (ext.empty()) return r.Refuse(source.string() + ": a package's name must end in .upd or .tre");
        if (!CheckArchive(r, source, request.isLauncher)) return false;
        PublishedPackage package;
        package.name = folder + "/" + std::to_string(i + 1) + "." + ext;
        fs::path hashed = source;
        if (!r.staging.empty()) {
            hashed = r.staging / package.name;
            std::error_code ec;
            fs::create_directories(hashed.parent_path(), ec);
            if (ec) return r.Refuse("cannot make the folder " + hashed.parent_path().string() + ": " + ec.message());
            if (!CopyFileReplacing(source, hashed, r.failure)) return false;
        }
        // Hash the copy: the manifest vouches for what will be served.
        if (!HashFile(hashed, package.sha256, package.size, r.failure)) return false;
        if (package.size == 0) return r.Refuse(source.string() + " is empty");
        stage.packages.push_back(package);
    }
    const PublishedStage* published = Published(m, request);
    if (published && SameStage(*published, stage)) {
        stage = *published;
        r.result.unchanged.push_back(KindName(request.isLauncher) + " " + request.from + " -> " + request.to);
        std::error_code ec;
        if (!r.staging.empty()) fs::remove_all(r.staging / folder, ec);
    }
    return true;
}

void MergeStage(PublishedManifest& m, PublishedStage stage) {
    for (PublishedStage& existing : m.stages) {
        // The launcher takes the first stage from its version: a second one
        // from the same version would never be used, so the new one replaces it.
        if (existing.isLauncher == stage.isLauncher && existing.from == stage.from) {
            existing = std::move(stage);
            return;
        }
    }
    m.stages.push_back(std::move(stage));
}

std::optional<std::string> LastTo(const std::vector<StageRequest>& stages, bool isLauncher) {
    std::optional<std::string> to;
    for (const StageRequest& s : stages) {
        if (s.isLauncher == isLauncher) to = s.to;
    }
    return to;
}

bool SetLatest(Run& r, PublishedManifest& m) {
    const auto data = r.options.latestData ? r.options.latestData : LastTo(r.options.stages, false);
    const auto launcher = r.options.latestLauncher ? r.options.latestLauncher : LastTo(r.options.stages, true);
    if (data) m.latestData = *data;
    if (launcher) m.latestLauncher = *launcher;
    if (m.latestData.empty() || m.latestLauncher.empty()) {
        return r.Refuse("a new manifest needs the newest versions: give --latest-data and --latest-launcher");
    }
    std::vector<PublishedStage> kept;
    for (PublishedStage& stage : m.stages) {
        if (stage.isLauncher && stage.to != m.latestLauncher) {
            r.result.notes.push_back("dropped the launcher stage " + stage.from + " -> " + stage.to +
                                     ": the launcher refuses a launcher stage that stops short of " +
                                     m.latestLauncher);
            continue;
        }
        kept.push_back(std::move(stage));
    }
    m.stages = std::move(kept);
    return true;
}

bool Sign(Run& r, const SigningKey& key, const std::string& xml) {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(xml.data()), xml.size(),
                         key.secret.data());
    const fs::path manifest = r.staging / r.options.manifestName;
    const fs::path sig = manifest.string() + ".sig";
    const std::string sigText = EncodeBase64(signature, sizeof signature) + "\n";
    return WriteFileReplacing(sig, sigText, 0644, r.failure) &&
           WriteFileReplacing(manifest, xml, 0644, r.failure);
}

}  // namespace

bool IsPublishableVersion(const std::string& version) {
    if (version.empty() || version.size() > 64) return false;
    for (const char c : version) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

bool Publish(const PublishOptions& options, std::time_t now, PublishResult& result, std::string& failure) {
    result = PublishResult{};
    Run r{options, result, failure, {}};
    SigningKey key;
    const KeyWipe wipe{key};
    if (!LoadSigningKey(options.keyFile, key, failure)) return false;
    result.keyFingerprint = KeyFingerprint(key.publicKey);
    std::error_code ec;
    const bool siteThere = fs::exists(options.site, ec);
    if (siteThere && !fs::is_directory(options.site, ec)) return r.Refuse(options.site.string() + " is not a folder");

    PublishedManifest& m = result.manifest;
    const fs::path manifestPath = options.site / options.manifestName;
    result.replacedManifest = siteThere && fs::exists(manifestPath, ec);
    PlayerVersions players = options.playersAt;
    if (result.replacedManifest) {
        if (!options.dryRun) PublishStaging::FinishInterrupted(options.site, options.manifestName, key.publicKey,
                                                               result.notes);
        if (!ReadSiteManifest(manifestPath, key.publicKey, m, failure)) return false;
        if (!CheckListedPackages(r, m)) return false;
        if (m.serial == std::numeric_limits<std::uint64_t>::max()) return r.Refuse("the serial cannot rise further");
        ++m.serial;
        // Players may have the newest versions the manifest there names.
        players.data.push_back(m.latestData);
        players.launcher.push_back(m.latestLauncher);
        for (const PublishedStage& s : m.stages) {
            for (const PublishedPackage& p : s.packages) {
                if (p.name.starts_with(std::to_string(m.serial) + "/")) {
                    return r.Refuse("the manifest there already names " + p.name + ", in the next serial's folder");
                }
            }
        }
    } else {
        m.serial = 1;
    }

    PublishStaging staging(options.site);
    if (!options.dryRun) {
        if (!staging.Create(failure)) return false;
        r.staging = staging.Path();
    }
    for (const auto& [isLauncher, from] : options.removeStages) {
        const auto before = m.stages.size();
        std::erase_if(m.stages, [&](const PublishedStage& s) { return s.isLauncher == isLauncher && s.from == from; });
        if (m.stages.size() == before) return r.Refuse("no " + KindName(isLauncher) + " stage from " + from + " is published");
    }
    std::set<std::pair<bool, std::string>> given;
    const PublishedManifest there = m;
    for (const StageRequest& request : options.stages) {
        if (!given.insert({request.isLauncher, request.from}).second) {
            return r.Refuse("two " + KindName(request.isLauncher) + " stages from " + request.from);
        }
        PublishedStage stage;
        if (!AddStage(r, request, there, stage)) return false;
        MergeStage(m, std::move(stage));
    }
    if (!SetLatest(r, m)) return false;
    if (options.mirrors) m.mirrors = *options.mirrors;
    m.expires = options.expires ? *options.expires : now + options.expiresDays * kDay;
    if (m.expires <= now) return r.Refuse("the expiry " + ManifestTimeText(m.expires) + " has already passed");

    const std::string xml = ManifestXml(m);
    std::string reason;
    if (!CheckPublishedManifest(xml, now, reason)) {
        return r.Refuse("the new manifest would be refused by the launcher: " + reason);
    }
    result.paths = CheckPaths(m, players);
    if (!result.paths.problems.empty() && !options.force && !options.dryRun) {
        const std::size_t n = result.paths.problems.size();
        return r.Refuse(std::to_string(n) + (n == 1 ? " problem strands" : " problems strand") +
                        " players; nothing published (--force publishes anyway)");
    }
    if (options.dryRun) return true;
    if (!Sign(r, key, xml)) return false;
    // A site folder that is not there yet is made last, so a refused
    // publish leaves nothing behind.
    if (!siteThere && !fs::create_directories(options.site, ec) && ec) {
        return r.Refuse("cannot make the folder " + options.site.string() + ": " + ec.message());
    }
    if (!staging.MoveIn(std::to_string(m.serial), options.manifestName, result.notes, failure)) return false;
    // What killed publishes left beside the site is superseded now: the
    // site holds a complete, signed publish again.
    for (const fs::path& leftover : staging.Leftovers()) {
        std::error_code removeError;
        fs::remove_all(leftover, removeError);
        if (!removeError) result.notes.push_back("removed " + PathText(leftover) + ", left by an interrupted publish");
    }
    return true;
}
