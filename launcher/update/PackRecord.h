#pragma once

// The two record layouts of pack index files. A game index (".i" beside a
// pack data file) and a patch index (carried by an update package) both start
// with a 136-byte header that the launcher keeps but never interprets; the
// records follow back to back, little-endian, without padding.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kPackHeaderSize = 136;
inline constexpr std::size_t kPackRecordSize = 20;
inline constexpr std::size_t kPatchRecordSize = 24;

// `offset` value of a record whose blob is not in the local data file.
inline constexpr std::uint32_t kNoLocalData = 0xFFFFFFFF;

// One record of a game index: where a blob lies in the pack data file, and
// four fields that belong to the game client and are carried unchanged.
struct PackRecord {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint16_t info1 = 0;
    std::uint16_t info2 = 0;
    std::uint32_t info3 = 0;
    std::uint32_t info4 = 0;

    bool operator==(const PackRecord&) const = default;
};

// One record of a patch index: a blob in the package's data file and the
// game record it replaces; a `slot` at or beyond the game's record count
// appends a new record.
struct PatchRecord {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint16_t info1 = 0;
    std::uint16_t info2 = 0;
    std::uint32_t info3 = 0;
    std::uint32_t info4 = 0;
    std::uint32_t slot = 0;

    bool operator==(const PatchRecord&) const = default;
};

// Field-wise (de)serialisation; `bytes` holds kPackRecordSize or
// kPatchRecordSize bytes.
PackRecord DecodePackRecord(const std::uint8_t* bytes);
void EncodePackRecord(const PackRecord& record, std::uint8_t* bytes);
PatchRecord DecodePatchRecord(const std::uint8_t* bytes);
void EncodePatchRecord(const PatchRecord& record, std::uint8_t* bytes);

// True when the four client fields of both records are equal.
bool SameInfo(const PackRecord& a, const PackRecord& b);

// The game record a patch record asks for, with the given blob offset.
PackRecord ToPackRecord(const PatchRecord& patch, std::uint32_t offset);

// Little-endian helpers shared by the index readers and writers.
void PutU16(std::uint8_t* p, std::uint16_t v);
void PutU32(std::uint8_t* p, std::uint32_t v);
std::uint16_t GetU16(const std::uint8_t* p);
std::uint32_t GetU32(const std::uint8_t* p);
