// updatetool verify: a served manifest and every package on every mirror,
// checked the way the launcher checks them.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "liveupdate/CancelToken.h"
#include "liveupdate/ManifestCheck.h"
#include "liveupdate/PackageFetcher.h"
#include "liveupdate/UpdateLog.h"
#include "liveupdate/UpdatePlan.h"
#include "tools/updatetool/KeyFiles.h"
#include "tools/updatetool/PathCheck.h"
#include "tools/updatetool/ScratchFolder.h"
#include "tools/updatetool/UpdateTool.h"

namespace fs = std::filesystem;

namespace {

// Verify reports what each server does on its first try: a retry would
// hide a flaky mirror and fetch a wrong package twice.
FetchLimits VerifyLimits() {
    FetchLimits limits;
    limits.attemptsPerUrl = 1;
    return limits;
}

constexpr const char* kUsage = R"(Usage: updatetool verify MANIFEST-URL --key update.pub [options]

Fetches the manifest at MANIFEST-URL and its signature (MANIFEST-URL.sig),
and checks them as the launcher does: the signature against the public key
the game ships, every rule of the manifest, its expiry, and that the
launcher finds a path from each version a stage starts at or leads to,
to the newest versions (the checks publish makes before it signs). Then fetches every package from the manifest's folder and from
every mirror, and checks its size and SHA-256. Prints what it found.

  --key FILE             the update.pub the game ships (required); its
                         fingerprint is printed, to tell a wrong key from
                         a changed manifest
  --players-at DATA[,LAUNCHER]
                         also check the paths from versions players have
                         (repeatable)
  --data-version V       the same for data version V alone (repeatable)
  --launcher-version V   likewise for the launcher
  --min-serial N         fail when the served serial is below N (a stale
                         cache still serving an older manifest)
  --no-packages          check the manifest only

Run it after every upload. Exit codes: 0 everything holds, 1 a check failed,
2 usage error.
)";

struct VerifyOptions {
    std::string url;
    std::string keyFile;
    PlayerVersions players;
    std::uint64_t minSerial = 0;
    bool packages = true;
};

int ParseArgs(const std::vector<std::string>& args, VerifyOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--no-packages") {
            o.packages = false;
        } else if (!a.starts_with("--")) {
            if (!o.url.empty()) return UsageError("verify", "give one manifest URL");
            o.url = a;
        } else if (i + 1 >= args.size()) {
            return UsageError("verify", a + " needs a value");
        } else if (a == "--key") {
            o.keyFile = args[++i];
        } else if (a == "--data-version") {
            o.players.data.push_back(args[++i]);
        } else if (a == "--launcher-version") {
            o.players.launcher.push_back(args[++i]);
        } else if (a == "--players-at") {
            const std::string& v = args[++i];
            const std::size_t comma = v.find(',');
            if (v.empty() || comma == 0) return UsageError("verify", "--players-at takes DATA or DATA,LAUNCHER versions");
            o.players.data.push_back(v.substr(0, comma));
            if (comma != std::string::npos) o.players.launcher.push_back(v.substr(comma + 1));
        } else if (a == "--min-serial") {
            const std::string& v = args[++i];
            char* end = nullptr;
            o.minSerial = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || v[0] == '-') return UsageError("verify", "--min-serial takes a number");
        } else {
            return UsageError("verify", "unknown option '" + a + "'");
        }
    }
    if (o.url.empty()) return UsageError("verify", "give the manifest's URL");
    if (o.keyFile.empty()) return UsageError("verify", "--key names the update.pub the game ships");
    if (!o.url.starts_with("http://") && !o.url.starts_with("https://")) {
        return UsageError("verify", "the manifest URL must start with http:// or https://");
    }
    return kExitOk;
}

int CheckPlans(const VerifyOptions& o, const PublishedManifest& m) {
    const PathReport report = CheckPaths(m, o.players);
    for (const StartingPath& path : report.paths) {
        std::printf("%s path %s\n", path.ok ? "ok    " : "FAILED", PathLine(path).c_str());
    }
    for (const std::string& problem : report.problems) {
        // The paths' problems are printed above; a stage to itself is not.
        if (!problem.starts_with("players on ")) std::printf("FAILED %s\n", problem.c_str());
    }
    // Not a failure: the manifest works for every player whose game is
    // intact, but a damaged game has no way back but a reinstall.
    if (!HasFullDataStage(m)) {
        std::printf("warning: no full data stage from * to %s; a player whose game is damaged has no way back "
                    "but a reinstall\n",
                    m.latestData.c_str());
    }
    return static_cast<int>(report.problems.size());
}

