#pragma once

// Streaming SHA-256 for package bytes. Hashing is the slowest step of a
// verified download, so it goes through libcrypto, which uses the CPU's SHA
// instructions where there are any (about five times libsodium's portable
// code on x86_64). When libcrypto cannot give a context, streams are hashed
// by libsodium instead: the digest is the same either way, only the speed
// differs. A stream libcrypto fails in the middle of has no digest, never a
// wrong one. Thread: one thread at a time per object.

#include <sodium.h>

#include <cstddef>

#include "liveupdate/UpdateFiles.h"

typedef struct evp_md_ctx_st EVP_MD_CTX;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest of everything so far (the stream can go on after it);
    // false when the stream could not be hashed.
    bool Digest(Sha256Digest& digest) const;
    // Starts again from an empty stream.
    void Reset();

private:
    EVP_MD_CTX* context_ = nullptr;  // owned; null when libsodium hashes
    crypto_hash_sha256_state sodium_{};
    bool failed_ = false;
};
