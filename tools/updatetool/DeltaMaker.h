#pragma once
// Decides how a changed file travels: as a delta entry (DeltaEntry) when
// that is at least 10 % smaller than the file deflated on its own (as the
// archive would store it), whole otherwise. Single-threaded; reads both
// files into memory.
#include <cstdint>
#include <filesystem>
#include <string>

struct DeltaChoice {
    bool useDelta = false;
    std::string payload;  // the delta entry's stored bytes, when useDelta
    std::uint64_t size = 0;  // the new file's size and CRC-32
    std::uint32_t crc = 0;
    std::uint64_t wholeBytes = 0;  // the new file deflated
};

// Fills `choice` for `oldFile` changed into `newFile`. Files above
// ZstdDelta::kMaxFileSize travel whole. False with a reason when a file
// cannot be read or zlib or zstd fail.
bool ChooseDelta(const std::filesystem::path& oldFile, const std::filesystem::path& newFile, DeltaChoice& choice,
                 std::string& failure);
