#include "liveupdate/UpdateKey.h"

#include <sodium.h>

#include "liveupdate/UpdateFiles.h"

namespace fs = std::filesystem;

namespace {

// The key file is one line; anything longer is not one.
constexpr std::size_t kKeyFileLimit = 4096;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string EncodeBase64(const unsigned char* bytes, std::size_t n) {
    const std::size_t length = sodium_base64_ENCODED_LEN(n, sodium_base64_VARIANT_ORIGINAL);
    std::string text(length, '\0');
    sodium_bin2base64(text.data(), length, bytes, n, sodium_base64_VARIANT_ORIGINAL);
    text.resize(length - 1);  // the terminating NUL
    return text;
}

bool DecodeBase64Exact(std::string_view text, unsigned char* out, std::size_t n) {
    const std::string body(TrimEnd(text));
    if (body.size() != (n + 2) / 3 * 4) return false;
    std::size_t decoded = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out, n, body.data(), body.size(), nullptr, &decoded, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0) {
        return false;
    }
    // libsodium reads a character by its low seven bits and ignores the
    // unused bits of the last one: only the canonical text is the key's.
    return decoded == n && end == body.data() + body.size() && EncodeBase64(out, n) == body;
}

std::string PublicKeyText(const PublicKey& key) { return EncodeBase64(key.data(), key.size()) + "\n"; }

bool LoadPublicKey(const fs::path& path, PublicKey& key, std::string& failure) {
    std::string text;
    if (!ReadWholeFile(path, kKeyFileLimit, text, failure)) return false;
    if (!DecodeBase64Exact(text, key.data(), key.size())) {
        failure = PathText(path) + " is not a public key (44 characters of base64 for 32 bytes)";
        return false;
    }
    return true;
}
