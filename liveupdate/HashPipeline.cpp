#include "liveupdate/HashPipeline.h"

#include <system_error>

HashPipeline::HashPipeline() : memory_(new unsigned char[kBlocks * kBlockBytes]) {
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

bool HashPipeline::Digest(Sha256Digest& digest) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return hashed_ == submitted_; });
    return hash_.Digest(digest);
}

void HashPipeline::Restart() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return hashed_ == submitted_; });
    hash_.Reset();
}

void HashPipeline::Hash(std::size_t block) {
    hash_.Update(memory_.get() + block * kBlockBytes, sizes_[block]);
}

void HashPipeline::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || hashed_ < submitted_; });
        if (hashed_ == submitted_) return;  // stopping, nothing queued
        const std::size_t block = hashed_ % kBlocks;
        // The caller touches neither this block nor the hash until
        // hashed_ moves past it.
        lock.unlock();
        Hash(block);
        lock.lock();
        ++hashed_;
        changed_.notify_all();
    }
}
