// The fetcher's hash: the same digest as libsodium's reference for any split
// of the stream, a digest taken in mid-stream leaves the stream going, and
// the pipeline's thread sees the blocks in the order they were filled,
// however far it falls behind; a restart forgets what came before.

#include "liveupdate/HashPipeline.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <string>

namespace {

std::string Text(const Sha256Digest& digest) { return HexOf(digest); }

std::string Reference(const std::string& bytes) {
    Sha256Digest digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return Text(digest);
}

std::string Patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 5);
    return bytes;
}

std::string DigestOf(const Sha256& hash) {
    Sha256Digest digest{};
    EXPECT_TRUE(hash.Digest(digest));
    return Text(digest);
}

TEST(Sha256, MatchesTheReferenceForEverySplit) {
    Sha256 abc;
    abc.Update("abc", 3);
    EXPECT_EQ(DigestOf(abc), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Lengths around the 64-byte block and its 56-byte padding limit, and
    // one past a megabyte, each fed whole, in odd pieces and in bytes.
    for (const std::size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, (1 << 20) + 3}) {
        const std::string bytes = Patterned(size);
        for (const std::size_t step : {size + 1, std::size_t{7}, std::size_t{64}, std::size_t{1}}) {
            if (step == 1 && size > 1000) continue;
            Sha256 hash;
            hash.Update("left over", 9);
            hash.Reset();
            for (std::size_t at = 0; at < size; at += step) hash.Update(bytes.data() + at, std::min(step, size - at));
            EXPECT_EQ(DigestOf(hash), Reference(bytes)) << size << " in steps of " << step;
        }
    }
}

TEST(Sha256, DigestInMidStreamLeavesItGoing) {
    const std::string bytes = Patterned(300);
    Sha256 hash;
    hash.Update(bytes.data(), 100);
    EXPECT_EQ(DigestOf(hash), Reference(bytes.substr(0, 100)));
    hash.Update(bytes.data() + 100, 200);
    EXPECT_EQ(DigestOf(hash), Reference(bytes));
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
    return Text(digest);
}

TEST(HashPipeline, HashesTheStreamInOrder) {
    const std::string bytes = Patterned(3 * HashPipeline::kBlocks * HashPipeline::kBlockBytes + 12345);
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
