#include "launcher/update/InstallDeltas.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "launcher/RunLog.h"
#include "launcher/update/DeltaEntry.h"
#include "launcher/update/InstallJournal.h"
#include "platform/Utf8.h"

namespace fs = std::filesystem;

namespace {

// As for plain files: one journal flush for the records of this many files.
constexpr std::size_t kBatchFiles = 256;

struct Delta {
    std::string payload;  // the unpacked entry: digests and stream
    std::string target;
    std::string aside;    // where the game's copy goes
    std::string temp;     // beside the target
    mode_t mode = 0644;
    timespec modified{};
};

std::wstring Wide(const std::string& s) { return platform::ToWide(s); }

// Reads the whole regular file `path`, refusing one larger than `limit`.
bool ReadFile(const std::string& path, std::uint64_t limit, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= limit;
    if (ok) bytes.resize(static_cast<std::size_t>(st.st_size));
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        ok = got > 0;
        if (ok) done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return ok;
}

bool WriteNewFile(const Delta& d, const std::string& bytes) {
    const int fd = ::open(d.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, d.mode);
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = put > 0;
        if (ok) done += static_cast<std::size_t>(put);
    }
    const timespec times[2] = {d.modified, d.modified};
    ok = ok && ::fchmod(fd, d.mode) == 0 && ::futimens(fd, times) == 0 && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) ::unlink(d.temp.c_str());
    return ok;
}

// Loads each delta and checks its target against the source digest.
bool CheckSources(const std::string& folder, const std::string& appDir, std::vector<Delta>& deltas) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string relative = it->path().lexically_relative(folder).generic_string();
        if (IsJournalPath(Wide(relative))) {
            RUNLOG_WARNING(Wide(relative) + L" of the package has the name of the install journal; skipped");
            continue;
        }
        Delta d;
        d.target = appDir + relative;
        struct stat st {};
        DeltaEntry entry;
        if (!ReadFile(it->path().string(), UINT64_MAX, d.payload) || ::stat(it->path().c_str(), &st) != 0 ||
            !DeltaEntry::Parse(d.payload, entry)) {
            RUNLOG_ERROR(Wide(d.target) + L": the package's delta for it cannot be read; the package cannot be installed");
            return false;
        }
        d.mode = st.st_mode & 0755;
        d.modified = st.st_mtim;
        std::string source;
        if (!ReadFile(d.target, ZstdDelta::kMaxFileSize, source)) {
            RUNLOG_ERROR(Wide(d.target) + L" is missing or unreadable, so the package's delta for it cannot be "
                                          L"applied; the package cannot be installed");
            return false;
        }
        if (ZstdDelta::Digest(source) != entry.source) {
            RUNLOG_ERROR(Wide(d.target) + L" is not the file the package's delta was made from (its SHA-256 "
                                          L"differs); the package cannot be installed");
            return false;
        }
        deltas.push_back(std::move(d));
    }
    if (ec) RUNLOG_ERROR(Wide(folder) + L" cannot be listed in full; the package cannot be installed");
    return !ec;
}

std::string FreeNameBeside(const std::string& target, const std::set<std::string>& taken) {
    struct stat st {};
    std::string temp = target + ".install~";
    for (int n = 1; ::lstat(temp.c_str(), &st) == 0 || taken.count(temp); ++n) {
        temp = target + ".install~" + std::to_string(n);
    }
    return temp;
}

bool JournalBatch(InstallJournal& journal, Delta* first, Delta* last) {
    std::set<std::string> taken;
    for (Delta* d = first; d != last; ++d) taken.insert(d->target);
    for (Delta* d = first; d != last; ++d) {
        d->temp = FreeNameBeside(d->target, taken);
        taken.insert(d->temp);
        if (!journal.RecordNew(Wide(d->temp), false) || !journal.RecordMoveAside(Wide(d->target), d->aside)) {
            return false;
        }
    }
    return journal.Flush();
}

// Makes the result beside the target, checks it, and renames it over the
// target: the target is at every moment the old file or the whole new one.
bool Apply(const Delta& d) {
    RUNLOG_MESSAGE_JOINED(L"process delta for " + Wide(d.target) + L"!");
    DeltaEntry entry;
    DeltaEntry::Parse(d.payload, entry);
    std::string source, result, why;
    if (!ReadFile(d.target, ZstdDelta::kMaxFileSize, source) || !ZstdDelta::Apply(source, entry.stream, result, why)) {
        RUNLOG_ERROR(Wide(d.target) + L": " + Wide(why.empty() ? "it cannot be read again" : why) +
                     L"; the package cannot be installed");
        return false;
    }
    if (ZstdDelta::Digest(result) != entry.result) {
        RUNLOG_ERROR(Wide(d.target) + L": the package's delta does not make the file it names (SHA-256 of the "
                                      L"result differs); the package cannot be installed");
        return false;
    }
    if (!WriteNewFile(d, result)) {
        RUNLOG_ERROR(Wide(d.temp) + L" cannot be written; the package cannot be installed");
        return false;
    }
    const bool aside = ::rename(d.target.c_str(), d.aside.c_str()) == 0;
    if (aside && ::rename(d.temp.c_str(), d.target.c_str()) == 0) return true;
    if (aside) ::rename(d.aside.c_str(), d.target.c_str());
    ::unlink(d.temp.c_str());
    RUNLOG_ERROR(Wide(d.target) + L" cannot be replaced; the package cannot be installed");
    return false;
}

}  // namespace

bool InstallDeltas(const std::wstring& deltaFolder, const std::wstring& appDir, InstallJournal& journal) {
    const std::string folder = platform::ToUtf8(deltaFolder);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return true;
    std::vector<Delta> deltas;
    if (!CheckSources(folder, platform::ToUtf8(appDir), deltas)) return false;
    for (std::size_t start = 0; start < deltas.size(); start += kBatchFiles) {
        Delta* first = deltas.data() + start;
        Delta* last = deltas.data() + std::min(deltas.size(), start + kBatchFiles);
        if (!JournalBatch(journal, first, last)) return false;
        for (Delta* d = first; d != last; ++d) {
            if (!Apply(*d)) return false;
        }
    }
    return true;
}
