#include "liveupdate/PackageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

PackageFile::PackageFile(fs::path path, std::uint64_t size, const FetchProgressFn& progress)
    : path_(std::move(path)), size_(size), progress_(progress), buffer_(new unsigned char[kBufferBytes]) {
    crypto_hash_sha256_init(&hash_);
    diskHash_ = hash_;
}

PackageFile::~PackageFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool PackageFile::Open(std::string& failure) {
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
    crypto_hash_sha256_init(&hash_);
    buffered_ = 0;
    onDisk_ = 0;
    if (static_cast<std::uint64_t>(info.st_size) > size_ && ::ftruncate(fd_, 0) != 0) {
        failure = "cannot empty " + PathText(path_) + ": " + ErrnoText();
        Delete();
        return false;
    }
    const std::uint64_t held = static_cast<std::uint64_t>(info.st_size) > size_ ? 0 : info.st_size;
    while (onDisk_ < held) {
        const ssize_t got = ::pread(fd_, buffer_.get(), kBufferBytes, static_cast<off_t>(onDisk_));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            failure = "cannot read " + PathText(path_) + ": " + (got < 0 ? ErrnoText() : "it shrank");
            Delete();
            return false;
        }
        crypto_hash_sha256_update(&hash_, buffer_.get(), static_cast<unsigned long long>(got));
        onDisk_ += static_cast<std::uint64_t>(got);
    }
    diskHash_ = hash_;
    present_ = onDisk_;
    return true;
}

Sha256Digest PackageFile::Digest() const {
    crypto_hash_sha256_state copy = hash_;
    Sha256Digest digest{};
    crypto_hash_sha256_final(&copy, digest.data());
    return digest;
}

void PackageFile::StartAttempt() {
    discard_ = false;
    restarted_ = false;
}

bool PackageFile::Begin(bool fromStart, std::int64_t total, std::string& failure) {
    if (total >= 0 && static_cast<std::uint64_t>(total) != size_) {
        failure = "the server's file has " + std::to_string(total) + " bytes, the package " + std::to_string(size_);
        // A range of the wrong file may be what the partial file holds.
        discard_ = !fromStart;
        return false;
    }
    if (!fromStart || present_ == 0) return true;
    restarted_ = true;
    if (::ftruncate(fd_, 0) != 0) {
        failure = "cannot empty " + PathText(path_) + ": " + ErrnoText();
        discard_ = true;
        return false;
    }
    ForgetBytes();
    return true;
}

bool PackageFile::Take(const unsigned char* data, std::size_t size, std::string& failure) {
    if (size > size_ - present_) {
        failure = "the server sent more than the package's " + std::to_string(size_) + " bytes";
        discard_ = true;
        return false;
    }
    if (buffered_ + size > kBufferBytes && !Flush(failure)) return false;
    crypto_hash_sha256_update(&hash_, data, size);
    present_ += size;
    if (size >= kBufferBytes) {
        // Larger than the buffer: straight to the file (buffer is empty).
        if (!WriteAt(data, size, failure)) {
            CutBack();
            return false;
        }
        onDisk_ += size;
        diskHash_ = hash_;
    } else {
        std::memcpy(buffer_.get() + buffered_, data, size);
        buffered_ += size;
    }
    Report();
    return true;
}

bool PackageFile::Flush(std::string& failure) {
    if (buffered_ == 0) return true;
    if (!WriteAt(buffer_.get(), buffered_, failure)) {
        CutBack();
        return false;
    }
    onDisk_ += buffered_;
    buffered_ = 0;
    diskHash_ = hash_;
    return true;
}

bool PackageFile::WriteAt(const unsigned char* data, std::size_t size, std::string& failure) {
    std::uint64_t at = onDisk_;
    while (size > 0) {
        const ssize_t put = ::pwrite(fd_, data, size, static_cast<off_t>(at));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            failure = "cannot write " + PathText(path_) + ": " + (put < 0 ? ErrnoText() : "nothing written");
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
        at += static_cast<std::uint64_t>(put);
    }
    return true;
}

void PackageFile::CutBack() {
    if (::ftruncate(fd_, static_cast<off_t>(onDisk_)) != 0) {
        // The file's end is unknown: nothing on it can be trusted.
        Delete();
        return;
    }
    hash_ = diskHash_;
    buffered_ = 0;
    present_ = onDisk_;
    Report();
}

void PackageFile::ForgetBytes() {
    crypto_hash_sha256_init(&hash_);
    diskHash_ = hash_;
    buffered_ = 0;
    onDisk_ = 0;
    present_ = 0;
    Report();
}

void PackageFile::Delete() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
    ForgetBytes();
}

void PackageFile::Report() const {
    if (progress_) progress_(present_);
}
