#pragma once

// File helpers shared by the subcommands. Any thread; failures come back
// with a one-line reason naming the file.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

using Sha256Digest = std::array<unsigned char, 32>;

// Reads all of `path`; fails when it is longer than `maxBytes`.
bool ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes,
                   std::string& failure);

// Writes `bytes` to a new file beside `path` with `mode`, flushes it and
// renames it over `path`, so readers see the old file or the new one whole.
bool WriteFileReplacing(const std::filesystem::path& path, const std::string& bytes, unsigned mode,
                        std::string& failure);

// Like WriteFileReplacing, but fails without touching `path` when it
// already exists (the new file is linked in, never renamed over).
bool WriteFileExclusive(const std::filesystem::path& path, const std::string& bytes, unsigned mode,
                        std::string& failure);

// Copies `from` to `to` the same way (new file beside, then renamed).
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                       std::string& failure);

// SHA-256 and length of a file, read in bounded blocks.
bool HashFile(const std::filesystem::path& path, Sha256Digest& digest, std::uint64_t& size,
              std::string& failure);

// Lower-case hexadecimal.
std::string HexOf(const Sha256Digest& digest);

// The path for messages: UTF-8 as on disk.
std::string PathText(const std::filesystem::path& path);
