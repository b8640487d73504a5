#include "launcher/update/PackFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

#include "platform/Utf8.h"

namespace {

std::atomic<bool> kernelCopy{true};

std::filesystem::path NativePath(const std::wstring& path) {
    return std::filesystem::path(platform::ToUtf8(path));
}

}  // namespace

PackFile::~PackFile() { Close(); }

bool PackFile::Open(const std::wstring& path, Mode mode) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    do {
        fd_ = ::open(platform::ToUtf8(path).c_str(), flags, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    return true;
}

void PackFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::int64_t PackFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool PackFile::ReadAt(std::uint64_t pos, void* buffer, std::size_t n) const {
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(pos));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        pos += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool PackFile::WriteAt(std::uint64_t pos, const void* buffer, std::size_t n) {
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    while (n > 0) {
        const ssize_t put = ::pwrite(fd_, in, n, static_cast<off_t>(pos));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        in += put;
        pos += static_cast<std::uint64_t>(put);
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

bool PackFile::Truncate(std::uint64_t length) {
    return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(length)) == 0;
}

bool PackFile::Sync() { return fd_ >= 0 && ::fdatasync(fd_) == 0; }

bool CopyFileRange(const PackFile& from, std::uint64_t fromPos, PackFile& to,
                   std::uint64_t toPos, std::uint64_t n, std::vector<std::uint8_t>& buffer) {
    // In-kernel copy first: no pass through user memory. Where the kernel
    // or file system cannot do it, fall back to the buffer for the rest.
    while (n > 0 && kernelCopy.load(std::memory_order_relaxed)) {
        auto inPos = static_cast<off_t>(fromPos);
        auto outPos = static_cast<off_t>(toPos);
        const ssize_t copied = ::copy_file_range(from.fd_, &inPos, to.fd_, &outPos,
                                                 static_cast<std::size_t>(std::min<std::uint64_t>(n, 1u << 30)), 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) break;
        if (copied <= 0) return false;
        fromPos += static_cast<std::uint64_t>(copied);
        toPos += static_cast<std::uint64_t>(copied);
        n -= static_cast<std::uint64_t>(copied);
    }
    while (n > 0) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(n, buffer.size()));
        if (!from.ReadAt(fromPos, buffer.data(), chunk)) return false;
        if (!to.WriteAt(toPos, buffer.data(), chunk)) return false;
        fromPos += chunk;
        toPos += chunk;
        n -= chunk;
    }
    return true;
}

void SetKernelCopyForTesting(bool enabled) { kernelCopy.store(enabled, std::memory_order_relaxed); }

bool PackPathIsFile(const std::wstring& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(NativePath(path), ec);
}

bool CopyWholeFile(const std::wstring& from, const std::wstring& to) {
    std::error_code ec;
    return std::filesystem::copy_file(NativePath(from), NativePath(to),
                                      std::filesystem::copy_options::overwrite_existing, ec) &&
           !ec;
}

bool RenameFile(const std::wstring& from, const std::wstring& to) {
    std::error_code ec;
    std::filesystem::rename(NativePath(from), NativePath(to), ec);
    return !ec;
}

void RemoveFileQuietly(const std::wstring& path) {
    std::error_code ec;
    std::filesystem::remove(NativePath(path), ec);
}
