// Delta round trips: whatever the pair, applying the delta to the old bytes
// gives back the new bytes exactly, and a related pair costs little.

#include "launcher/update/ZstdDelta.h"

#include <random>

#include "support/TempDir.h"

namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// A slice of this test program: real machine code, symbols and tables.
std::string RealBinary() { return testsupport::ReadFileBytes("/proc/self/exe").substr(0, 1 << 20); }

// The same binary as if rebuilt after a small change: code inserted in one
// place, some bytes changed in another.
std::string Rebuilt(std::string bytes) {
    bytes.insert(bytes.size() / 3, RandomBytes(2048, 7));
    for (std::size_t i = 0; i < 200; ++i) bytes[bytes.size() * 2 / 3 + i * 13] ^= 0x5A;
    return bytes;
}

std::string TextConfig(int edited) {
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        text += "option_" + std::to_string(i) + " = " + std::to_string(i == edited ? 1 : i * 7 % 97) + "\n";
    }
    return text;
}

TEST(ZstdDelta, RoundTripsAndRelatedFilesCostLittle) {
    struct Case {
        const char* what;
        std::string before;
        std::string after;
        double maxShare;  // of the new file's size; 0 for no bound
    };
    const std::string binary = RealBinary();
    const Case cases[] = {
        {"empty to empty", "", "", 0},
        {"empty to random", "", RandomBytes(65536, 1), 0},
        {"random to empty", RandomBytes(65536, 2), "", 0},
        {"identical binaries", binary, binary, 0.001},
        {"entirely different", RandomBytes(300000, 3), RandomBytes(300000, 4), 0},
        {"a rebuilt binary", binary, Rebuilt(binary), 0.01},
        {"an edited config", TextConfig(-1), TextConfig(1234), 0.01},
        {"an appended log", TextConfig(-1), TextConfig(-1) + TextConfig(-1).substr(0, 5000), 0.01},
    };
    for (const Case& c : cases) {
        std::string delta, result, why;
        ASSERT_TRUE(ZstdDelta::Make(c.before, c.after, delta)) << c.what;
        ASSERT_TRUE(ZstdDelta::Apply(c.before, delta, result, why)) << c.what << ": " << why;
        EXPECT_TRUE(result == c.after) << c.what;
        if (c.maxShare > 0) {
            EXPECT_LE(static_cast<double>(delta.size()), c.maxShare * c.after.size()) << c.what;
        }
    }
}

TEST(ZstdDelta, DamagedOrMisappliedStreamsNeverPassForTheFile) {
    const std::string before = RealBinary();
    const std::string after = Rebuilt(before);
    std::string delta;
    ASSERT_TRUE(ZstdDelta::Make(before, after, delta));
    std::string flipped = delta;
    flipped[flipped.size() / 2] ^= 0x01;
    std::string otherReference = before;
    for (std::size_t i = 0; i < before.size(); i += 4096) otherReference[i] ^= 0x01;
    struct Case {
        const char* what;
        std::string reference;
        std::string stream;
    };
    const Case cases[] = {
        {"truncated", before, delta.substr(0, delta.size() - 10)},
        {"one bit flipped", before, flipped},
        {"no frame at all", before, "not a zstd frame"},
        {"another reference", otherReference, delta},
        {"two frames", before, delta + delta},
    };
    for (const Case& c : cases) {
        std::string result, why;
        const bool applied = ZstdDelta::Apply(c.reference, c.stream, result, why);
        // zstd does not always notice; the entry's result digest does.
        EXPECT_TRUE(!applied || ZstdDelta::Digest(result) != ZstdDelta::Digest(after)) << c.what;
        if (!applied) {
            EXPECT_FALSE(why.empty()) << c.what;
        }
    }
}

}  // namespace
