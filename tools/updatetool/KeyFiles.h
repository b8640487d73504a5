#pragma once

// The operator's Ed25519 secret key on disk, the tool's own file: a first
// line naming it, then the 64-byte libsodium secret key (seed and public
// key) in standard base64. The public half is the launcher's "update.pub"
// (liveupdate/UpdateKey.h). Any thread; failures come back with a one-line
// reason.

#include <array>
#include <filesystem>
#include <string>

#include "liveupdate/UpdateKey.h"

struct SigningKey {
    std::array<unsigned char, 64> secret{};
    PublicKey publicKey{};
};

// Reads a secret key file, checking that its two halves belong together.
// Warns on standard error when others may read the file.
bool LoadSigningKey(const std::filesystem::path& path, SigningKey& key, std::string& failure);

// The first 16 hexadecimal digits of the SHA-256 of the 32-byte public key:
// short enough to compare by eye, so an update.pub of another key is told
// apart from a manifest changed after signing.
std::string KeyFingerprint(const PublicKey& key);

// The exact text of the secret key file.
std::string SecretKeyText(const SigningKey& key);
