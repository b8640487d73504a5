#include "liveupdate/HashPipeline.h"

#include <system_error>

HashPipeline::HashPipeline() : memory_(new unsigned char[kBlocks * kBlockBytes]) {
    crypto_hash_sha256_init(&state_);
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread: Submit hashes at once.
    }
}

HashPipeline::~HashPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

unsigned char* HashPipeline::Block() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return submitted_ - hashed_ < kBlocks; });
    return memory_.get() + (submitted_ % kBlocks) * kBlockBytes;
}

void HashPipeline::Submit(std::size_t size) {
    std::size_t block = 0;
    {
        std::lock_guard lock(mutex_);
        block = submitted_ % kBlocks;
        sizes_[block] = size;
        ++submitted_;
    }
    if (!worker_.joinable()) {
        std::lock_guard lock(mutex_);
        Hash(block);
        ++hashed_;
        return;
    }
    changed_.notify_all();
}

crypto_hash_sha256_state HashPipeline::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return hashed_ == submitted_; });
    return state_;
}

void HashPipeline::Restart() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return hashed_ == submitted_; });
    crypto_hash_sha256_init(&state_);
}

void HashPipeline::Hash(std::size_t block) {
    crypto_hash_sha256_update(&state_, memory_.get() + block * kBlockBytes, sizes_[block]);
}

void HashPipeline::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || hashed_ < submitted_; });
        if (hashed_ == submitted_) return;  // stopping, nothing queued
        const std::size_t block = hashed_ % kBlocks;
        // The caller touches neither this block nor the state until
        // hashed_ moves past it.
        lock.unlock();
        Hash(block);
        lock.lock();
        ++hashed_;
        changed_.notify_all();
    }
}
