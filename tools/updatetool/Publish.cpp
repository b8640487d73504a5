// updatetool publish: packages and a new signed manifest into a serving folder.

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "liveupdate/ManifestReader.h"
#include "tools/updatetool/Publisher.h"
#include "tools/updatetool/SiteManifest.h"
#include "tools/updatetool/UpdateTool.h"

namespace {

constexpr const char* kUsage = R"(Usage: updatetool publish SITE --key update.key [options]

Adds packages to SITE, a folder served as-is by a web server, and writes a
new manifest and its signature there. The serial rises by one over the
manifest already there, which must be signed by the same key; every
package it lists is checked against its size and hash first.

  --stage KIND FROM TO PACKAGE...
        a stage (KIND data or launcher) from version FROM (or "*" for any
        installed version: a full package) to version TO, its packages in
        install order. Repeatable. A stage replaces the one already there
        with the same KIND and FROM. Packages are copied to
        SITE/<serial>/<KIND>-<FROM>-<TO>/<n>.upd|.tre ("any" for "*").
  --latest-data V      the newest data version (default: TO of the last
                       data stage given, else the manifest's)
  --latest-launcher V  the newest launcher version (likewise)
  --mirror URL         a mirror holding the same files (http:// or https://,
                       ending in /); repeatable; replaces the mirror list
  --no-mirrors         removes every mirror
  --expires-days N     the manifest expires N days from now (default 30)
  --expires TIME       the manifest expires at TIME (YYYY-MM-DDTHH:MM:SSZ)
  --manifest NAME      the manifest's file name (default
                       version_newStyle.xml); the signature is NAME.sig
  --remove-stage KIND FROM
                       drops the published stage of KIND from FROM
                       (repeatable)
  --players-at DATA[,LAUNCHER]
                       versions players have (repeatable): each must find
                       a path to the newest versions
  --force              publish even when players would find no path
  --dry-run            print what would be published and the checks;
                       write nothing

Before signing, publish plans as the launcher does from every version a
stage starts at or leads to, the newest versions of the manifest there, and
every --players-at version, for data and launcher alike. A version without
a path, a stage from a version to itself or stages that loop refuse the
publish (one line each) unless --force. A stage given again with the same
packages is kept as published ("unchanged"), not copied again.

The new serial's folder, NAME.sig and NAME are built in a folder beside
SITE and moved in at the end, packages first: a refused or failed publish
leaves SITE as it was. SITE is made when it is missing. Players accept a
manifest only until it expires: publish again (even with no new stage)
before then. To serve from another machine, publish into a local copy and
upload the package folders first, then NAME.sig and NAME; then run
'updatetool verify'.

Exit codes: 0 published (or, with --dry-run, would be), 1 refused or
failed (reason printed), 2 usage error.
)";

bool IsMirrorUrl(const std::string& url) {
    const bool scheme = url.starts_with("http://") || url.starts_with("https://");
    return scheme && url.ends_with("/") && url.find_first_of(" \t\r\n\"<>") == std::string::npos;
}

bool IsOption(const std::string& a) { return a.starts_with("--"); }

// Reads "--stage KIND FROM TO PACKAGE..." starting at args[i] (the option).
int ParseStage(const std::vector<std::string>& args, std::size_t& i, PublishOptions& options) {
    if (i + 3 >= args.size()) {
        return UsageError("publish", "--stage needs KIND FROM TO and at least one package");
    }
    StageRequest stage;
    const std::string& kind = args[i + 1];
    if (kind != "data" && kind != "launcher") return UsageError("publish", "a stage's KIND is data or launcher");
    stage.isLauncher = kind == "launcher";
    stage.from = args[i + 2];
    stage.to = args[i + 3];
    if (!(stage.from == "*" || IsPublishableVersion(stage.from)) || !IsPublishableVersion(stage.to)) {
        return UsageError("publish", "versions are 1 to 64 characters of A-Z a-z 0-9 . _ - (FROM may be \"*\")");
    }
    i += 4;
    while (i < args.size() && !IsOption(args[i])) stage.packages.emplace_back(args[i++]);
    --i;
    if (stage.packages.empty()) return UsageError("publish", "the stage " + stage.from + " -> " + stage.to + " has no package");
    options.stages.push_back(std::move(stage));
    return kExitOk;
}

