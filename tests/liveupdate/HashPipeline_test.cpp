// The hashing thread sees the blocks in the order they were filled, however
// far it falls behind, and a restart forgets what came before.

#include "liveupdate/HashPipeline.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "liveupdate/PackageBytes.h"

namespace {

std::string Reference(const std::string& bytes) {
    Sha256Digest digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return HexOf(digest);
}

// Feeds `bytes` in blocks of `step` (the last one shorter).
void Feed(HashPipeline& pipeline, const std::string& bytes, std::size_t step) {
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        const std::size_t n = std::min(step, bytes.size() - at);
        std::memcpy(pipeline.Block(), bytes.data() + at, n);
        pipeline.Submit(n);
    }
}

std::string DigestOf(HashPipeline& pipeline) {
    Sha256Digest digest{};
    EXPECT_TRUE(pipeline.Digest(digest));
    return HexOf(digest);
}

TEST(HashPipeline, HashesTheStreamInOrder) {
    const std::string bytes =
        liveupdatetest::PackageBytes(3 * HashPipeline::kBlocks * HashPipeline::kBlockBytes + 12345);
    for (const std::size_t step : {HashPipeline::kBlockBytes, std::size_t{1000}}) {
        HashPipeline pipeline;
        Feed(pipeline, "stale bytes", 11);
        pipeline.Restart();
        Feed(pipeline, bytes, step);
        EXPECT_EQ(DigestOf(pipeline), Reference(bytes)) << step;
    }
    HashPipeline empty;
    EXPECT_EQ(DigestOf(empty), Reference(std::string()));
}

}  // namespace
