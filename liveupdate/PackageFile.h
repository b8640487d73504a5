#pragma once

// The partial file of one package while it downloads. Bytes are hashed as
// they arrive and reach the file through a bounded buffer, so the digest
// always covers exactly the bytes present and memory stays flat. A write
// that fails cuts the file back to what is hashed. Thread: the fetching
// thread only.

#include <sodium.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "liveupdate/HttpSession.h"

class PackageFile : public BodySink {
public:
    static constexpr std::size_t kBufferBytes = 1 << 20;

    // `progress` (may be empty) hears the bytes present after each change.
    PackageFile(std::filesystem::path path, std::uint64_t size, const FetchProgressFn& progress);
    ~PackageFile() override;
    PackageFile(const PackageFile&) = delete;
    PackageFile& operator=(const PackageFile&) = delete;

    // Opens the file, creating it, and hashes the prefix it holds. A file
    // longer than the package is emptied first.
    bool Open(std::string& failure);
    bool IsOpen() const { return fd_ >= 0; }

    // Bytes hashed: on disk or in the buffer.
    std::uint64_t Present() const { return present_; }
    // The SHA-256 of the bytes present.
    Sha256Digest Digest() const;

    bool Begin(bool fromStart, std::int64_t total, std::string& failure) override;
    bool Take(const unsigned char* data, std::size_t size, std::string& failure) override;

    // Writes out the buffer; false (with the file cut back) on a write error.
    bool Flush(std::string& failure);
    // Closes and removes the file; Open starts again from byte 0.
    void Delete();

    // The last answer refused holds bytes that cannot belong to the package
    // (more than its size, or the server states another size): the file
    // must go.
    bool MustDiscard() const { return discard_; }
    // The last answer started from byte 0 although a range was asked for.
    bool Restarted() const { return restarted_; }
    // Clears the two flags above before an attempt.
    void StartAttempt();

private:
    bool WriteAt(const unsigned char* data, std::size_t size, std::string& failure);
    void CutBack();
    // Back to no bytes at all: an empty hash, nothing buffered or written.
    void ForgetBytes();
    void Report() const;

    std::filesystem::path path_;
    std::uint64_t size_;
    const FetchProgressFn& progress_;
    int fd_ = -1;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t buffered_ = 0;
    std::uint64_t onDisk_ = 0;
    std::uint64_t present_ = 0;
    crypto_hash_sha256_state hash_{};
    crypto_hash_sha256_state diskHash_{};  // the hash of the bytes on disk
    bool discard_ = false;
    bool restarted_ = false;
};
