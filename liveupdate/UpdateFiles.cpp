#include "liveupdate/UpdateFiles.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "liveupdate/Sha256.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 1 << 20;

std::string ErrnoText() { return std::strerror(errno); }

// A read-only descriptor closed on every path out.
class ReadFd {
public:
    explicit ReadFd(const fs::path& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadFd(const ReadFd&) = delete;
    ReadFd& operator=(const ReadFd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string PathText(const fs::path& path) { return path.string(); }

bool ReadWholeFile(const fs::path& path, std::size_t maxBytes, std::string& bytes, std::string& failure) {
    ReadFd in(path);
    if (in.Get() < 0) {
        failure = "cannot open " + PathText(path) + ": " + ErrnoText();
        return false;
    }
    bytes.clear();
    std::vector<char> block(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(in.Get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            failure = "cannot read " + PathText(path) + ": " + ErrnoText();
            return false;
        }
        if (got == 0) return true;
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            failure = PathText(path) + " is longer than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        bytes.append(block.data(), static_cast<std::size_t>(got));
    }
}

bool HashFile(const fs::path& path, Sha256Digest& digest, std::uint64_t& size, std::string& failure) {
    ReadFd in(path);
    if (in.Get() < 0) {
        failure = "cannot open " + PathText(path) + ": " + ErrnoText();
        return false;
    }
    Sha256 hash;
    std::vector<unsigned char> block(kBlock);
    size = 0;
    for (;;) {
        const ssize_t got = ::read(in.Get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        if (got < 0) {
            failure = "cannot read " + PathText(path) + ": " + ErrnoText();
            return false;
        }
        hash.Update(block.data(), static_cast<std::size_t>(got));
        size += static_cast<std::uint64_t>(got);
    }
    if (hash.Digest(digest)) return true;
    failure = "cannot hash " + PathText(path);
    return false;
}

std::string HexOf(const Sha256Digest& digest) {
    std::string hex(digest.size() * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    hex.pop_back();
    return hex;
}
