// The fetcher's hash gives libsodium's reference digest for any split of
// the stream, and a digest taken in mid-stream leaves the stream going.

#include "liveupdate/Sha256.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <string>

#include "liveupdate/PackageBytes.h"

namespace {

using liveupdatetest::PackageBytes;

std::string Reference(const std::string& bytes) {
    Sha256Digest digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return HexOf(digest);
}

std::string DigestOf(const Sha256& hash) {
    Sha256Digest digest{};
    EXPECT_TRUE(hash.Digest(digest));
    return HexOf(digest);
}

TEST(Sha256, MatchesTheReferenceForEverySplit) {
    Sha256 abc;
    abc.Update("abc", 3);
    EXPECT_EQ(DigestOf(abc), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Lengths around the 64-byte block and its 56-byte padding limit, and
    // one past a megabyte, each fed whole, in odd pieces and in bytes.
    for (const std::size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, (1 << 20) + 3}) {
        const std::string bytes = PackageBytes(size);
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
    const std::string bytes = PackageBytes(300);
    Sha256 hash;
    hash.Update(bytes.data(), 100);
    EXPECT_EQ(DigestOf(hash), Reference(bytes.substr(0, 100)));
    hash.Update(bytes.data() + 100, 200);
    EXPECT_EQ(DigestOf(hash), Reference(bytes));
}

}  // namespace
