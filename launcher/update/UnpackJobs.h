#pragma once
// Writing the files of a package's entries straight from the archive's
// bytes, several entries at a time. The first pass over the archive (in
// UnpackPackage) checks every entry and makes the folders; this pass only
// inflates, checks and writes. Update thread (it starts and joins its own
// helper threads).
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

// One file entry, located in the archive.
struct UnpackJob {
    std::string path;    // the file to write (UTF-8), replaced when present
    std::wstring name;   // the entry's name, for the log
    mode_t mode = 0644;  // permission bits, never set-id
    std::uint64_t dataOffset = 0;  // the entry's stored bytes in the archive
    std::uint64_t storedSize = 0;
    std::uint64_t size = 0;  // as it claims; never more is written
    std::uint32_t crc = 0;
    int method = 0;  // 0 stored, 8 deflated
    // The stored bytes as they are, unchecked: a delta entry, whose size and
    // CRC are those of the file it makes and whose payload carries digests.
    bool raw = false;
    std::time_t modified = -1;  // -1: leave the file's time
};

// Writes every job from `archive` on up to `threads` threads, the calling
// thread among them, which calls `progress(jobsDone)` after each job it
// finishes. Stops at the first failure: false, with the failed entry's name
// in `failed` and no partial file of it left. Jobs must name distinct files.
bool WriteUnpackJobs(const std::string& archive, const std::vector<UnpackJob>& jobs, unsigned threads,
                     const std::function<void(std::size_t)>& progress, std::wstring& failed);
