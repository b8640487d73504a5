// updatetool prune: removes the serial folders a site's manifest no longer
// names.

#include <cstdio>
#include <system_error>

#include "liveupdate/ManifestCheck.h"
#include "liveupdate/ManifestReader.h"
#include "tools/updatetool/SiteManifest.h"
#include "tools/updatetool/UpdateTool.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = R"(Usage: updatetool prune SITE [--dry-run] [--manifest NAME]

Removes the serial folders of SITE (folders named by digits alone) in which
the manifest SITE/NAME names no package: folders of stages replaced or
removed since, and a folder left by an interrupted publish. Nothing else in
SITE is touched. Run it with --dry-run first; never while a publish into
SITE is running. On a served copy elsewhere, remove the same folders after
the manifest naming none of them is uploaded.

  --dry-run        print what would be removed; remove nothing
  --manifest NAME  the manifest's file name (default version_newStyle.xml)

Exit codes: 0 pruned (or nothing to prune), 1 the manifest cannot be read
or a folder cannot be removed, 2 usage error.
)";

}  // namespace

int RunPrune(const std::vector<std::string>& args) {
    fs::path site;
    std::string manifestName = "version_newStyle.xml";
    bool dryRun = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (IsHelp(a)) return PrintUsage(kUsage);
        if (a == "--dry-run") {
            dryRun = true;
        } else if (a == "--manifest" && i + 1 < args.size()) {
            manifestName = args[++i];
        } else if (a.starts_with("--")) {
            return UsageError("prune", a == "--manifest" ? "--manifest needs a file name" : "unknown option '" + a + "'");
        } else if (!site.empty()) {
            return UsageError("prune", "give one site folder");
        } else {
            site = a;
        }
    }
    if (site.empty()) return UsageError("prune", "give the site folder");
    // Without a manifest every folder would look unnamed: nothing is
    // removed on a guess.
    std::string bytes;
    std::string failure;
    if (!ReadWholeFile(site / manifestName, kMaxManifestBytes, bytes, failure)) return Fail(failure);
    PublishedManifest manifest;
    std::string reason;
    if (!ReadManifestText(bytes, manifest, reason)) {
        return Fail(PathText(site / manifestName) + " breaks a rule: " + reason + "; nothing removed");
    }
    const std::vector<std::string> unnamed = UnnamedSerialFolders(site, manifest);
    for (const std::string& folder : unnamed) {
        const fs::path path = site / folder;
        if (dryRun) {
            std::printf("would remove %s\n", PathText(path).c_str());
            continue;
        }
        std::error_code ec;
        fs::remove_all(path, ec);
        if (ec) return Fail("cannot remove " + PathText(path) + ": " + ec.message());
        std::printf("removed %s\n", PathText(path).c_str());
    }
    if (unnamed.empty()) std::printf("%s: every serial folder is named by the manifest\n", PathText(site).c_str());
    return kExitOk;
}
