#include "launcher/update/InstallJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "launcher/RunLog.h"
#include "platform/JournalRecord.h"
#include "platform/Utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kJournalName[] = L"install.journal";
constexpr wchar_t kCommittedName[] = L"install.journal.done";
constexpr wchar_t kAsideFolder[] = L"install.journal.d/";
// An original on another file system than the installation folder (a game
// folder linked to another disk) is kept beside itself under this prefix, as
// a rename cannot cross file systems.
constexpr char kBesidePrefix[] = ".install.journal.";
constexpr std::size_t kBlock = 1 << 20;
constexpr int kAsidesPerFolder = 1000;
constexpr unsigned long long kUnknownDevice = ~0ull;

InstallJournal::StepHook stepHook;  // tests only; set while no install runs

std::atomic<std::int64_t> spentNanoseconds{0};

// Adds the lifetime of the scope to the journal's time.
class JournalTime {
public:
    JournalTime() : start_(std::chrono::steady_clock::now()) {}
    ~JournalTime() {
        spentNanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_)
                                .count();
    }
    JournalTime(const JournalTime&) = delete;
    JournalTime& operator=(const JournalTime&) = delete;

private:
    std::chrono::steady_clock::time_point start_;
};
int stepCount = 0;

bool StepFails() {
    return stepHook && !stepHook(stepCount++);
}

std::string Narrow(const std::wstring& path) { return platform::ToUtf8(path); }

bool SyncFolderOf(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Flushes every file of the file system holding `folder` (the package's
// bytes, which the unpack and the copies leave in the page cache).
bool SyncFileSystemOf(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Copies `size` bytes of `from` at `offset` into the new file `to`, flushed.
bool CopyBytes(const std::string& from, std::uint64_t offset, std::uint64_t size, const std::string& to,
               bool wholeFile) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    std::vector<char> buffer(kBlock);
    bool ok = true;
    std::uint64_t done = 0;
    while (ok && (wholeFile || done < size)) {
        const std::size_t want = wholeFile ? kBlock : static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, size - done));
        const ssize_t got = ::pread(in, buffer.data(), want, static_cast<off_t>(offset + done));
        if (got < 0) ok = false;
        if (got <= 0) break;
        ok = ::write(out, buffer.data(), static_cast<std::size_t>(got)) == got;
        done += static_cast<std::uint64_t>(got);
    }
    if (!wholeFile && done != size) ok = false;
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

// The saved-regions file: per range, its offset and size (8 bytes each,
// host order) followed by its bytes.
bool SaveRanges(const std::string& from, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges,
                const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    std::vector<char> buffer;
    bool ok = true;
    for (const auto& [offset, size] : ranges) {
        const std::uint64_t head[2] = {offset, size};
        buffer.resize(sizeof head + size);
        std::memcpy(buffer.data(), head, sizeof head);
        ok = ::pread(in, buffer.data() + sizeof head, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size) &&
             ::write(out, buffer.data(), buffer.size()) == static_cast<ssize_t>(buffer.size());
        if (!ok) break;
    }
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

// Writes every range saved in `saved` back into `path`.
bool WriteBack(const std::string& saved, const std::string& path) {
    const int in = ::open(saved.c_str(), O_RDONLY);
    if (in < 0) return false;
    const int out = ::open(path.c_str(), O_WRONLY);
    if (out < 0) {
        ::close(in);
        return false;
    }
    std::vector<char> buffer;
    bool ok = true;
    for (;;) {
        std::uint64_t head[2];
        const ssize_t got = ::read(in, head, sizeof head);
        if (got == 0) break;
        if (got != static_cast<ssize_t>(sizeof head) || head[1] > (1ull << 32)) {
            ok = false;
            break;
        }
        buffer.resize(head[1]);
        ok = ::read(in, buffer.data(), buffer.size()) == static_cast<ssize_t>(buffer.size()) &&
             ::pwrite(out, buffer.data(), buffer.size(), static_cast<off_t>(head[0])) ==
                 static_cast<ssize_t>(buffer.size());
        if (!ok) break;
    }
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

// Undoes one record; true when its change is no longer in the game.
bool UndoRecord(const std::vector<std::string>& r) {
    std::error_code ec;
    if (r[0] == "N" && r.size() == 2) {
        fs::remove_all(r[1], ec);
        return !Exists(r[1]);
    }
    if ((r[0] == "M" || r[0] == "C") && r.size() == 3) {
        if (!Exists(r[2])) return true;  // never moved, or already put back
        if (fs::is_directory(fs::symlink_status(r[1], ec)) && !fs::is_directory(fs::symlink_status(r[2], ec)))
            fs::remove_all(r[1], ec);
        if (fs::is_directory(fs::symlink_status(r[2], ec))) fs::remove_all(r[1], ec);
        return ::rename(r[2].c_str(), r[1].c_str()) == 0;
    }
    if (r[0] == "L" && r.size() == 3) {
        if (!Exists(r[1])) return true;
        return ::truncate(r[1].c_str(), static_cast<off_t>(std::stoull(r[2]))) == 0;
    }
    if (r[0] == "B" && r.size() == 3) {
        if (!Exists(r[1])) return true;
        return WriteBack(r[2], r[1]);
    }
    return false;
}

// Rolls back the journal of `appDir`; `undone` counts the records undone.
bool RollBackJournal(const std::wstring& appDir, int& undone) {
    const std::string journal = Narrow(appDir + kJournalName);
    std::vector<std::vector<std::string>> records;
    if (!platform::ReadJournalRecords(journal, records)) return false;
    bool ok = true;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        bool done = false;
        try {
            done = UndoRecord(*it);
        } catch (const std::exception&) {  // a damaged number in the record
            done = false;
        }
        if (done) ++undone;
        ok = ok && done;
    }
    if (!ok) return false;
    if (::unlink(journal.c_str()) != 0) return false;
    SyncFolderOf(journal);
    std::error_code ec;
    fs::remove_all(Narrow(appDir + kAsideFolder), ec);
    return true;
}

}  // namespace

InstallJournal::~InstallJournal() {
    if (file_) RollBack();
}

std::chrono::nanoseconds InstallJournal::TimeSpent() { return std::chrono::nanoseconds(spentNanoseconds.load()); }

void InstallJournal::SetStepHookForTesting(StepHook hook) {
    stepHook = std::move(hook);
    stepCount = 0;
}

bool InstallJournal::Begin(const std::wstring& appDir) {
    const JournalTime time;
    appDir_ = appDir;
    asideCount_ = 0;
    asideFolderMade_ = -1;
    const std::string journal = Narrow(appDir + kJournalName);
    fileSystems_.clear();
    const int fd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    owned_ = true;
    // Held while the journal is open: a start-up rollback elsewhere leaves
    // a running install alone, and a killed one frees the lock with it.
    ::flock(fd, LOCK_EX | LOCK_NB);
    NoteFileSystemOf(journal);
    // The installation's own file system, against which every original's
    // is told apart (one stat here rather than one per replaced file).
    struct stat home {};
    homeDevice_ =
        ::stat(Narrow(appDir).c_str(), &home) == 0 ? static_cast<unsigned long long>(home.st_dev) : kUnknownDevice;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(journal.c_str());
        owned_ = false;
        return false;
    }
    std::error_code ec;
    fs::remove_all(Narrow(appDir + kAsideFolder), ec);
    fs::create_directories(Narrow(appDir + kAsideFolder), ec);
    if (ec || !SyncFolderOf(journal)) {
        RollBack();
        return false;
    }
    return true;
}

