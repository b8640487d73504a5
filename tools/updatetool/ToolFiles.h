#pragma once

// File writing shared by the subcommands (reading and hashing are the
// update library's, in liveupdate/UpdateFiles.h). Any thread; failures come
// back with a one-line reason naming the file.

#include <filesystem>
#include <string>

#include "liveupdate/UpdateFiles.h"

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
