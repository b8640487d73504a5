#include "updater/UpdaterJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/JournalRecord.h"

namespace fs = std::filesystem;

namespace {

constexpr char kKeptSuffix[] = ".launcherupdate-old";

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool CopyFlushed(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0755);
    bool ok = out >= 0;
    char buffer[65536];
    while (ok) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0) ok = false;
        if (got <= 0) break;
        ok = ::write(out, buffer, static_cast<std::size_t>(got)) == got;
    }
    ::close(in);
    if (out < 0) return false;
    ok = ::fsync(out) == 0 && ok;
    return ::close(out) == 0 && ok;
}

}  // namespace

UpdaterJournal::UpdaterJournal(std::string installDir) : installDir_(std::move(installDir)) {}

UpdaterJournal::~UpdaterJournal() {
    if (file_) RollBack();
}

bool UpdaterJournal::Begin() {
    const std::string path = installDir_ + platform::kJournalName;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // A launcher started meanwhile leaves a locked journal to its writer.
    ::flock(fd, LOCK_EX | LOCK_NB);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    return SyncFolder(installDir_);
}

bool UpdaterJournal::Append(const std::vector<std::string>& fields) {
    if (!file_) return false;
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + platform::JournalField(fields[i]);
    line += '\n';
    records_.push_back(fields);
    return std::fwrite(line.data(), 1, line.size(), file_) == line.size() && std::fflush(file_) == 0 &&
           ::fsync(::fileno(file_)) == 0;
}

bool UpdaterJournal::RecordNew(const std::string& path) { return Append({"N", path}); }

bool UpdaterJournal::RecordMoveAside(const std::string& target, const std::string& aside) {
    return Append({"M", target, aside});
}

bool UpdaterJournal::SaveCopy(const std::string& path) {
    const std::string aside = path + kKeptSuffix;
    return CopyFlushed(path, aside) && SyncFolder(fs::path(path).parent_path().string()) &&
           Append({"C", path, aside});
}

bool UpdaterJournal::Commit() {
    if (!file_) return false;
    const int fd = ::open(installDir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) {
        RollBack();
        return false;
    }
    const std::string journal = installDir_ + platform::kJournalName;
    const std::string committed = installDir_ + platform::kCommittedJournalName;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed || ::rename(journal.c_str(), committed.c_str()) != 0) {
        RollBack();
        return false;
    }
    SyncFolder(installDir_);
    platform::FinishCommittedJournal(committed);
    return true;
}

bool UpdaterJournal::RollBack() {
    bool ok = true;
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        const std::vector<std::string>& r = *it;
        std::error_code ec;
        if (r[0] == "N") {
            fs::remove_all(r[1], ec);
            ok = ok && !Exists(r[1]);
        } else if (Exists(r[2])) {
            ok = ::rename(r[2].c_str(), r[1].c_str()) == 0 && ok;
        }
    }
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    records_.clear();
    if (!ok) return false;
    ::unlink((installDir_ + platform::kJournalName).c_str());
    SyncFolder(installDir_);
    return true;
}
