#pragma once
// The delta entry of an update package: a changed file sent as a binary
// delta against the file players have. The entry is named as the file it
// replaces, and its compression method is kMethod, a number no zip reader
// knows: an older launcher refuses the whole package ("cannot be unpacked in
// full") and any other zip reader refuses the entry, so none can ever write
// the delta's bytes as a game file. The stored bytes are the payload:
//   bytes  0..31  SHA-256 of the file the delta applies to (the source)
//   bytes 32..63  SHA-256 of the file it makes (the result)
//   bytes 64..    one zstd frame (ZstdDelta) stating the result's size
// The entry's CRC-32 and uncompressed size are the result's, as for any
// entry, so a listing shows the file's real size. Any thread.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "launcher/update/ZstdDelta.h"

class DeltaEntry {
public:
    static constexpr int kMethod = 0x5A44;
    static constexpr std::size_t kHeaderSize = 64;

    DeltaDigest source{};
    DeltaDigest result{};
    std::string_view stream;  // into the parsed payload

    // False when `payload` is too short to hold the two digests.
    static bool Parse(std::string_view payload, DeltaEntry& entry);
    static std::string Payload(const DeltaDigest& source, const DeltaDigest& result, std::string_view stream);

    // The archive's local header and stored bytes of the entry whose
    // central record starts at `central` (minizip's unzGetOffset64). False
    // when either header is damaged. Entries of a method minizip does not
    // know are found this way.
    static bool LocateData(int archive, std::uint64_t central, std::uint64_t& local, std::uint64_t& data);

    // Gives the entries named in `names` of the finished archive at `path`
    // (written as stored) the delta method, in their local and central
    // headers. False with a reason when the archive cannot be rewritten.
    static bool MarkEntries(const std::string& path, const std::set<std::string>& names, std::string& failure);
};