bool InstallJournal::Append(const std::string& line, bool flush) {
    if (!file_ || StepFails()) return false;
    {
        const JournalTime time;
        const std::string text = line + "\n";
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) return false;
    }
    return !flush || Flush();
}

bool InstallJournal::Flush() {
    const JournalTime time;
    return file_ && std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
}

std::wstring InstallJournal::NextAsidePath() {
    // The originals are kept a thousand to a subfolder. In one folder of a
    // hundred thousand names every rename into it and every removal at the
    // commit lands somewhere else in its index, so each flush of a large
    // install would write more of it per file; a subfolder's index stays a
    // few blocks, and consecutive originals share it.
    const int number = asideCount_++;
    const int subfolder = number / kAsidesPerFolder;
    const std::wstring folder = appDir_ + kAsideFolder + std::to_wstring(subfolder) + L"/";
    if (subfolder != asideFolderMade_) {
        // A folder that cannot be made fails the rename or copy into it.
        // Its name is on disk before any original moves into it: a power
        // loss must not take the folder and with it the originals the
        // records rely on.
        std::error_code ec;
        if (fs::create_directories(Narrow(folder), ec)) SyncFolderOf(Narrow(folder.substr(0, folder.size() - 1)));
        asideFolderMade_ = subfolder;
    }
    return folder + std::to_wstring(number);
}

void InstallJournal::NoteFileSystemOf(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0) return;
    fileSystems_.emplace(static_cast<unsigned long long>(st.st_dev), folder);
}

bool InstallJournal::RecordNew(const std::wstring& path, bool flush) {
    // New names may land on another disk (a game folder linked there).
    NoteFileSystemOf(Narrow(path));
    return Append("N\t" + platform::JournalField(Narrow(path)), flush);
}

std::string InstallJournal::MoveAsidePathFor(const std::wstring& path) {
    const std::string target = Narrow(path);
    const std::string folder = fs::path(target).parent_path().string();
    struct stat here {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &here) != 0 || homeDevice_ == kUnknownDevice ||
        static_cast<unsigned long long>(here.st_dev) == homeDevice_) {
        return Narrow(NextAsidePath());
    }
    NoteFileSystemOf(target);
    std::string aside;
    do {
        aside = folder + "/" + kBesidePrefix + std::to_string(asideCount_++);
    } while (Exists(aside));
    return aside;
}

bool InstallJournal::RecordMoveAside(const std::wstring& path, std::string& aside) {
    aside = MoveAsidePathFor(path);
    return Append("M\t" + platform::JournalField(Narrow(path)) + "\t" + platform::JournalField(aside), false);
}

