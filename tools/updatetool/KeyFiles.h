#pragma once

// The operator's Ed25519 key pair on disk. The public key file is the
// launcher's "update.pub": the 32-byte key in standard base64 and a newline.
// The secret key file is the tool's own: a first line naming it, then the
// 64-byte libsodium secret key (seed and public key) in standard base64. Any
// thread; failures come back with a one-line reason.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

using PublicKey = std::array<unsigned char, 32>;

struct SigningKey {
    std::array<unsigned char, 64> secret{};
    PublicKey publicKey{};
};

// Standard base64 with padding.
std::string EncodeBase64(const unsigned char* bytes, std::size_t n);
// Decodes `text` when it is exactly the standard base64 of `n` bytes,
// optionally followed by whitespace, and nothing else.
bool DecodeBase64Exact(std::string_view text, unsigned char* out, std::size_t n);

// Reads a secret key file, checking that its two halves belong together.
// Warns on standard error when others may read the file.
bool LoadSigningKey(const std::filesystem::path& path, SigningKey& key, std::string& failure);

// Reads an "update.pub" by the launcher's rule.
bool LoadPublicKey(const std::filesystem::path& path, PublicKey& key, std::string& failure);

// The exact texts of the two files.
std::string PublicKeyText(const PublicKey& key);
std::string SecretKeyText(const SigningKey& key);
