#include "tools/updatetool/PackageBuilder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>

#include <system_error>

#include "launcher/update/DeltaEntry.h"
#include "launcher/update/PackPatchMaker.h"
#include "launcher/update/UnpackPackage.h"
#include "platform/Utf8.h"
#include "tools/updatetool/DeltaMaker.h"
#include "tools/updatetool/TreeScan.h"
#include "tools/updatetool/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

// The installer reads del.lst word by word into a buffer of this size.
constexpr std::size_t kMaxDeleteWord = 254;

struct Item {
    std::string name;
    fs::path source;
    bool folder = false;
};

struct Build {
    const PackageOptions& options;
    PackageReport& report;
    std::string& failure;
    TreeEntries oldEntries;
    TreeEntries newEntries;
    fs::path parts;  // working folder for the pack patches
    std::vector<Item> items;
    std::string deleteList;
    std::map<std::string, DeltaChoice> deltas;  // by item name: the changed files sent as deltas

    bool Refuse(const std::string& text) {
        failure = text;
        return false;
    }
    const TreeEntry* Old(const std::string& relative) const {
        const auto it = oldEntries.find(relative);
        return it == oldEntries.end() ? nullptr : &it->second;
    }
    bool NewHasFile(const std::string& relative) const {
        const auto it = newEntries.find(relative);
        return it != newEntries.end() && !it->second.isFolder;
    }
};

