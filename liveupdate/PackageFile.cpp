#include "liveupdate/PackageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "liveupdate/CancelToken.h"

namespace fs = std::filesystem;

namespace {

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

PackageFile::PackageFile(fs::path path, std::uint64_t size, const FetchProgressFn& progress)
    : path_(std::move(path)), size_(size), progress_(progress) {
    block_ = hash_.Block();
}

PackageFile::~PackageFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool PackageFile::Open(std::string& failure, const CancelToken* cancel) {
    if (fd_ >= 0) return true;
    std::error_code error;
    fs::create_directories(path_.parent_path(), error);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        failure = "cannot open " + PathText(path_) + ": " + ErrnoText();
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        failure = "cannot read " + PathText(path_) + ": " + ErrnoText();
        Delete();
        return false;
    }
    Empty();
    const bool tooLong = static_cast<std::uint64_t>(info.st_size) > size_;
    if (tooLong && ::ftruncate(fd_, 0) != 0) {
        failure = "cannot empty " + PathText(path_) + ": " + ErrnoText();
        Delete();
        return false;
    }
    const std::uint64_t held = tooLong ? 0 : static_cast<std::uint64_t>(info.st_size);
    while (onDisk_ < held) {
        // A multi-GiB prefix on a cold disk takes seconds to hash; shutdown
        // must not wait for it.
        if (cancel && cancel->IsCancelled()) {
            ::close(fd_);
            fd_ = -1;
            Empty();
            failure = "cancelled";
            return false;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(held - onDisk_, HashPipeline::kBlockBytes));
        const ssize_t got = ::pread(fd_, block_, want, static_cast<off_t>(onDisk_));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            failure = "cannot read " + PathText(path_) + ": " + (got < 0 ? ErrnoText() : "it shrank");
            Delete();
            return false;
        }
        hash_.Submit(static_cast<std::size_t>(got));
        block_ = hash_.Block();
        onDisk_ += static_cast<std::uint64_t>(got);
    }
    return true;
}

std::optional<Sha256Digest> PackageFile::Digest() {
    Sha256Digest digest{};
    if (!hash_.Digest(digest)) return std::nullopt;
    return digest;
}

void PackageFile::StartAttempt() {
    discard_ = false;
    restarted_ = false;
}

bool PackageFile::Begin(bool fromStart, std::int64_t total, std::string& failure) {
    if (total >= 0 && static_cast<std::uint64_t>(total) != size_) {
        failure = "the server's file has " + std::to_string(total) + " bytes, " +
                  (static_cast<std::uint64_t>(total) > size_ ? "more" : "fewer") + " than the package's " +
                  std::to_string(size_);
        // A range of the wrong file may be what the partial file holds.
        discard_ = !fromStart;
        return false;
    }
    if (!fromStart || Present() == 0) return true;
    restarted_ = true;
    Empty();
    if (::ftruncate(fd_, 0) != 0) {
        failure = "cannot empty " + PathText(path_) + ": " + ErrnoText();
        discard_ = true;
        return false;
    }
    Report();
    return true;
}

bool PackageFile::Take(const unsigned char* data, std::size_t size, std::string& failure) {
    if (size > size_ - Present()) {
        failure = "the server sent more than the package's " + std::to_string(size_) + " bytes";
        discard_ = true;
        return false;
    }
    while (size > 0) {
        const std::size_t n = std::min(size, HashPipeline::kBlockBytes - filled_);
        std::memcpy(block_ + filled_, data, n);
        filled_ += n;
        data += n;
        size -= n;
        if (filled_ == HashPipeline::kBlockBytes && !WriteBlock(failure)) return false;
    }
    Report();
    return true;
}

bool PackageFile::Flush(std::string& failure) { return filled_ == 0 || WriteBlock(failure); }

bool PackageFile::WriteBlock(std::string& failure) {
    const unsigned char* data = block_;
    std::size_t left = filled_;
    std::uint64_t at = onDisk_;
    while (left > 0) {
        const ssize_t put = ::pwrite(fd_, data, left, static_cast<off_t>(at));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            failure = "cannot write " + PathText(path_) + ": " + (put < 0 ? ErrnoText() : "nothing written");
            // Back to the bytes hashed; a file whose end is unknown goes.
            filled_ = 0;
            if (::ftruncate(fd_, static_cast<off_t>(onDisk_)) != 0) Delete();
            Report();
            return false;
        }
        data += put;
        left -= static_cast<std::size_t>(put);
        at += static_cast<std::uint64_t>(put);
    }
    hash_.Submit(filled_);
    onDisk_ += filled_;
    filled_ = 0;
    block_ = hash_.Block();
    return true;
}

void PackageFile::Empty() {
    hash_.Restart();
    filled_ = 0;
    onDisk_ = 0;
}

void PackageFile::Delete() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
    Empty();
    Report();
}

void PackageFile::Report() const {
    if (progress_) progress_(Present());
}
