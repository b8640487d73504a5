#include "tools/updatetool/KeyFiles.h"

#include <sodium.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "tools/updatetool/ToolFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSecretKeyLabel = "updatetool ed25519 secret key";
// The key file is two lines; anything longer is not one.
constexpr std::size_t kKeyFileLimit = 4096;

}  // namespace

bool LoadSigningKey(const fs::path& path, SigningKey& key, std::string& failure) {
    std::string text;
    if (!ReadWholeFile(path, kKeyFileLimit, text, failure)) return false;
    const std::string label = std::string(kSecretKeyLabel) + "\n";
    if (text.compare(0, label.size(), label) != 0 ||
        !DecodeBase64Exact(std::string_view(text).substr(label.size()), key.secret.data(), key.secret.size())) {
        failure = PathText(path) + " is not a secret key file made by 'updatetool keygen'";
        return false;
    }
    // The secret key carries its public half; rebuild both from the seed so
    // a damaged file cannot sign with one key and claim another.
    unsigned char seed[crypto_sign_SEEDBYTES];
    crypto_sign_ed25519_sk_to_seed(seed, key.secret.data());
    std::array<unsigned char, 64> rebuilt{};
    crypto_sign_seed_keypair(key.publicKey.data(), rebuilt.data(), seed);
    sodium_memzero(seed, sizeof seed);
    const bool same = sodium_memcmp(rebuilt.data(), key.secret.data(), rebuilt.size()) == 0;
    sodium_memzero(rebuilt.data(), rebuilt.size());
    if (!same) {
        failure = PathText(path) + " is damaged: its public half does not belong to its secret half";
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
        std::fprintf(stderr, "updatetool: warning: others may read the secret key %s (mode %03o); chmod 600 it\n",
                     PathText(path).c_str(), static_cast<unsigned>(info.st_mode & 0777));
    }
    return true;
}

std::string KeyFingerprint(const PublicKey& key) {
    Sha256Digest digest{};
    crypto_hash_sha256(digest.data(), key.data(), key.size());
    return HexOf(digest).substr(0, 16);
}

std::string SecretKeyText(const SigningKey& key) {
    return std::string(kSecretKeyLabel) + "\n" + EncodeBase64(key.secret.data(), key.secret.size()) + "\n";
}