// Removes the working folder on every way out.
struct PartsFolder {
    fs::path path;
    ~PartsFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

bool IsMergeDataName(const std::string& lower) { return lower == "0.dat" || lower == "1.dat" || lower == "2.dat"; }
bool IsIndexName(const std::string& lower) { return lower.size() >= 2 && lower.ends_with(".i"); }
bool IsMergeIndexName(const std::string& lower) {
    return lower == "0.dat.i" || lower == "1.dat.i" || lower == "2.dat.i";
}
bool HasBlank(const std::string& s) { return s.find_first_of(" \t\r\n\v\f") != std::string::npos; }

// A name the installer unpacks to exactly the same relative path.
bool CheckName(Build& b, const std::string& relative) {
    const std::wstring wide = platform::ToWide(relative);
    if (platform::ToUtf8(wide) != relative) return b.Refuse(relative + ": the file name is not UTF-8");
    if (relative.find('\\') != std::string::npos || SanitiseEntryName(wide) != wide) {
        return b.Refuse(relative + ": the installer would unpack this name elsewhere ('\\' or ':')");
    }
    if (LowerFileName(relative) == "del.lst") {
        return b.Refuse(relative + ": the installer takes every del.lst for a list of files to delete");
    }
    return true;
}

bool Unchanged(Build& b, const std::string& relative, bool& same) {
    const TreeEntry* old = b.Old(relative);
    same = false;
    if (!old || old->isFolder) return true;
    b.failure.clear();
    same = SameFileBytes(old->path, b.newEntries.at(relative).path, b.failure);
    return b.failure.empty();
}

bool PlainFile(Build& b, const std::string& relative) {
    bool same = false;
    if (!Unchanged(b, relative, same)) return false;
    if (same) return true;
    const TreeEntry* old = b.Old(relative);
    const fs::path& source = b.newEntries.at(relative).path;
    // Pack indexes keep their own patches; a launcher package is copied by
    // the self-updater, which applies no deltas.
    DeltaChoice delta;
    if (old && !b.options.launcher && !IsIndexName(LowerFileName(relative)) &&
        !ChooseDelta(old->path, source, delta, b.failure)) {
        return false;
    }
    ++(delta.useDelta ? b.report.deltas : old ? b.report.changed : b.report.added);
    if (delta.useDelta) b.deltas.emplace(relative, std::move(delta));
    b.items.push_back({relative, source});
    return true;
}

fs::path PartPath(Build& b, const std::string& relative) {
    const fs::path part = b.parts / relative;
    std::error_code ec;
    fs::create_directories(part.parent_path(), ec);
    return part;
}

void NoteSummary(Build& b, const std::string& relative, const PackPatchSummary& summary) {
    if (summary.wholePack) {
        ++b.report.added;
        b.report.notes.push_back(relative + " is not in the old tree: it travels whole, which installs "
                                 "correctly only on games that lack it too");
    } else {
        ++b.report.packPatches;
    }
    if (summary.headerDiffers) {
        b.report.notes.push_back(relative + ": the index header changed, and a patch never rewrites a "
                                 "game's header");
    }
}

bool MergePatch(Build& b, const std::string& index) {
    const std::string data = index.substr(0, index.size() - 2);
    if (!index.ends_with(".i")) return b.Refuse(index + ": name a merged pack's index <data file>.i in lower case");
    if (!b.NewHasFile(data)) return b.Refuse(index + " has no data file " + data + " beside it to merge from");
    bool sameIndex = false;
    bool sameData = false;
    if (!Unchanged(b, index, sameIndex) || !Unchanged(b, data, sameData)) return false;
    if (sameIndex && sameData) return true;
    PackPatchSummary summary;
    std::wstring why;
    const fs::path part = PartPath(b, data);
    if (!MakePackPatch((b.options.oldTree / data).wstring(), b.newEntries.at(data).path.wstring(), part.wstring(),
                       summary, why)) {
        return b.Refuse(data + ": " + platform::ToUtf8(why));
    }
    if (!summary.wholePack && summary.replaced == 0 && summary.appended == 0) {
        if (summary.headerDiffers) NoteSummary(b, index, summary);
        return true;
    }
    NoteSummary(b, data, summary);
    b.items.push_back({data, part});
    b.items.push_back({index, part.string() + ".i"});
    return true;
}

bool IndexOnlyPatch(Build& b, const std::string& index) {
    bool same = false;
    if (!Unchanged(b, index, same)) return false;
    if (same) return true;
    PackPatchSummary summary;
    std::wstring why;
    const fs::path part = PartPath(b, index);
    if (!MakeIndexOnlyPatch((b.options.oldTree / index).wstring(), b.newEntries.at(index).path.wstring(),
                            part.wstring(), summary, why)) {
        return b.Refuse(index + ": " + platform::ToUtf8(why) + " (the installer reads every .i file as a pack index)");
    }
    if (!summary.wholePack && summary.replaced == 0 && summary.appended == 0) {
        if (summary.headerDiffers) NoteSummary(b, index, summary);
        return true;
    }
    NoteSummary(b, index, summary);
    b.items.push_back({index, part});
    return true;
}

bool PackDataFile(Build& b, const std::string& data) {
    bool same = false;
    if (!Unchanged(b, data, same)) return false;
    if (b.options.tre) {
        if (!same) b.report.notes.push_back(data + " changed, but a .tre package never carries pack data");
        return true;
    }
    if (b.NewHasFile(data + ".i")) return true;  // travels with its index
    if (same) return true;
    return b.Refuse(data + " has no index " + data + ".i beside it: the installer never copies a pack data file "
                    "on its own");
}

// The installation's own copy of the self-updater at the root: a data
// package carrying it would be taken for a launcher package, and a launcher
// package carries the --updater one.
bool SelfUpdater(Build& b, const std::string& relative) {
    bool same = false;
    if (b.options.launcher) {
        b.failure.clear();
        if (!SameFileBytes(b.newEntries.at(relative).path, b.options.updater, b.failure) && b.failure.empty()) {
            b.report.notes.push_back("the new tree's launcherupdate.exe differs from --updater; the package "
                                     "carries --updater");
        }
        return b.failure.empty();
    }
    if (!Unchanged(b, relative, same)) return false;
    if (same) return true;
    return b.Refuse("launcherupdate.exe changed: a data package carrying it would be taken for a launcher "
                    "package; build a launcher package with --updater");
}

bool NewEntry(Build& b, const std::string& relative, const TreeEntry& entry) {
    if (!CheckName(b, relative)) return false;
    const TreeEntry* old = b.Old(relative);
    if (relative == kSelfUpdaterName && !entry.isFolder) return SelfUpdater(b, relative);
    if (old && old->isFolder != entry.isFolder) {
        return b.Refuse(relative + " is a " + (entry.isFolder ? "folder" : "file") + " in the new tree but a " +
                        (old->isFolder ? "folder" : "file") + " in the old one; publish the removal first");
    }
    if (entry.isFolder) {
        if (!old && entry.isEmptyFolder) {
            ++b.report.folders;
            b.items.push_back({relative, {}, true});
        }
        return true;
    }
    if (b.options.launcher) return PlainFile(b, relative);
    const std::string lower = LowerFileName(relative);
    if (IsMergeDataName(lower)) return PackDataFile(b, relative);
    if (IsIndexName(lower) && !b.options.tre) {
        return IsMergeIndexName(lower) ? MergePatch(b, relative) : IndexOnlyPatch(b, relative);
    }
    return PlainFile(b, relative);
}

bool RemovedEntries(Build& b) {
    int launcherLeft = 0;
    int foldersLeft = 0;
    for (const auto& [relative, entry] : b.oldEntries) {
        if (b.newEntries.count(relative)) continue;
        if (entry.isFolder) {
            ++foldersLeft;
        } else if (b.options.launcher) {
            ++launcherLeft;
        } else if (HasBlank(relative) || relative.size() > kMaxDeleteWord ||
                   platform::ToUtf8(platform::ToWide(relative)) != relative) {
            return b.Refuse(relative + " was removed, but del.lst cannot name it (blanks, not UTF-8, or longer "
                            "than 254 bytes)");
        } else {
            b.deleteList += relative + "\r\n";
            ++b.report.deleted;
        }
    }
    if (foldersLeft > 0) {
        b.report.notes.push_back(std::to_string(foldersLeft) + " removed folders stay on players' machines "
                                 "(del.lst deletes files only)");
    }
    if (launcherLeft > 0) {
        b.report.notes.push_back(std::to_string(launcherLeft) + " files removed from the launcher tree stay "
                                 "on players' machines: a launcher package carries no del.lst");
    }
    return true;
}

bool Inside(const fs::path& path, const fs::path& folder) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(path, ec);
    const fs::path f = fs::weakly_canonical(folder, ec);
    const auto [end, _] = std::mismatch(f.begin(), f.end(), p.begin(), p.end());
    return end == f.end();
}

