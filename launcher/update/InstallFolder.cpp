#include "launcher/update/InstallFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cwctype>
#include <memory>
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

bool EndsWith(const std::wstring& s, const wchar_t* tail) {
    const std::wstring t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

void Count(const Walk& walk, std::uint64_t bytes) {
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!frame) return;
    const auto done = static_cast<unsigned>(frame->installDone.load()) + static_cast<unsigned>(bytes);
    frame->installDone = static_cast<int>(done);
    if (walk.total != 0) ReportInstallProgress(static_cast<double>(done) / walk.total * 100.0);
}

// Copies `from` to the new file `to` in full, flushed, with `from`'s permission bits.
bool CopyFileChecked(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    struct stat st {};
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, st.st_mode & 0777);
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
    ok = ::fchmod(out, st.st_mode & 0777) == 0 && ok;
    ok = ::fdatasync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

// Journals `target` as replaced (moved aside) or new, whichever it is.
bool JournalTarget(InstallJournal& journal, const std::wstring& target) {
    struct stat st {};
    return StatPath(target, st) ? journal.MoveAside(target) : journal.RecordNew(target);
}

// The new file is written beside its target and renamed over it, so the
// target is at every moment the old file or the whole new one.
bool ReplaceFile(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    const std::wstring temp = target + L".install~";
    const std::string narrowTemp = Narrow(temp);
    if (!walk.journal.RecordNew(temp)) return false;
    // A regular package's folder is deleted afterwards: its file is moved
    // when it lies on the game's disk, instead of copied.
    const bool moved = !walk.isTre && ::rename(Narrow(full).c_str(), narrowTemp.c_str()) == 0;
    if (!moved && !CopyFileChecked(Narrow(full), narrowTemp)) return false;
    return JournalTarget(walk.journal, target) && ::rename(narrowTemp.c_str(), Narrow(target).c_str()) == 0;
}

// Journals a pack index (small: copied) and its data file (only its length
// and the bytes the merge overwrites), then merges.
bool MergeIntoPack(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    const std::wstring data = target.substr(0, target.size() - 2);
    struct stat st {};
    if (!(StatPath(target, st) ? walk.journal.SaveCopy(target) : walk.journal.RecordNew(target))) return false;
    if (!StatPath(data, st)) {
        if (!walk.journal.RecordNew(data)) return false;
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

bool InstallFile(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    std::wstring lower = full;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    RUNLOG_MESSAGE(L"process file is " + full + L"!");
    struct stat st {};
    Count(walk, StatPath(full, st) ? static_cast<std::uint64_t>(st.st_size) : 0);
    if (EndsWith(lower, L".i") && !walk.isTre) {
        if (EndsWith(lower, L"/0.dat.i") || EndsWith(lower, L"/1.dat.i") || EndsWith(lower, L"/2.dat.i"))
            return MergeIntoPack(walk, full, target);
        return PatchIndex(walk, full, target);
    }
    if (EndsWith(lower, L"/0.dat") || EndsWith(lower, L"/1.dat") || EndsWith(lower, L"/2.dat")) return true;
    if (EndsWith(lower, L"/del.lst")) return ProcessDeleteList(full, walk.appDir, walk.journal);
    if (ReplaceFile(walk, full, target)) return true;
    if (EndsWith(lower, L"httpproxy.dll")) {
        RUNLOG_WARNING(target + L" cannot be replaced, kept");
        return true;
    }
    return false;
}

bool WalkFolder(const Walk& walk, const std::wstring& current);

bool InstallSubfolder(const Walk& walk, const std::wstring& full, const std::wstring& target) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Narrow(full).c_str()), ::closedir);
    bool empty = true;
    if (dir) {
        while (dirent* e = ::readdir(dir.get())) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") {
                empty = false;
                break;
            }
        }
    }
    struct stat st {};
    if (!empty && StatPath(target, st) && S_ISDIR(st.st_mode)) return WalkFolder(walk, full);
    Count(walk, 1);
    if (StatPath(target, st)) {
        // An empty package folder over an existing game folder adds nothing.
        return CopyFolderTree(full, target);
    }
    if (!walk.journal.RecordNew(target)) return false;
    if (!walk.isTre && ::rename(Narrow(full).c_str(), Narrow(target).c_str()) == 0) return true;
    return CopyFolderTree(full, target);
}

bool WalkFolder(const Walk& walk, const std::wstring& current) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Narrow(current).c_str()), ::closedir);
    if (!dir) return false;
    std::vector<std::wstring> names;
    while (dirent* e = ::readdir(dir.get())) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(platform::ToWide(n));
    }
    for (const std::wstring& name : names) {
        const std::wstring full = current + L"/" + name;
        const std::wstring target = walk.appDir + full.substr(walk.root.size() + 1);
        struct stat st {};
        if (!StatPath(full, st)) continue;  // moved in as part of its folder
        const bool ok = S_ISDIR(st.st_mode) ? InstallSubfolder(walk, full, target) : InstallFile(walk, full, target);
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool InstallFolder(const std::wstring& current, const std::wstring& root, bool isTre,
                   const std::wstring& appDir, InstallJournal& journal, unsigned installTotal) {
    const Walk walk{root, isTre, appDir, journal, installTotal};
    return WalkFolder(walk, current);
}
