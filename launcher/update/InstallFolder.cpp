#include "launcher/update/InstallFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>
#include <memory>
#include <set>
#include <vector>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/update/DeleteList.h"
#include "launcher/update/FolderTree.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallProgress.h"
#include "launcher/update/PackPatch.h"
#include "platform/Utf8.h"

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

struct Walk {
    const std::wstring& root;
    bool isTre;
    const std::wstring& appDir;
    InstallJournal& journal;
    unsigned total;
};

std::string Narrow(const std::wstring& s) { return platform::ToUtf8(s); }

bool StatPath(const std::wstring& path, struct stat& st) { return ::lstat(Narrow(path).c_str(), &st) == 0; }

// A game folder may be the player's link to a folder elsewhere (data on
// another disk): it counts as the folder it leads to.
bool IsFolder(const std::wstring& path) {
    struct stat st {};
    return ::stat(Narrow(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EndsWith(const std::wstring& s, const wchar_t* tail) {
    const std::wstring t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The name tests are made on lower-case text; targets keep the package's case.
std::wstring Lower(const std::wstring& s) {
    std::wstring lower = s;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lower;
}

// Counts an entry through the main window's probe: a file's size, 1 for a
// folder (the probe writes its "no file" line to the run log for it).
void Count(const Walk& walk, const std::wstring& full) {
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!frame) return;
    const unsigned done = static_cast<unsigned>(frame->installDone.load()) + frame->ProbeFileSize(full);
    frame->installDone = static_cast<int>(done);
    if (walk.total != 0) ReportInstallProgress(static_cast<double>(done) / walk.total * 100.0);
}

// Copies `from` to the new file `to` in full, flushed, with `from`'s permission bits.
bool CopyFileChecked(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    struct stat st {};
    ::fstat(in, &st);
    // Never writable by group or others; the executable bits stay.
    const mode_t mode = st.st_mode & 0755;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (out < 0) {
        ::close(in);
        return false;
    }
    std::vector<char> buffer(kCopyBlock);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) ok = false;
        if (got <= 0) break;
        if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got) {
            ok = false;
            break;
        }
    }
    ok = ::fchmod(out, mode) == 0 && ok;
    ok = ::fdatasync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

// Plain files are journaled in batches: the records of up to this many
// files go to disk under one flush, then the files are put in place. A
// flush costs milliseconds; one per file was most of an install's time.
constexpr std::size_t kBatchFiles = 256;

// A plain file of the package on its way over the game's copy.
struct Replacement {
    std::wstring full;
    std::wstring target;
    std::string aside;  // where the game's copy goes; empty when the target is new
    std::wstring temp;  // beside the target, a name no file of the game has
};

// `taken`: the batch's targets and the temporaries chosen so far, which
// may not exist yet when the name is chosen.
std::wstring FreeNameBeside(const std::wstring& target, const std::set<std::wstring>& taken) {
    struct stat st {};
    std::wstring temp = target + L".install~";
    for (int n = 1; StatPath(temp, st) || taken.count(temp); ++n) temp = target + L".install~" + std::to_wstring(n);
    return temp;
}

// Journals the batch: the file written beside each target, and each target
// as moved aside or new. Nothing of the game changes before this returns.
bool JournalBatch(const Walk& walk, std::vector<Replacement>& batch) {
    std::set<std::wstring> taken;
    for (const Replacement& r : batch) taken.insert(r.target);
    for (Replacement& r : batch) {
        struct stat st {};
        const bool exists = StatPath(r.target, st);
        // A file never replaces a game folder: the folder would be moved
        // aside whole and deleted at the commit.
        if (exists && S_ISDIR(st.st_mode)) {
            RUNLOG_ERROR(r.target + L" is a folder; the package's file cannot replace it");
            return false;
        }
        r.temp = FreeNameBeside(r.target, taken);
        taken.insert(r.temp);
        if (!walk.journal.RecordNew(r.temp, false)) return false;
        if (!(exists ? walk.journal.RecordMoveAside(r.target, r.aside) : walk.journal.RecordNew(r.target, false)))
            return false;
    }
    return walk.journal.Flush();
}

// The new file is written beside its target and renamed over it, so the
// target is at every moment the old file or the whole new one. A regular
// package's folder is deleted afterwards: its file is moved when it lies on
// the game's disk, instead of copied. A failure leaves the game's copy in
// place and no file beside it.
bool PutInPlace(const Walk& walk, const Replacement& r) {
    const std::string full = Narrow(r.full), target = Narrow(r.target), temp = Narrow(r.temp);
    const bool moved = !walk.isTre && ::rename(full.c_str(), temp.c_str()) == 0;
    bool ok = moved || CopyFileChecked(full, temp);
    const bool aside = ok && !r.aside.empty() && ::rename(target.c_str(), r.aside.c_str()) == 0;
    ok = ok && (r.aside.empty() || aside) && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        if (aside) ::rename(r.aside.c_str(), target.c_str());
        ::unlink(temp.c_str());
    }
    return ok;
}

bool InstallPlainFile(const Walk& walk, const Replacement& r) {
    RUNLOG_MESSAGE_JOINED(L"process file is " + Lower(r.full) + L"!");
    Count(walk, r.full);
    if (PutInPlace(walk, r)) return true;
    if (EndsWith(Lower(r.full), L"httpproxy.dll")) {
        RUNLOG_WARNING(r.target + L" cannot be replaced, kept");
        return true;
    }
    return false;
}

