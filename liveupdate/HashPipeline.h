#pragma once

// SHA-256 of a byte stream, computed on a thread of its own so hashing
// overlaps receiving and writing (hashing is the slowest step of a
// download). The caller fills fixed blocks in order and hands each over;
// memory stays at kBlocks × kBlockBytes whatever the stream's length, and
// the caller waits only when every block is still queued for hashing.
// Thread: one caller thread; the hashing thread is internal. When that
// thread cannot start, blocks are hashed as they are handed over.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "liveupdate/Sha256.h"

class HashPipeline {
public:
    static constexpr std::size_t kBlocks = 4;
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    HashPipeline();
    ~HashPipeline();
    HashPipeline(const HashPipeline&) = delete;
    HashPipeline& operator=(const HashPipeline&) = delete;

    // The block to fill next (kBlockBytes long); the same block until it is
    // submitted. Waits while every block is queued.
    unsigned char* Block();
    // Queues the first `size` bytes of Block() for hashing.
    void Submit(std::size_t size);
    // Waits until everything submitted is hashed; its digest, false when
    // it could not be hashed.
    bool Digest(Sha256Digest& digest);
    // Waits, then starts again from an empty stream.
    void Restart();

private:
    void Hash(std::size_t block);
    void Work();

    std::unique_ptr<unsigned char[]> memory_;
    std::size_t sizes_[kBlocks] = {};
    Sha256 hash_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t submitted_ = 0;  // blocks handed over, ever
    std::uint64_t hashed_ = 0;     // of which hashed
    bool stopping_ = false;
    std::thread worker_;
};
