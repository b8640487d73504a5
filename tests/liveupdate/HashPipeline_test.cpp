// The hashing thread sees the blocks in the order they were filled, however
// far it falls behind, and a restart forgets what came before.

#include "liveupdate/HashPipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string DigestOf(crypto_hash_sha256_state state) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

std::string DigestOf(const std::string& bytes) {
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return DigestOf(state);
}

// Feeds `bytes` in blocks of `step` (the last one shorter).
void Feed(HashPipeline& pipeline, const std::string& bytes, std::size_t step) {
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        const std::size_t n = std::min(step, bytes.size() - at);
        std::memcpy(pipeline.Block(), bytes.data() + at, n);
        pipeline.Submit(n);
    }
}

TEST(HashPipeline, HashesTheStreamInOrder) {
    std::string bytes(3 * HashPipeline::kBlocks * HashPipeline::kBlockBytes + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 5);
    for (const std::size_t step : {HashPipeline::kBlockBytes, std::size_t{1000}}) {
        HashPipeline pipeline;
        Feed(pipeline, "stale bytes", 11);
        pipeline.Restart();
        Feed(pipeline, bytes, step);
        EXPECT_EQ(DigestOf(pipeline.Wait()), DigestOf(bytes)) << step;
    }
    HashPipeline empty;
    EXPECT_EQ(DigestOf(empty.Wait()), DigestOf(std::string()));
}

}  // namespace