int ParseArgs(const std::vector<std::string>& args, PublishOptions& options) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--stage") {
            if (const int rc = ParseStage(args, i, options); rc != kExitOk) return rc;
        } else if (a == "--remove-stage") {
            if (i + 2 >= args.size()) return UsageError("publish", "--remove-stage needs KIND and FROM");
            const std::string& kind = args[i + 1];
            if (kind != "data" && kind != "launcher") return UsageError("publish", "a stage's KIND is data or launcher");
            options.removeStages.emplace_back(kind == "launcher", args[i + 2]);
            i += 2;
        } else if (a == "--no-mirrors") {
            options.mirrors = std::vector<std::string>{};
        } else if (a == "--force") {
            options.force = true;
        } else if (a == "--dry-run") {
            options.dryRun = true;
        } else if (!IsOption(a)) {
            positional.push_back(a);
        } else if (!hasValue) {
            return UsageError("publish", a + " needs a value");
        } else {
            const std::string& v = args[++i];
            if (a == "--key") {
                options.keyFile = v;
            } else if (a == "--latest-data") {
                if (!IsPublishableVersion(v)) return UsageError("publish", "bad version '" + v + "'");
                options.latestData = v;
            } else if (a == "--latest-launcher") {
                if (!IsPublishableVersion(v)) return UsageError("publish", "bad version '" + v + "'");
                options.latestLauncher = v;
            } else if (a == "--players-at") {
                const std::size_t comma = v.find(',');
                const std::string data = v.substr(0, comma);
                const std::string launcher = comma == std::string::npos ? "" : v.substr(comma + 1);
                if (!IsPublishableVersion(data) || (comma != std::string::npos && !IsPublishableVersion(launcher))) {
                    return UsageError("publish", "--players-at takes DATA or DATA,LAUNCHER versions");
                }
                options.playersAt.data.push_back(data);
                if (!launcher.empty()) options.playersAt.launcher.push_back(launcher);
            } else if (a == "--mirror") {
                if (!IsMirrorUrl(v)) return UsageError("publish", "a mirror is an http:// or https:// URL ending in /");
                if (!options.mirrors) options.mirrors = std::vector<std::string>{};
                options.mirrors->push_back(v);
            } else if (a == "--expires-days") {
                char* end = nullptr;
                const long days = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end != '\0' || days < 1 || days > 3650) {
                    return UsageError("publish", "--expires-days takes a whole number of days, 1 to 3650");
                }
                options.expiresDays = static_cast<int>(days);
            } else if (a == "--expires") {
                const auto when = ParseManifestTimeText(v);
                if (!when) return UsageError("publish", "--expires takes YYYY-MM-DDTHH:MM:SSZ");
                options.expires = *when;
            } else if (a == "--manifest") {
                if (v.empty() || v.find('/') != std::string::npos) {
                    return UsageError("publish", "--manifest takes a file name");
                }
                options.manifestName = v;
            } else {
                return UsageError("publish", "unknown option '" + a + "'");
            }
        }
    }
    if (positional.size() != 1) return UsageError("publish", "give the site folder, once");
    if (options.keyFile.empty()) return UsageError("publish", "--key names the secret key file");
    options.site = positional[0];
    return kExitOk;
}

}  // namespace

int RunPublish(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (IsHelp(a)) return PrintUsage(kUsage);
    }
    PublishOptions options;
    if (const int rc = ParseArgs(args, options); rc != kExitOk) return rc;
    PublishResult result;
    std::string failure;
    const bool published = Publish(options, std::time(nullptr), result, failure);
    // A refusal names each problem on its own line of standard error; a
    // forced publish or a dry run reports them with the rest.
    const bool stranding = !result.paths.problems.empty();
    for (const std::string& problem : result.paths.problems) {
        if (!published) {
            std::fprintf(stderr, "updatetool: %s\n", problem.c_str());
        } else {
            std::printf("%s: %s\n", options.force ? "warning" : "problem", problem.c_str());
        }
    }
    if (!published) return Fail(failure);
    for (const std::string& note : result.notes) std::printf("note: %s\n", note.c_str());
    for (const std::string& stage : result.unchanged) std::printf("unchanged: %s (kept as published)\n", stage.c_str());
    const PublishedManifest& m = result.manifest;
    std::printf("%s%s: serial %llu, expires %s, latest data %s, launcher %s, %zu stages, %zu mirrors\n",
                options.dryRun ? "would publish " : "", (options.site / options.manifestName).string().c_str(),
                static_cast<unsigned long long>(m.serial), ManifestTimeText(m.expires).c_str(), m.latestData.c_str(),
                m.latestLauncher.c_str(), m.stages.size(), m.mirrors.size());
    for (const PublishedStage& stage : m.stages) {
        std::printf("  %s %s -> %s\n", stage.isLauncher ? "launcher" : "data", stage.from.c_str(), stage.to.c_str());
        for (const PublishedPackage& p : stage.packages) {
            std::printf("    %s %llu bytes\n", p.name.c_str(), static_cast<unsigned long long>(p.size));
        }
    }
    std::printf("%s with key %s\n", options.dryRun ? "would be signed" : "signed", result.keyFingerprint.c_str());
    // What each player downloads from where he is: the operator's measure of
    // a stage's cost, printed whether or not it goes live.
    for (const StartingPath& path : result.paths.paths) std::printf("%s\n", PathLine(path).c_str());
    if (options.dryRun) {
        std::printf("dry run: nothing written%s\n", stranding ? "; publishing needs --force" : "");
        if (stranding && !options.force) return kExitFailed;
    }
    return kExitOk;
}
