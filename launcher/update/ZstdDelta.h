#pragma once
// A binary delta between two files: the new file compressed by zstd with
// the old file as its reference (a raw prefix), long-distance matching on,
// the window covering both files. Applying it needs the very same old
// bytes; the delta itself says nothing of which file that is (the package
// entry around it carries the digests). Both files must fit in memory,
// hence the size limit. Any thread; no state between calls.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using DeltaDigest = std::array<unsigned char, 32>;

class ZstdDelta {
public:
    // Files larger than this never travel as deltas: the maker and the
    // installer hold the reference (and the result) in memory.
    static constexpr std::uint64_t kMaxFileSize = 256ull << 20;

    // Compresses `target` against `reference` into `delta`. False when
    // either is larger than kMaxFileSize or zstd fails.
    static bool Make(std::string_view reference, std::string_view target, std::string& delta);

    // Rebuilds the new file from `reference` and `delta` into `result`.
    // False, with a reason, when the stream is damaged, does not state its
    // size, or would make more than kMaxFileSize bytes.
    static bool Apply(std::string_view reference, std::string_view delta, std::string& result, std::string& why);

    // SHA-256 of `bytes`.
    static DeltaDigest Digest(std::string_view bytes);
};
