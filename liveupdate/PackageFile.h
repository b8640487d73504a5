#pragma once

// The partial file of one package while it downloads. Bytes arriving fill
// the blocks of a HashPipeline; each full block is written to the file and
// then hashed on the pipeline's thread, so the digest covers exactly the
// bytes written and memory stays flat. A write that fails cuts the file
// back to the last whole block. Thread: the fetching thread only.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "liveupdate/HashPipeline.h"
#include "liveupdate/HttpSession.h"

class CancelToken;

class PackageFile : public BodySink {
public:
    // `progress` (may be empty) hears the bytes present after each change.
    PackageFile(std::filesystem::path path, std::uint64_t size, const FetchProgressFn& progress);
    ~PackageFile() override;
    PackageFile(const PackageFile&) = delete;
    PackageFile& operator=(const PackageFile&) = delete;

    // Opens the file, creating it, and hashes the prefix it holds. A file
    // longer than the package is emptied first. A cancel (when `cancel` is
    // given) stops the hashing of a long prefix between blocks: the file is
    // closed, kept for a later run, and `failure` is "cancelled".
    bool Open(std::string& failure, const CancelToken* cancel = nullptr);
    bool IsOpen() const { return fd_ >= 0; }

    // Bytes taken: written, or waiting in the current block.
    std::uint64_t Present() const { return onDisk_ + filled_; }
    // The SHA-256 of the bytes written (none when they could not be
    // hashed); call after Flush.
    std::optional<Sha256Digest> Digest();

    bool Begin(bool fromStart, std::int64_t total, std::string& failure) override;
    bool Take(const unsigned char* data, std::size_t size, std::string& failure) override;

    // Writes out the current block; false (with the file cut back) on a
    // write error.
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
    bool WriteBlock(std::string& failure);
    void Empty();
    void Report() const;

    std::filesystem::path path_;
    std::uint64_t size_;
    const FetchProgressFn& progress_;
    int fd_ = -1;
    HashPipeline hash_;
    unsigned char* block_ = nullptr;  // the pipeline's block being filled
    std::size_t filled_ = 0;
    std::uint64_t onDisk_ = 0;
    bool discard_ = false;
    bool restarted_ = false;
};
