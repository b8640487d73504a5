#include "launcher/update/ZstdDelta.h"

#include <openssl/evp.h>
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <memory>

namespace {

// The highest level: a package is made once and downloaded by every player.
constexpr int kLevel = 19;
constexpr int kMinWindowLog = 10;
// Two files of kMaxFileSize fit in a window of 2^29 bytes.
constexpr int kMaxWindowLog = 30;

struct FreeCCtx {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct FreeDCtx {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// The window reaches from the end of the new file back to the start of the
// reference, so every match into the old file is in reach.
int WindowLogFor(std::uint64_t span) {
    const int log = static_cast<int>(std::bit_width(span > 1 ? span - 1 : 1));
    return std::max(kMinWindowLog, std::min(log, kMaxWindowLog));
}

bool Ok(std::size_t code) { return ZSTD_isError(code) == 0; }

}  // namespace

bool ZstdDelta::Make(std::string_view reference, std::string_view target, std::string& delta) {
    if (reference.size() > kMaxFileSize || target.size() > kMaxFileSize) return false;
    std::unique_ptr<ZSTD_CCtx, FreeCCtx> cctx(ZSTD_createCCtx());
    if (!cctx) return false;
    ZSTD_CCtx* c = cctx.get();
    const int windowLog = WindowLogFor(reference.size() + target.size());
    // The entry's SHA-256 of the result supersedes zstd's own checksum.
    bool ok = Ok(ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, kLevel)) &&
              Ok(ZSTD_CCtx_setParameter(c, ZSTD_c_enableLongDistanceMatching, 1)) &&
              Ok(ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog, windowLog)) &&
              Ok(ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 0)) &&
              Ok(ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 1));
    // A reference of no bytes is no reference: zstd takes a null prefix as "none".
    if (ok && !reference.empty()) ok = Ok(ZSTD_CCtx_refPrefix(c, reference.data(), reference.size()));
    if (!ok) return false;
    delta.resize(ZSTD_compressBound(target.size()));
    const std::size_t n = ZSTD_compress2(c, delta.data(), delta.size(), target.data(), target.size());
    if (!Ok(n)) return false;
    delta.resize(n);
    return true;
}

bool ZstdDelta::Apply(std::string_view reference, std::string_view delta, std::string& result, std::string& why) {
    const unsigned long long size = ZSTD_getFrameContentSize(delta.data(), delta.size());
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN) {
        why = "the delta stream is damaged (no frame header)";
        return false;
    }
    if (size > kMaxFileSize || reference.size() > kMaxFileSize) {
        why = "the delta stream would make a file larger than 256 MiB";
        return false;
    }
    // The frame's window is checked against the reference it needs, not
    // against zstd's default limit for streams of unknown origin.
    if (ZSTD_findFrameCompressedSize(delta.data(), delta.size()) != delta.size()) {
        why = "the delta stream is damaged (its frame does not end where the entry does)";
        return false;
    }
    std::unique_ptr<ZSTD_DCtx, FreeDCtx> dctx(ZSTD_createDCtx());
    if (!dctx) {
        why = "no memory for the delta";
        return false;
    }
    ZSTD_DCtx* d = dctx.get();
    bool ok = Ok(ZSTD_DCtx_setParameter(d, ZSTD_d_windowLogMax, WindowLogFor(reference.size() + size)));
    if (ok && !reference.empty()) ok = Ok(ZSTD_DCtx_refPrefix(d, reference.data(), reference.size()));
    if (!ok) {
        why = "the delta cannot be set up";
        return false;
    }
    result.resize(static_cast<std::size_t>(size));
    const std::size_t n = ZSTD_decompressDCtx(d, result.data(), result.size(), delta.data(), delta.size());
    if (!Ok(n) || n != size) {
        why = std::string("the delta stream is damaged (") + (Ok(n) ? "short" : ZSTD_getErrorName(n)) + ")";
        result.clear();
        return false;
    }
    return true;
}

DeltaDigest ZstdDelta::Digest(std::string_view bytes) {
    DeltaDigest digest{};
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
    return digest;
}