int CheckPackages(PackageFetcher& fetcher, const fs::path& scratch, const std::string& url,
                  const PublishedManifest& m) {
    std::vector<std::string> bases{ManifestFolder(url)};
    bases.insert(bases.end(), m.mirrors.begin(), m.mirrors.end());
    const fs::path partial = scratch / "package";
    int failures = 0;
    for (const PublishedStage& stage : m.stages) {
        for (const PublishedPackage& p : stage.packages) {
            std::printf("package %s (%llu bytes, %s %s -> %s)\n", p.name.c_str(),
                        static_cast<unsigned long long>(p.size), stage.isLauncher ? "launcher" : "data",
                        stage.from.c_str(), stage.to.c_str());
            for (const std::string& base : bases) {
                // Each URL on its own, so every mirror is checked.
                const PackageSource source{{base + p.name}, p.size, p.sha256};
                std::string why;
                const auto start = std::chrono::steady_clock::now();
                const bool ok = fetcher.FetchPackage(source, partial, nullptr, why);
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::error_code error;
                fs::remove(partial, error);
                if (ok) {
                    std::printf("  ok     %s (%.2f s)\n", source.urls[0].c_str(), seconds);
                } else {
                    std::printf("  FAILED %s\n", why.c_str());
                    ++failures;
                }
            }
        }
    }
    return failures;
}

int Verify(const VerifyOptions& o) {
    PublicKey key{};
    std::string failure;
    if (!LoadPublicKey(o.keyFile, key, failure)) return Fail(failure);
    ScratchFolder scratch;
    if (scratch.Path().empty()) return Fail("cannot make a temporary folder for the packages");
    UpdateLog log(scratch.Path());
    CancelToken cancel;  // never cancelled: the operator stops the tool with ^C
    PackageFetcher fetcher(log, cancel, VerifyLimits());
    std::string manifestBytes;
    std::string sigText;
    if (!fetcher.FetchSmall(o.url, kMaxManifestBytes, manifestBytes, failure)) return Fail("manifest " + failure);
    if (!fetcher.FetchSmall(o.url + ".sig", kMaxSignatureBytes, sigText, failure)) {
        return Fail("signature " + failure);
    }
    std::printf("manifest %s: %zu bytes\n", o.url.c_str(), manifestBytes.size());
    PublishedManifest m;
    const std::time_t now = std::time(nullptr);
    const std::string fingerprint = KeyFingerprint(key);
    if (!CheckServedManifest(manifestBytes, sigText, key, now, m, failure)) {
        return Fail("refused: " + failure + " (the key given is " + fingerprint + ")");
    }
    const long long days = (static_cast<long long>(m.expires) - now) / (24 * 60 * 60);
    std::printf("signature good (key %s); serial %llu; expires %s (in %lld days)\n", fingerprint.c_str(),
                static_cast<unsigned long long>(m.serial), ManifestTimeText(m.expires).c_str(), days);
    std::printf("latest data %s, launcher %s; %zu mirrors; %zu stages\n", m.latestData.c_str(),
                m.latestLauncher.c_str(), m.mirrors.size(), m.stages.size());
    if (days < 7) std::printf("note: publish again soon: players refuse the manifest once it expires\n");
    int failures = 0;
    if (m.serial < o.minSerial) {
        std::printf("FAILED serial %llu is below %llu: an older manifest is being served\n",
                    static_cast<unsigned long long>(m.serial), static_cast<unsigned long long>(o.minSerial));
        ++failures;
    }
    failures += CheckPlans(o, m);
    if (o.packages) failures += CheckPackages(fetcher, scratch.Path(), o.url, m);
    if (failures > 0) return Fail("checks failed: " + std::to_string(failures) + " (see FAILED above)");
    std::printf("all checks passed\n");
    return kExitOk;
}

}  // namespace

int RunVerify(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (IsHelp(a)) return PrintUsage(kUsage);
    }
    VerifyOptions options;
    if (const int rc = ParseArgs(args, options); rc != kExitOk) return rc;
    return Verify(options);
}
