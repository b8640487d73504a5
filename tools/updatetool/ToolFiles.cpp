#include "tools/updatetool/ToolFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 1 << 20;

std::string ErrnoText() { return std::strerror(errno); }

// An open descriptor closed on every path out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

// Creates the temporary file beside `path`; `temp` receives its name.
int CreateBeside(const fs::path& path, unsigned mode, std::string& temp) {
    temp = path.string() + ".tmp-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return -1;
    temp = name.data();
    ::fchmod(fd, static_cast<mode_t>(mode));
    return fd;
}

// Flushes, closes and renames (or, when `exclusive`, links) the temporary
// file to `path`; the temporary name never survives.
bool Finish(Fd& out, const std::string& temp, const fs::path& path, bool ok, std::string& failure,
            bool exclusive = false) {
    if (ok && ::fsync(out.Get()) != 0) {
        failure = "cannot write " + temp + ": " + ErrnoText();
        ok = false;
    }
    if (!out.Close() && ok) {
        failure = "cannot write " + temp + ": " + ErrnoText();
        ok = false;
    }
    if (ok && exclusive) {
        if (::link(temp.c_str(), path.c_str()) != 0) {
            failure = errno == EEXIST ? PathText(path) + " already exists"
                                      : "cannot create " + PathText(path) + ": " + ErrnoText();
            ok = false;
        }
        ::unlink(temp.c_str());
        return ok;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        failure = "cannot rename " + temp + " to " + PathText(path) + ": " + ErrnoText();
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool WriteFileBeside(const fs::path& path, const std::string& bytes, unsigned mode, bool exclusive,
                     std::string& failure) {
    std::string temp;
    Fd out(CreateBeside(path, mode, temp));
    if (out.Get() < 0) {
        failure = "cannot create a file beside " + PathText(path) + ": " + ErrnoText();
        return false;
    }
    const bool ok = WriteAll(out.Get(), bytes.data(), bytes.size());
    if (!ok) failure = "cannot write " + temp + ": " + ErrnoText();
    return Finish(out, temp, path, ok, failure, exclusive);
}

}  // namespace

bool WriteFileReplacing(const fs::path& path, const std::string& bytes, unsigned mode, std::string& failure) {
    return WriteFileBeside(path, bytes, mode, false, failure);
}

bool WriteFileExclusive(const fs::path& path, const std::string& bytes, unsigned mode, std::string& failure) {
    return WriteFileBeside(path, bytes, mode, true, failure);
}

bool CopyFileReplacing(const fs::path& from, const fs::path& to, std::string& failure) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) {
        failure = "cannot open " + PathText(from) + ": " + ErrnoText();
        return false;
    }
    std::string temp;
    Fd out(CreateBeside(to, 0644, temp));
    if (out.Get() < 0) {
        failure = "cannot create a file beside " + PathText(to) + ": " + ErrnoText();
        return false;
    }
    std::vector<char> block(kBlock);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(in.Get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        if (got < 0) {
            failure = "cannot read " + PathText(from) + ": " + ErrnoText();
            ok = false;
            break;
        }
        if (!WriteAll(out.Get(), block.data(), static_cast<std::size_t>(got))) {
            failure = "cannot write " + temp + ": " + ErrnoText();
            ok = false;
            break;
        }
    }
    return Finish(out, temp, to, ok, failure);
}