// Journals a pack index (small: copied) and its data file (only its length
// and the bytes the merge overwrites), then merges.
bool MergeIntoPack(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    const std::wstring data = target.substr(0, target.size() - 2);
    struct stat st {};
    if (!(StatPath(target, st) ? walk.journal.SaveCopy(target) : walk.journal.RecordNew(target))) return false;
    if (!StatPath(data, st)) {
        // The new data file is copied under its ".part" name first.
        if (!walk.journal.RecordNew(data + L".part", false) || !walk.journal.RecordNew(data)) return false;
        return MergePackPatch(full, target);
    }
    if (!walk.journal.RecordLength(data, static_cast<std::uint64_t>(st.st_size))) return false;
    return MergePackPatch(full, target, nullptr, [&](const std::vector<PackRange>& ranges) {
        return walk.journal.SaveRegions(data, ranges);
    });
}

bool PatchIndex(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    struct stat st {};
    if (!(StatPath(target, st) ? walk.journal.SaveCopy(target) : walk.journal.RecordNew(target))) return false;
    return PatchIndexOnly(target, full);
}

// True for a file the dispatch copies over the game's copy (the table's
// last row), which goes through the batches.
bool IsPlainFile(const Walk& walk, const std::wstring& full) {
    const std::wstring lower = Lower(full);
    if (EndsWith(lower, L".i") && !walk.isTre) return false;
    if (EndsWith(lower, L"/0.dat") || EndsWith(lower, L"/1.dat") || EndsWith(lower, L"/2.dat")) return false;
    return !EndsWith(lower, L"/del.lst");
}

// Every other file: pack merges, index patches, pack data, deletion lists.
bool InstallFile(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    const std::wstring lower = Lower(full);
    RUNLOG_MESSAGE_JOINED(L"process file is " + lower + L"!");
    Count(walk, full);
    if (EndsWith(lower, L".i") && !walk.isTre) {
        if (EndsWith(lower, L"/0.dat.i") || EndsWith(lower, L"/1.dat.i") || EndsWith(lower, L"/2.dat.i"))
            return MergeIntoPack(walk, full, target);
        return PatchIndex(walk, full, target);
    }
    if (EndsWith(lower, L"/del.lst")) return ProcessDeleteList(full, walk.appDir, walk.journal);
    return true;  // pack data: read by its index's merge
}

bool WalkFolder(const Walk& walk, const std::wstring& current);

bool InstallSubfolder(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Narrow(full).c_str()), ::closedir);
    // A package folder that cannot be listed is never taken for empty: its
    // files would count as installed without being there.
    if (!dir) {
        RUNLOG_ERROR(full + L" cannot be read; the package cannot be installed");
        return false;
    }
    bool empty = true;
    while (dirent* e = ::readdir(dir.get())) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") {
            empty = false;
            break;
        }
    }
    const bool targetIsFolder = IsFolder(target);
    if (!empty && targetIsFolder) return WalkFolder(walk, full);
    Count(walk, full);
    // An empty package folder over an existing game folder adds nothing.
    if (targetIsFolder) return true;
    struct stat st {};
    // A game file where the package has a folder is put aside like any
    // replaced file, so the rollback can bring it back.
    if (StatPath(target, st) && !walk.journal.MoveAside(target)) return false;
    if (!walk.journal.RecordNew(target)) return false;
    if (!walk.isTre && ::rename(Narrow(full).c_str(), Narrow(target).c_str()) == 0) return true;
    return CopyFolderTree(full, target);
}

bool WalkFolder(const Walk& walk, const std::wstring& current) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Narrow(current).c_str()), ::closedir);
    if (!dir) {
        RUNLOG_ERROR(current + L" cannot be read; the package cannot be installed");
        return false;
    }
    std::vector<std::wstring> names;
    errno = 0;
    while (dirent* e = ::readdir(dir.get())) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(platform::ToWide(n));
    }
    if (errno != 0) {
        RUNLOG_ERROR(current + L" cannot be listed in full; the package cannot be installed");
        return false;
    }
    // Entries are dispatched in listing order: a batch of plain files is
    // finished before any other entry is.
    std::vector<Replacement> batch;
    const auto finishBatch = [&] {
        bool ok = batch.empty() || JournalBatch(walk, batch);
        for (std::size_t i = 0; ok && i < batch.size(); ++i) ok = InstallPlainFile(walk, batch[i]);
        batch.clear();
        return ok;
    };
    for (const std::wstring& name : names) {
        const std::wstring full = current + L"/" + name;
        const std::wstring target = walk.appDir + full.substr(walk.root.size() + 1);
        struct stat st {};
        // An entry of the unpacked package that vanished was never
        // installed: the install fails rather than count it done.
        if (!StatPath(full, st)) {
            RUNLOG_ERROR(full + L" of the package cannot be read; the package cannot be installed");
            return false;
        }
        if (current == walk.root && IsJournalPath(name)) {
            RUNLOG_WARNING(full + L" has the name of the install journal; skipped");
            continue;
        }
        if (!S_ISDIR(st.st_mode) && IsPlainFile(walk, full)) {
            batch.push_back({full, target, {}, {}});
            if (batch.size() == kBatchFiles && !finishBatch()) return false;
            continue;
        }
        if (!finishBatch()) return false;
        const bool ok = S_ISDIR(st.st_mode) ? InstallSubfolder(walk, full, target) : InstallFile(walk, full, target);
        if (!ok) return false;
    }
    return finishBatch();
}

}  // namespace

bool InstallFolder(const std::wstring& current, const std::wstring& root, bool isTre,
                   const std::wstring& appDir, InstallJournal& journal, unsigned installTotal) {
    const Walk walk{root, isTre, appDir, journal, installTotal};
    return WalkFolder(walk, current);
}