// The launcher installs no file or folder writable by group or others, so
// such bits in the operator's tree never reach a player; the operator is
// told, since a tree built on a shared mount usually carries them by
// mistake.
void WarnOfWriteBits(const Item& item) {
    struct stat st {};
    if (::stat(item.source.c_str(), &st) != 0 || (st.st_mode & 022) == 0) return;
    std::fprintf(stderr, "updatetool: warning: %s is writable by group or others (mode %04o); it installs as %04o\n",
                 item.name.c_str(), static_cast<unsigned>(st.st_mode & 07777),
                 static_cast<unsigned>(st.st_mode & 0755));
}

bool AddDelta(ZipWriter& zip, const Item& item, const DeltaChoice& delta, std::string& failure) {
    struct stat st {};
    if (::stat(item.source.c_str(), &st) != 0) {
        failure = "cannot read " + item.source.string();
        return false;
    }
    return zip.AddStored(item.name, delta.payload, st.st_mode, delta.size, delta.crc, failure);
}

bool WriteArchive(Build& b) {
    const fs::path temp = b.options.output.string() + ".tmp-" + std::to_string(::getpid());
    ZipWriter zip;
    bool ok = zip.Create(temp, b.failure);
    std::set<std::string> deltaNames;
    for (const Item& item : b.items) {
        if (!ok) break;
        if (!item.source.empty()) WarnOfWriteBits(item);
        const auto delta = b.deltas.find(item.name);
        if (delta != b.deltas.end()) deltaNames.insert(item.name);
        ok = item.folder                 ? zip.AddFolder(item.name, b.failure)
             : delta != b.deltas.end() ? AddDelta(zip, item, delta->second, b.failure)
                                       : zip.AddFile(item.name, item.source, b.failure);
    }
    if (ok && !b.deleteList.empty()) ok = zip.AddBytes("del.lst", b.deleteList, b.failure);
    if (ok && b.options.launcher) ok = zip.AddFile(kSelfUpdaterName, b.options.updater, b.failure);
    if (ok) ok = zip.Close(b.failure);
    if (ok) ok = DeltaEntry::MarkEntries(temp.string(), deltaNames, b.failure);
    std::error_code ec;
    if (ok) fs::rename(temp, b.options.output, ec);
    if (ok && ec) ok = b.Refuse("cannot rename " + temp.string() + " to " + b.options.output.string());
    if (!ok) fs::remove(temp, ec);
    return ok;
}

}  // namespace

bool BuildPackage(const PackageOptions& options, PackageReport& report, std::string& failure) {
    report = PackageReport{};
    Build b{options, report, failure, {}, {}, {}, {}, {}, {}};
    if (Inside(options.output, options.newTree) || Inside(options.output, options.oldTree)) {
        return b.Refuse("write the package outside both trees");
    }
    if (options.launcher && !fs::is_regular_file(options.updater)) {
        return b.Refuse("the self-updater " + options.updater.string() + " is not a file");
    }
    if (!ScanTree(options.oldTree, b.oldEntries, failure) || !ScanTree(options.newTree, b.newEntries, failure)) {
        return false;
    }
    std::string parts = options.output.string() + ".parts-XXXXXX";
    if (!::mkdtemp(parts.data())) return b.Refuse("cannot make a working folder beside " + options.output.string());
    PartsFolder partsFolder{parts};
    b.parts = parts;
    for (const auto& [relative, entry] : b.newEntries) {
        if (!NewEntry(b, relative, entry)) return false;
    }
    if (!RemovedEntries(b)) return false;
    if (b.items.empty() && b.deleteList.empty()) {
        return b.Refuse("the old and new trees hold the same files: there is nothing to package");
    }
    return WriteArchive(b);
}
