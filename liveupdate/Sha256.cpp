#include "liveupdate/Sha256.h"

#include <openssl/evp.h>

Sha256::Sha256() : context_(EVP_MD_CTX_new()) { Reset(); }

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

void Sha256::Reset() {
    failed_ = false;
    if (context_ && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1) return;
    // libcrypto gave no context: libsodium hashes from here on.
    EVP_MD_CTX_free(context_);
    context_ = nullptr;
    crypto_hash_sha256_init(&sodium_);
}

void Sha256::Update(const void* data, std::size_t size) {
    if (size == 0 || failed_) return;
    if (!context_) {
        crypto_hash_sha256_update(&sodium_, static_cast<const unsigned char*>(data), size);
        return;
    }
    failed_ = EVP_DigestUpdate(context_, data, size) != 1;
}

bool Sha256::Digest(Sha256Digest& digest) const {
    if (failed_) return false;
    if (!context_) {
        crypto_hash_sha256_state state = sodium_;
        crypto_hash_sha256_final(&state, digest.data());
        return true;
    }
    // Finishing a copy leaves this stream open for more bytes.
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    unsigned int length = 0;
    const bool done = copy && EVP_MD_CTX_copy_ex(copy, context_) == 1 &&
                      EVP_DigestFinal_ex(copy, digest.data(), &length) == 1 && length == digest.size();
    EVP_MD_CTX_free(copy);
    return done;
}
