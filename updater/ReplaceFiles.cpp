#include "updater/ReplaceFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

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

// What phase one added to the installation, to take back on failure.
struct Written {
    std::vector<Pending> files;
    std::vector<std::string> folders;  // made here, parents first
};

void Discard(const Written& written) {
    for (const Pending& p : written.files) ::unlink(p.written.c_str());
    for (auto it = written.folders.rbegin(); it != written.folders.rend(); ++it) ::rmdir(it->c_str());
}

}  // namespace

bool ReplaceFiles(const std::string& source, const std::string& installDir, const UpdaterLog& log) {
    Written written;
    std::vector<Pending>& pending = written.files;
    std::error_code ec;
    fs::recursive_directory_iterator it(source, ec);
    if (ec) {
        UPDATER_ERROR(log, "can not read the launcher package " + source + ": " + ec.message());
        return false;
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
            if (fs::create_directory(folder, ec)) written.folders.push_back(folder);
            if (ec) {
                UPDATER_ERROR(log, "can not make the folder " + installDir + relative + ": " + ec.message());
                Discard(written);
                return false;
            }
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            UPDATER_ERROR(log, "the launcher package holds " + relative + ", which is no plain file");
            Discard(written);
            return false;
        }
        const std::string target = installDir + relative;
        if (fs::is_directory(target, ec)) {
            UPDATER_ERROR(log, "can not replace the folder " + target + " with a file");
            Discard(written);
            return false;
        }
        Pending next{target + kNewFileSuffix, target};
        if (!CopyFile(path.string(), next.written, st.st_mode & 0777)) {
            UPDATER_ERROR(log, "can not write " + next.written + ": " + Reason(errno));
            ::unlink(next.written.c_str());
            Discard(written);
            return false;
        }
        pending.push_back(next);
    }
    if (ec) {
        UPDATER_ERROR(log, "can not read the launcher package " + source + ": " + ec.message());
        Discard(written);
        return false;
    }

    bool ok = true;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (::rename(pending[i].written.c_str(), pending[i].target.c_str()) == 0) continue;
        UPDATER_ERROR(log, "can not replace " + pending[i].target + ": " + Reason(errno));
        ::unlink(pending[i].written.c_str());
        ok = false;
    }
    if (ok) UPDATER_MESSAGE(log, "replaced " + std::to_string(pending.size()) + " launcher files");
    return ok;
}
