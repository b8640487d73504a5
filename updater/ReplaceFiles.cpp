#include "updater/ReplaceFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/ProfileFile.h"
#include "platform/Utf8.h"
#include "updater/UpdaterJournal.h"
#include "updater/UpdaterLog.h"

namespace fs = std::filesystem;

namespace {

struct Pending {
    std::string written;  // beside the target
    std::string target;
};

std::string Reason(int error) { return std::strerror(error); }

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies `from` to a new file `to` with `mode`, flushed to disk. Sets errno.
bool CopyFile(const std::string& from, const std::string& to, mode_t mode) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        errno = error;
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    int error = ok ? 0 : errno;
    if (ok && (::fchmod(out, mode) != 0 || ::fsync(out) != 0)) {
        ok = false;
        error = errno;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    errno = error;
    return ok;
}

// Undoes what was done so far and says so; the installation keeps the
// launcher it had.
bool GiveUp(UpdaterJournal& journal, const UpdaterLog& log) {
    if (!journal.RollBack()) {
        UPDATER_ERROR(log, "the launcher files could not all be put back; the launcher's next start undoes the rest");
    }
    return false;
}

}  // namespace

bool ReplaceFiles(const std::string& source, const std::string& installDir, const UpdaterLog& log,
                  const std::string& launcherVersion) {
    UpdaterJournal journal(installDir);
    if (!journal.Begin()) {
        UPDATER_ERROR(log, "can not start the update journal in " + installDir +
                               " (an unfinished install is there, or the folder is not writable)");
        return false;
    }
    std::vector<Pending> pending;
    std::error_code ec;
    fs::recursive_directory_iterator it(source, ec);
    if (ec) {
        UPDATER_ERROR(log, "can not read the launcher package " + source + ": " + ec.message());
        return GiveUp(journal, log);
    }
    for (fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path path = it->path();
        const std::string relative = fs::relative(path, source, ec).generic_string();
        if (ec) break;
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0) {
            ec = std::error_code(errno, std::generic_category());
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            // The walk visits parents first, so only the last part is ever new.
            const std::string folder = installDir + relative;
            struct stat there{};
            if (::lstat(folder.c_str(), &there) == 0) {
                if (S_ISDIR(there.st_mode)) continue;
                // Recorded as new, the player's file would be deleted by the undo.
                UPDATER_ERROR(log, "can not make the folder " + folder + ": a file of that name is there");
                return GiveUp(journal, log);
            }
            if (!journal.RecordNew(folder) || ::mkdir(folder.c_str(), 0755) != 0) {
                UPDATER_ERROR(log, "can not make the folder " + folder + ": " + Reason(errno));
                return GiveUp(journal, log);
            }
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            UPDATER_ERROR(log, "the launcher package holds " + relative + ", which is no plain file");
            return GiveUp(journal, log);
        }
        const std::string target = installDir + relative;
        if (fs::is_directory(target, ec)) {
            UPDATER_ERROR(log, "can not replace the folder " + target + " with a file");
            return GiveUp(journal, log);
        }
        Pending next{target + kNewFileSuffix, target};
        // Never writable by group or others, whatever the package says; the
        // executable bits stay.
        if (!journal.RecordNew(next.written) || !CopyFile(path.string(), next.written, st.st_mode & 0755)) {
            UPDATER_ERROR(log, "can not write " + next.written + ": " + Reason(errno));
            return GiveUp(journal, log);
        }
        pending.push_back(next);
    }
    if (ec) {
        UPDATER_ERROR(log, "can not read the launcher package " + source + ": " + ec.message());
        return GiveUp(journal, log);
    }

    for (const Pending& p : pending) {
        struct stat st{};
        const bool exists = ::lstat(p.target.c_str(), &st) == 0;
        const std::string aside = p.target + kOldFileSuffix;
        const bool recorded = exists ? journal.RecordMoveAside(p.target, aside) : journal.RecordNew(p.target);
        if (!recorded || (exists && ::rename(p.target.c_str(), aside.c_str()) != 0) ||
            ::rename(p.written.c_str(), p.target.c_str()) != 0) {
            UPDATER_ERROR(log, "can not replace " + p.target + ": " + Reason(errno));
            return GiveUp(journal, log);
        }
    }
    // The launcher version moves with its files, in the same journal: it
    // never names files that are not in place.
    if (!launcherVersion.empty()) {
        const std::string versionIni = installDir + "version.ini";
        if (!journal.SaveCopy(versionIni) ||
            !platform::WritePrivateProfileStringW(L"Version", L"LVersion", platform::ToWide(launcherVersion).c_str(),
                                                  platform::ToWide(versionIni))) {
            UPDATER_ERROR(log, "can not record the launcher version " + launcherVersion + " in " + versionIni);
            return GiveUp(journal, log);
        }
    }
    if (!journal.Commit()) {
        UPDATER_ERROR(log, "can not flush the launcher files to disk");
        return false;
    }
    UPDATER_MESSAGE(log, "replaced " + std::to_string(pending.size()) + " launcher files" +
                             (launcherVersion.empty() ? std::string() : ", launcher version " + launcherVersion));
    return true;
}
