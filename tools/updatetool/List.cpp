// updatetool list: what a site serves, told so an operator can read it.

#include <sodium.h>

#include <cstdio>
#include <ctime>

#include "liveupdate/CancelToken.h"
#include "liveupdate/ManifestCheck.h"
#include "liveupdate/ManifestReader.h"
#include "liveupdate/PackageFetcher.h"
#include "liveupdate/UpdateLog.h"
#include "tools/updatetool/KeyFiles.h"
#include "tools/updatetool/PathCheck.h"
#include "tools/updatetool/PublishStaging.h"
#include "tools/updatetool/ScratchFolder.h"
#include "tools/updatetool/SiteManifest.h"
#include "tools/updatetool/UpdateTool.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = R"(Usage: updatetool list SITE-FOLDER-OR-MANIFEST-URL [options]

Prints what a site serves: the manifest's serial and expiry (a warning
under 7 days), the newest versions, the mirrors, each stage with its
packages, and for each version a stage starts at or leads to the path the
launcher plans from it and the bytes a player there downloads. For a
folder, also the serial folders the manifest no longer names ('updatetool
prune' removes them).

  --key FILE       update.pub (or the secret key file): checks the
                   signature and prints the key's fingerprint
  --manifest NAME  the manifest's file name in a folder (default
                   version_newStyle.xml)
  --players-at DATA[,LAUNCHER]
                   also plan from versions players have (repeatable)

Exit codes: 0 listed and nothing strands a player, 1 the manifest cannot
be read, its signature fails, it has expired or a version has no path
(everything readable is still listed), 2 usage error.
)";

constexpr std::time_t kDay = 24 * 60 * 60;
constexpr long long kWarnDays = 7;

struct ListOptions {
    std::string site;
    std::string manifestName = "version_newStyle.xml";
    fs::path keyFile;
    PlayerVersions players;
};

bool IsUrl(const std::string& s) { return s.starts_with("http://") || s.starts_with("https://"); }

int ParseArgs(const std::vector<std::string>& args, ListOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!a.starts_with("--")) {
            if (!o.site.empty()) return UsageError("list", "give one site folder or manifest URL");
            o.site = a;
        } else if (i + 1 >= args.size()) {
            return UsageError("list", a + " needs a value");
        } else if (a == "--key") {
            o.keyFile = args[++i];
        } else if (a == "--manifest") {
            o.manifestName = args[++i];
        } else if (a == "--players-at") {
            const std::string& v = args[++i];
            const std::size_t comma = v.find(',');
            if (v.empty() || comma == 0) return UsageError("list", "--players-at takes DATA or DATA,LAUNCHER versions");
            o.players.data.push_back(v.substr(0, comma));
            if (comma != std::string::npos) o.players.launcher.push_back(v.substr(comma + 1));
        } else {
            return UsageError("list", "unknown option '" + a + "'");
        }
    }
    if (o.site.empty()) return UsageError("list", "give the site folder or the manifest's URL");
    return kExitOk;
}

// The manifest and its signature from a folder or a URL; a signature that
// cannot be had leaves `sig` empty.
bool ReadManifestBytes(const ListOptions& o, std::string& where, std::string& bytes, std::string& sig,
                       std::string& failure) {
    std::string sigFailure;
    if (!IsUrl(o.site)) {
        const fs::path path = fs::path(o.site) / o.manifestName;
        where = PathText(path);
        if (!ReadWholeFile(path, kMaxManifestBytes, bytes, failure)) return false;
        if (!ReadWholeFile(path.string() + ".sig", kMaxSignatureBytes, sig, sigFailure)) sig.clear();
        return true;
    }
    where = o.site;
    ScratchFolder scratch;
    if (scratch.Path().empty()) {
        failure = "cannot make a temporary folder for the fetcher's log";
        return false;
    }
    UpdateLog log(scratch.Path());
    CancelToken cancel;
    FetchLimits limits;
    limits.attemptsPerUrl = 1;
    PackageFetcher fetcher(log, cancel, limits);
    if (!fetcher.FetchSmall(o.site, kMaxManifestBytes, bytes, failure)) return false;
    if (!fetcher.FetchSmall(o.site + ".sig", kMaxSignatureBytes, sig, sigFailure)) sig.clear();
    return true;
}

