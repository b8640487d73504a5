#pragma once

// The operator's public key as the installation keeps it: "update.pub", the
// 32-byte Ed25519 key in standard base64 (44 characters), optionally
// followed by whitespace. Any thread; failures come back with a one-line
// reason.

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

using PublicKey = std::array<unsigned char, 32>;

// Standard base64 with padding.
std::string EncodeBase64(const unsigned char* bytes, std::size_t n);
// Decodes `text` when it is exactly the standard base64 of `n` bytes,
// optionally followed by whitespace, and nothing else.
bool DecodeBase64Exact(std::string_view text, unsigned char* out, std::size_t n);

// Reads an "update.pub".
bool LoadPublicKey(const std::filesystem::path& path, PublicKey& key, std::string& failure);

// The exact text of an "update.pub" for `key`.
std::string PublicKeyText(const PublicKey& key);
