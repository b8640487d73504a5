#pragma once

// File reading shared by the update library and the publishing tool. Any
// thread; failures come back with a one-line reason naming the file.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

using Sha256Digest = std::array<unsigned char, 32>;

// Reads all of `path`; fails when it is longer than `maxBytes`.
bool ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes,
                   std::string& failure);

// SHA-256 and length of a file, read in bounded blocks.
bool HashFile(const std::filesystem::path& path, Sha256Digest& digest, std::uint64_t& size,
              std::string& failure);

// Lower-case hexadecimal.
std::string HexOf(const Sha256Digest& digest);

// The path for messages: UTF-8 as on disk.
std::string PathText(const std::filesystem::path& path);