// The public key of a key file of either kind.
bool LoadAnyKey(const fs::path& path, PublicKey& key, std::string& failure) {
    if (LoadPublicKey(path, key, failure)) return true;
    SigningKey secret;
    std::string secretFailure;
    if (!LoadSigningKey(path, secret, secretFailure)) return false;
    key = secret.publicKey;
    sodium_memzero(secret.secret.data(), secret.secret.size());
    return true;
}

// Prints the signature's state; false when it fails for the key given.
bool ReportSignature(const ListOptions& o, const std::string& bytes, const std::string& sig) {
    if (o.keyFile.empty()) {
        std::printf("signature: not checked (give --key update.pub)\n");
        return true;
    }
    PublicKey key{};
    std::string failure;
    if (!LoadAnyKey(o.keyFile, key, failure)) {
        std::printf("signature: FAILED, %s\n", failure.c_str());
        return false;
    }
    const std::string fingerprint = KeyFingerprint(key);
    std::string reason = "the signature file cannot be read";
    if (!sig.empty() && SignatureHolds(bytes, sig, key, reason)) {
        std::printf("signature: good, key %s\n", fingerprint.c_str());
        return true;
    }
    std::printf("signature: FAILED for key %s: %s\n", fingerprint.c_str(), reason.c_str());
    return false;
}

void ReportStages(const PublishedManifest& m) {
    for (const PublishedStage& stage : m.stages) {
        std::uint64_t bytes = 0;
        for (const PublishedPackage& p : stage.packages) bytes += p.size;
        std::printf("stage %s %s -> %s: %zu packages, %llu bytes\n", stage.isLauncher ? "launcher" : "data",
                    stage.from.c_str(), stage.to.c_str(), stage.packages.size(),
                    static_cast<unsigned long long>(bytes));
        for (const PublishedPackage& p : stage.packages) {
            std::printf("  %s %llu bytes sha256 %s\n", p.name.c_str(), static_cast<unsigned long long>(p.size),
                        HexOf(p.sha256).c_str());
        }
    }
}

int List(const ListOptions& o) {
    std::string where;
    std::string bytes;
    std::string sig;
    std::string failure;
    if (!ReadManifestBytes(o, where, bytes, sig, failure)) return Fail("manifest " + failure);
    PublishedManifest m;
    std::string reason;
    if (!ReadManifestText(bytes, m, reason)) return Fail(where + " breaks a rule: " + reason);
    bool good = true;
    const std::time_t now = std::time(nullptr);
    const long long days = (static_cast<long long>(m.expires) - now) / kDay;
    std::printf("manifest %s: serial %llu, expires %s (in %lld days)\n", where.c_str(),
                static_cast<unsigned long long>(m.serial), ManifestTimeText(m.expires).c_str(), days);
    if (m.expires <= now) {
        std::printf("EXPIRED: players refuse it; publish again\n");
        good = false;
    } else if (days < kWarnDays) {
        std::printf("warning: expires in under %lld days; publish again before then\n", kWarnDays);
    }
    good = ReportSignature(o, bytes, sig) && good;
    std::printf("latest data %s, launcher %s\n", m.latestData.c_str(), m.latestLauncher.c_str());
    for (const std::string& mirror : m.mirrors) std::printf("mirror %s\n", mirror.c_str());
    ReportStages(m);
    const PathReport paths = CheckPaths(m, o.players);
    for (const StartingPath& path : paths.paths) std::printf("%s\n", PathLine(path).c_str());
    for (const std::string& problem : paths.problems) std::printf("problem: %s\n", problem.c_str());
    good = good && paths.problems.empty();
    if (!IsUrl(o.site)) {
        for (const std::string& folder : UnnamedSerialFolders(o.site, m)) {
            std::printf("not named by the manifest: %s ('updatetool prune' removes it)\n",
                        PathText(fs::path(o.site) / folder).c_str());
        }
        for (const fs::path& leftover : PublishStaging::LeftoversOf(o.site)) {
            std::printf("left by an interrupted publish: %s (the next publish finishes or removes it)\n",
                        PathText(leftover).c_str());
        }
    }
    return good ? kExitOk : kExitFailed;
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (IsHelp(a)) return PrintUsage(kUsage);
    }
    ListOptions options;
    if (const int rc = ParseArgs(args, options); rc != kExitOk) return rc;
    return List(options);
}
