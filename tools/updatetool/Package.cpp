// updatetool package: one update package from two trees.

#include <cstdio>

#include "tools/updatetool/PackageBuilder.h"
#include "tools/updatetool/UpdateTool.h"

namespace {

constexpr const char* kUsage = R"(Usage: updatetool package [--tre] OLD NEW OUT.upd|OUT.tre
       updatetool package --launcher --updater FILE OLD NEW OUT.upd

Builds an update package that turns installation tree OLD (the game as
players have it) into tree NEW. Both trees mirror the installation folder.
The package holds:
  - new files, whole; changed files whole or, when that is at least 10 %
    smaller, as a delta against the old file (not in --launcher packages,
    and not for pack indexes; files above 256 MiB always whole);
  - for a changed pack (0.dat, 1.dat or 2.dat with its .i index), a merge
    patch holding only the changed blobs, made by the launcher's own patch
    maker; for any other changed .i index, an index-only patch;
  - del.lst, naming the files OLD has and NEW lacks;
  - empty folders new in NEW;
and nothing for unchanged files. For a full package (a stage from "*"),
give an empty folder as OLD.

  --tre          an index-only package (OUT must end in .tre): index files
                 travel whole and replace the game's, pack data files never
                 travel.
  --launcher     a launcher package: NEW holds the new launcher files, which
                 travel whole; no del.lst.
  --updater FILE the self-updater program, carried as launcherupdate.exe at
                 the package root (required with --launcher).

Exit codes: 0 written, 1 the package cannot be made (reason printed),
2 usage error.
)";

bool EndsWith(const std::string& s, const std::string& tail) { return s.ends_with(tail); }

}  // namespace

int RunPackage(const std::vector<std::string>& args) {
    PackageOptions options;
    std::vector<std::string> paths;
    bool updaterGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (IsHelp(a)) return PrintUsage(kUsage);
        if (a == "--tre") {
            options.tre = true;
        } else if (a == "--launcher") {
            options.launcher = true;
        } else if (a == "--updater") {
            if (i + 1 >= args.size()) return UsageError("package", "--updater needs the self-updater's path");
            options.updater = args[++i];
            updaterGiven = true;
        } else if (a.starts_with("--")) {
            return UsageError("package", "unknown option '" + a + "'");
        } else {
            paths.push_back(a);
        }
    }
    if (paths.size() != 3) return UsageError("package", "give OLD, NEW and the output package");
    if (options.tre && options.launcher) return UsageError("package", "--tre and --launcher exclude each other");
    if (options.launcher != updaterGiven) {
        return UsageError("package", options.launcher ? "--launcher needs --updater" : "--updater needs --launcher");
    }
    const std::string& out = paths[2];
    if (!EndsWith(out, options.tre ? ".tre" : ".upd")) {
        return UsageError("package", std::string("the output must end in ") + (options.tre ? ".tre" : ".upd"));
    }
    options.oldTree = paths[0];
    options.newTree = paths[1];
    options.output = out;

    PackageReport report;
    std::string failure;
    if (!BuildPackage(options, report, failure)) return Fail(failure);
    for (const std::string& note : report.notes) std::printf("note: %s\n", note.c_str());
    std::printf("%s: %d added, %d replaced, %d deltas, %d pack patches, %d deleted, %d empty folders%s\n",
                out.c_str(), report.added, report.changed, report.deltas, report.packPatches, report.deleted,
                report.folders,
                options.launcher ? ", with launcherupdate.exe" : "");
    return kExitOk;
}