bool InstallJournal::MoveAside(const std::wstring& path) {
    std::string aside;
    return RecordMoveAside(path, aside) && Flush() && ::rename(Narrow(path).c_str(), aside.c_str()) == 0;
}

bool InstallJournal::SaveCopy(const std::wstring& path) {
    const std::string aside = Narrow(NextAsidePath());
    const std::string partial = aside + ".part";
    // The copy is complete under its final name before it is recorded, so a
    // rollback never puts a half copy back; and its name is on disk before
    // the record that relies on it, or a power loss could take the copy and
    // leave the record, which would then count as undone.
    bool saved = false;
    {
        const JournalTime time;
        saved = CopyBytes(Narrow(path), 0, 0, partial, true) && ::rename(partial.c_str(), aside.c_str()) == 0 &&
                SyncFolderOf(aside);
    }
    return saved && Append("C\t" + platform::JournalField(Narrow(path)) + "\t" + platform::JournalField(aside));
}

bool InstallJournal::RecordLength(const std::wstring& path, std::uint64_t length) {
    return Append("L\t" + platform::JournalField(Narrow(path)) + "\t" + std::to_string(length));
}

bool InstallJournal::SaveRegions(const std::wstring& path,
                                 const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges) {
    if (ranges.empty()) return true;
    const std::string saved = Narrow(NextAsidePath());
    bool kept = false;
    {
        const JournalTime time;
        kept = SaveRanges(Narrow(path), ranges, saved) && SyncFolderOf(saved);
    }
    return kept && Append("B\t" + platform::JournalField(Narrow(path)) + "\t" + platform::JournalField(saved));
}

bool InstallJournal::Commit() {
    if (!file_) return false;
    // The installed bytes reach the disk before the journal goes: a power
    // loss after the commit point must find the new game whole, not new
    // names over data that was still in memory. Counted as a step, so a
    // failing flush is tried like any other.
    bool synced = !StepFails();
    for (const auto& [device, folder] : fileSystems_) synced = synced && SyncFileSystemOf(folder);
    if (!synced) {
        RollBack();
        return false;
    }
    const JournalTime time;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    const std::string journal = Narrow(appDir_ + kJournalName);
    const std::string committed = Narrow(appDir_ + kCommittedName);
    // The rename is the commit point. The originals are deleted only after
    // it, each by its record, wherever it was kept: a kill in between leaves
    // the committed journal, whose deletions the next start finishes.
    if (!closed || ::rename(journal.c_str(), committed.c_str()) != 0) {
        owned_ = false;
        int undone = 0;
        RollBackJournal(appDir_, undone);
        return false;
    }
    owned_ = false;
    SyncFolderOf(journal);
    platform::FinishCommittedJournal(committed);
    std::error_code ec;
    fs::remove_all(Narrow(appDir_ + kAsideFolder), ec);
    return true;
}

bool InstallJournal::RollBack() {
    // Another install's journal (Begin found one) is never undone from here.
    if (!owned_) return true;
    owned_ = false;
    int undone = 0;
    // Undone while the lock is still held, then let go.
    const bool ok = RollBackJournal(appDir_, undone);
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    return ok;
}

bool IsJournalPath(const std::wstring& relative) {
    if (relative.rfind(kJournalName, 0) == 0) return true;
    const std::wstring beside = platform::ToWide(kBesidePrefix);
    for (std::size_t start = 0; start < relative.size();) {
        const std::size_t slash = relative.find_first_of(L"/\\", start);
        if (relative.compare(start, beside.size(), beside) == 0) return true;
        if (slash == std::wstring::npos) break;
        start = slash + 1;
    }
    return false;
}

bool RollBackInterruptedInstall(const std::wstring& appDir, bool* rolledBack) {
    if (rolledBack) *rolledBack = false;
    const std::string committed = Narrow(appDir + kCommittedName);
    if (Exists(committed)) {
        // Committed, only the originals were still to go: the new files stay.
        std::error_code ec;
        const bool finished = platform::FinishCommittedJournal(committed);
        if (finished) fs::remove_all(Narrow(appDir + kAsideFolder), ec);
        if (finished) {
            RUNLOG_MESSAGE(L"committed update install finished, its kept originals removed");
        } else {
            RUNLOG_ERROR(L"committed update install could not remove its kept originals");
        }
    }
    const std::string journal = Narrow(appDir + kJournalName);
    if (!Exists(journal)) return true;
    const int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        RUNLOG_MESSAGE(L"an update install of another launcher is running; its journal is left to it");
        return true;
    }
    int undone = 0;
    const bool ok = RollBackJournal(appDir, undone);
    if (fd >= 0) ::close(fd);
    if (rolledBack) *rolledBack = true;
    if (ok) {
        RUNLOG_MESSAGE(L"interrupted update install rolled back, " + std::to_wstring(undone) + L" changes undone");
    } else {
        RUNLOG_ERROR(L"interrupted update install could not be rolled back, " + std::to_wstring(undone) +
                     L" changes undone");
    }
    return ok;
}
